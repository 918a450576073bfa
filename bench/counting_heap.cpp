// The process's malloc family, replaced so that allocations can be counted: each function
// forwards to glibc's own implementation (its __libc_ entry points) and, while counting is
// on, adds the block's usable size to the running totals. operator new and delete of the
// C++ runtime call malloc and free, so they are counted too.
#include "counting_heap.h"

#include <malloc.h>

#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t bytes);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t bytes);
void __libc_free(void* block);
}

namespace bench {

namespace {

bool counting = false;
HeapUse use;
long long held = 0;  // bytes held since counting started; may go below zero

void counted(void* block) {
    if (!counting || block == nullptr) {
        return;
    }
    const std::size_t size = malloc_usable_size(block);
    ++use.allocations;
    use.bytes += size;
    held += static_cast<long long>(size);
    if (held > static_cast<long long>(use.peak)) {
        use.peak = static_cast<std::size_t>(held);
    }
}

void released(void* block) {
    if (counting && block != nullptr) {
        held -= static_cast<long long>(malloc_usable_size(block));
    }
}

}  // namespace

void startHeapCounting() {
    use = HeapUse{};
    held = 0;
    counting = true;
}

HeapUse stopHeapCounting() {
    counting = false;
    return use;
}

}  // namespace bench

extern "C" {

void* malloc(std::size_t bytes) noexcept {
    void* block = __libc_malloc(bytes);
    bench::counted(block);
    return block;
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    void* block = __libc_calloc(count, size);
    bench::counted(block);
    return block;
}

void* realloc(void* block, std::size_t bytes) noexcept {
    bench::released(block);
    void* moved = __libc_realloc(block, bytes);
    bench::counted(moved != nullptr || bytes == 0 ? moved : block);
    return moved;
}

void free(void* block) noexcept {
    bench::released(block);
    __libc_free(block);
}

}  // extern "C"
