#pragma once
// The thread's slot that names the call open on it (the innermost), read on every
// allocation. In the Windows builds a TLS slot of the system's own (thread_local is emulated
// there with a locked lookup per access): its index reads "no slot" until the library has
// taken one while it initialises and again once it has given it back at unload (or when the
// system had none left), and a call without a slot takes its blocks from the heap.
// Natively a thread_local pointer.

#ifdef _WIN32
#include <windows.h>

#include <winternl.h>
#endif

#include "call_memory.h"

namespace pelzor {

class OpenCallSlot {
public:
#ifdef _WIN32
    void acquire() noexcept {
        if (index_ == TLS_OUT_OF_INDEXES) {
            index_ = TlsAlloc();
        }
    }
    void release() noexcept {
        const DWORD index = index_;
        index_ = TLS_OUT_OF_INDEXES;
        if (index != TLS_OUT_OF_INDEXES) {
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
    // False when there is no slot.
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

}  // namespace pelzor
