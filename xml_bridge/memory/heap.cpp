// The heap seam, in an object of its own: a test program that defines these three functions
// itself replaces them for everything linked into it.
#include "call_memory.h"

#include <cstdlib>

namespace pelzor {

void* heapAllocate(std::size_t bytes) {
    return std::malloc(bytes);
}

void* heapAllocateZeroed(std::size_t count, std::size_t size) {
    return std::calloc(count, size);
}

void heapFree(void* block) {
    std::free(block);
}

}  // namespace pelzor
