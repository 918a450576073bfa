#pragma once
// Heap use of one call, counted by the benchmark binary's own malloc, calloc, realloc and
// free (counting_heap.cpp), which every allocation in the process goes through: the
// library's working texts, the parser's nodes and strings (operator new ends in malloc) and
// the result strings. Counting is off except inside measureHeap, so timed loops pay one
// untaken branch per allocation. Not thread-safe: the suite runs on one thread.

#include <cstddef>
#include <utility>

namespace bench {

struct HeapUse {
    std::size_t allocations = 0;  // blocks taken
    std::size_t bytes = 0;        // bytes taken, added up (usable sizes)
    std::size_t peak = 0;         // most bytes held at once, above what was held before
};

void startHeapCounting();
HeapUse stopHeapCounting();

// What `call` allocates; everything it allocates should also be freed by it, or `peak` and
// the held bytes afterwards stop meaning "per call".
template <typename Call>
HeapUse measureHeap(Call&& call) {
    startHeapCounting();
    std::forward<Call>(call)();
    return stopHeapCounting();
}

}  // namespace bench
