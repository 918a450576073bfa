#include "open_call_slot.h"

namespace pelzor {

#ifdef _WIN32

namespace {
// Stands in for the system's slot only when TlsAlloc found none left.
thread_local CallMemory* openCallWithoutSlot = nullptr;
}  // namespace

void OpenCallSlot::acquire() noexcept {
    if (index_ != TLS_OUT_OF_INDEXES || systemRefused_) {
        return;
    }
    const DWORD index = TlsAlloc();
    systemRefused_ = index == TLS_OUT_OF_INDEXES;
    index_ = index;
}

void OpenCallSlot::release() noexcept {
    if (index_ != TLS_OUT_OF_INDEXES) {
        const DWORD index = index_;
        index_ = TLS_OUT_OF_INDEXES;
        TlsFree(index);
    }
    systemRefused_ = false;
}

CallMemory* OpenCallSlot::getBeyondTheTeb(DWORD index) const noexcept {
    if (index != TLS_OUT_OF_INDEXES) {
        return static_cast<CallMemory*>(TlsGetValue(index));
    }
    return systemRefused_ ? openCallWithoutSlot : nullptr;
}

bool OpenCallSlot::set(CallMemory* call) noexcept {
    if (index_ != TLS_OUT_OF_INDEXES) {
        return TlsSetValue(index_, call) != FALSE;
    }
    if (systemRefused_) {
        openCallWithoutSlot = call;
        return true;
    }
    return false;
}

// Constant-initialised: "no slot" until the holder below has taken one.
__constinit OpenCallSlot openCallSlot;

namespace {
// Takes the library's slot while the library initialises and gives it back at unload.
struct SlotHolder {
    SlotHolder() noexcept { openCallSlot.acquire(); }
    ~SlotHolder() { openCallSlot.release(); }
    SlotHolder(const SlotHolder&) = delete;
    SlotHolder& operator=(const SlotHolder&) = delete;
};
SlotHolder slotHolder;
}  // namespace

#else

OpenCallSlot openCallSlot;

#endif

}  // namespace pelzor
