// The library's operator new and delete: CallMemory's, so that whatever a call allocates
// comes back when the call ends, also after a failed allocation inside the parser.
#include <new>

#include "call_memory.h"
#include "internals.h"

#ifdef PELZOR_OPERATOR_NEW_FAULTS
bool pelzorOperatorNewFails();  // the allocation-failure sweep's choice
#endif
#ifdef PELZOR_OPERATOR_NEW_BYPASS
// The benchmark's zero-cost limit serves what is allocated inside its scope (else null).
void* pelzorBypassAllocate(std::size_t bytes) noexcept;
bool pelzorBypassOwns(const void* block) noexcept;
#endif

bool pelzor::libraryOperatorNewLinked() noexcept {
    return true;
}

namespace {

void releaseBlock(void* block) noexcept {
#ifdef PELZOR_OPERATOR_NEW_BYPASS
    if (pelzorBypassOwns(block)) {
        return;
    }
#endif
    pelzor::CallMemory::release(block);
}

}  // namespace

void* operator new(std::size_t bytes) {
#ifdef PELZOR_OPERATOR_NEW_FAULTS
    if (pelzorOperatorNewFails()) {
        throw std::bad_alloc();
    }
#endif
#ifdef PELZOR_OPERATOR_NEW_BYPASS
    if (void* block = pelzorBypassAllocate(bytes)) {
        return block;
    }
#endif
    for (;;) {
        if (void* block = pelzor::CallMemory::allocate(bytes == 0 ? 1 : bytes)) {
            return block;
        }
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            throw std::bad_alloc();
        }
        handler();
    }
}

void* operator new[](std::size_t bytes) {
    return operator new(bytes);
}

void operator delete(void* block) noexcept {
    releaseBlock(block);
}

void operator delete[](void* block) noexcept {
    releaseBlock(block);
}

void operator delete(void* block, std::size_t) noexcept {
    releaseBlock(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    releaseBlock(block);
}
