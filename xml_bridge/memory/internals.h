#pragma once
// What the memory's code and its tests share. The thread's slot names the call open on it
// (the innermost), read on every allocation: natively a thread_local pointer, in the Windows
// builds a TLS slot of the system's own (thread_local is emulated there with a locked lookup
// per access), which reads "no slot" before the library took one at load, after it gave it
// back at unload, or when the system had none: a call without a slot takes from the heap.

#ifdef _WIN32
#include <windows.h>

#include <winternl.h>
#endif

#include <algorithm>
#include <cstdint>

#include "call_memory.h"

namespace pelzor {

// The most one call held among the calls that ended in this span of the clock or the one
// before (steps of 5 s): a large call back within 5 to 10 s finds its chunks kept.
class RecentNeed {
public:
    static constexpr std::int64_t kSpanMilliseconds = 5000;

    // After a call that held at most `peakBytes` and ended at `now` (a monotonic clock's ms).
    std::size_t afterCall(std::size_t peakBytes, std::int64_t now) noexcept {
        const std::int64_t span = now / kSpanMilliseconds;
        if (span != span_) {
            previous_ = span == span_ + 1 ? current_ : 0;
            current_ = 0;
            span_ = span;
        }
        current_ = std::max(current_, peakBytes);
        return std::max(current_, previous_);
    }

private:
    std::size_t current_ = 0;
    std::size_t previous_ = 0;
    std::int64_t span_ = -2;
};

class OpenCallSlot {
public:
#ifdef _WIN32
    void acquire() noexcept {
        if (index_ == TLS_OUT_OF_INDEXES) {
            index_ = TlsAlloc();
        }
    }
    void release() noexcept {
        if (const DWORD index = index_; index != TLS_OUT_OF_INDEXES) {
            index_ = TLS_OUT_OF_INDEXES;
            TlsFree(index);
        }
    }
    bool hasSlot() const noexcept {
        return index_ != TLS_OUT_OF_INDEXES;
    }
    CallMemory* get() const noexcept {
        // The first 64 slots lie in the thread's own block, where TlsGetValue reads them.
        if (index_ < TLS_MINIMUM_AVAILABLE) {
            return static_cast<CallMemory*>(NtCurrentTeb()->TlsSlots[index_]);
        }
        return hasSlot() ? static_cast<CallMemory*>(TlsGetValue(index_)) : nullptr;
    }
    bool set(CallMemory* call) noexcept {
        return hasSlot() && TlsSetValue(index_, call);
    }

private:
    DWORD index_ = TLS_OUT_OF_INDEXES;
#else
    CallMemory* get() const noexcept {
        return openCall;
    }
    bool set(CallMemory* call) noexcept {
        openCall = call;
        return true;
    }

private:
    static inline thread_local CallMemory* openCall = nullptr;
#endif
};

extern OpenCallSlot openCallSlot;

// True where the library's operator new is linked (new_forms.cpp); standard_new.cpp says
// false for the programs that keep the standard one (the native test suites of the XML code).
bool libraryOperatorNewLinked() noexcept;

}  // namespace pelzor
