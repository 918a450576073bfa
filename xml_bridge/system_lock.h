#pragma once
// A lock of the system's own, which needs no set-up: all zero bytes at load (SRWLOCK_INIT,
// PTHREAD_MUTEX_INITIALIZER), so a lock at namespace scope takes no room in the DLL's image
// and works before any initialiser has run. Unlike std::mutex it brings none of the C++
// runtime's error reporting into the DLL. Use it with std::lock_guard.

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace pelzor {

class SystemLock {
public:
    constexpr SystemLock() noexcept = default;

    void lock() noexcept {
#ifdef _WIN32
        AcquireSRWLockExclusive(&lock_);
#else
        pthread_mutex_lock(&lock_);
#endif
    }
    void unlock() noexcept {
#ifdef _WIN32
        ReleaseSRWLockExclusive(&lock_);
#else
        pthread_mutex_unlock(&lock_);
#endif
    }

private:
#ifdef _WIN32
    SRWLOCK lock_ = SRWLOCK_INIT;
#else
    pthread_mutex_t lock_ = PTHREAD_MUTEX_INITIALIZER;
#endif
};

}  // namespace pelzor
