#pragma once
// The thread's slot that holds the call open on it (the innermost, when calls nest), read on
// every allocation.
//
// In the Windows builds it is a TLS slot of the system's own: a thread_local variable is
// emulated there by the C++ runtime with a locked lookup per access. The slot's index is
// constant-initialised to "no slot", taken from the system while the library initialises
// and set back to "no slot" when it is given back at unload, so an allocation before the
// library's initialisers have run or after the slot is gone reads no open call (and takes
// the heap path) instead of another module's slot. Only when the system has no slot left
// does a thread_local variable stand in. Natively the slot is a thread_local pointer,
// constant-initialised to null and valid for the whole life of the program.

#ifdef _WIN32
#include <windows.h>

#include <winternl.h>
#endif

namespace pelzor {

class CallMemory;

class OpenCallSlot {
public:
    constexpr OpenCallSlot() noexcept = default;

#ifdef _WIN32
    // Takes a slot from the system; the library does this while it initialises.
    void acquire() noexcept;
    // Gives the slot back and reads "no slot" again; the library does this at unload.
    void release() noexcept;

    bool hasSlot() const noexcept {
        return index_ != TLS_OUT_OF_INDEXES || systemRefused_;
    }

    // The call open on this thread; null when none is, or when there is no slot.
    CallMemory* get() const noexcept {
        const DWORD index = index_;
        // The first 64 slots lie in the thread's own block (TEB), where TlsGetValue reads them.
        if (index < TLS_MINIMUM_AVAILABLE) {
            return static_cast<CallMemory*>(NtCurrentTeb()->TlsSlots[index]);
        }
        return getBeyondTheTeb(index);
    }
    // Records the call open on this thread. False when there is no slot: the call's
    // allocations then take the heap path.
    bool set(CallMemory* call) noexcept;

private:
    CallMemory* getBeyondTheTeb(DWORD index) const noexcept;

    DWORD index_ = TLS_OUT_OF_INDEXES;
    bool systemRefused_ = false;  // TlsAlloc failed: the thread_local stands in
#else
    bool hasSlot() const noexcept {
        return true;
    }
    CallMemory* get() const noexcept {
        return openCallOfThread;
    }
    bool set(CallMemory* call) noexcept {
        openCallOfThread = call;
        return true;
    }

private:
    // Inline, so that every user sees its constant initialiser and reads it directly.
    static inline thread_local CallMemory* openCallOfThread = nullptr;
#endif
};

// The library's slot.
extern OpenCallSlot openCallSlot;

}  // namespace pelzor
