// The library's plain operator new and delete (the benchmark and the allocation-failure sweep
// have their own): CallMemory's, so that whatever a call allocates comes back with the call.
#include <new>

#include "call_memory.h"

// No new-handler: none can be set in the library's own runtime.
void* operator new(std::size_t bytes) {
    void* block = pelzor::CallMemory::allocate(bytes);
    return block != nullptr ? block : throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    return operator new(bytes);
}
void operator delete(void* block) noexcept {
    pelzor::CallMemory::release(block);
}
void operator delete[](void* block) noexcept {
    pelzor::CallMemory::release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    pelzor::CallMemory::release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    pelzor::CallMemory::release(block);
}
