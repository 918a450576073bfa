// Every other replaceable operator new (nothrow, as a sort takes its buffer, and aligned) from
// CallMemory, and delete through the plain one: no block that a delete meets lacks its tag.
#include <new>

#include "call_memory.h"
#include "internals.h"

bool pelzor::libraryOperatorNewLinked() noexcept {
    return true;
}

void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return pelzor::CallMemory::allocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return pelzor::CallMemory::allocate(bytes);
}
void* operator new(std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return pelzor::CallMemory::allocateAligned(bytes, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t bytes, std::align_val_t alignment,
                     const std::nothrow_t&) noexcept {
    return pelzor::CallMemory::allocateAligned(bytes, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t bytes, std::align_val_t alignment) {
    void* block = operator new(bytes, alignment, std::nothrow);
    return block != nullptr ? block : throw std::bad_alloc();
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
    return operator new(bytes, alignment);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    operator delete(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    operator delete(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    operator delete(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    operator delete(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    operator delete(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    operator delete(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    operator delete(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    operator delete(block);
}
