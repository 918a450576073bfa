// The system's heap: the seam that call_memory.h describes, in an object of its own.
#include "call_memory.h"

#include <cstdlib>

namespace pelzor {

void* systemAllocate(std::size_t bytes) {
    return std::malloc(bytes);
}
void* systemAllocateZeroed(std::size_t count, std::size_t size) {
    return std::calloc(count, size);
}
void heapFree(void* block) {
    std::free(block);
}

}  // namespace pelzor
