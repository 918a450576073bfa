#pragma once
// The zero-cost allocation limit: inside a ZeroCostScope, every operator new of the
// benchmark program is a pointer bump in one region that was mapped once and stays mapped,
// and operator delete does nothing. Running the parser's direct use inside a scope shows
// what a call would cost if memory cost nothing at all.
//
// zero_cost_heap.cpp defines the program's operator new and delete: outside a scope, in the
// native programs the library's, so that the variants that call the library's code directly
// get the DLL's memory, and in the Windows programs, which call the real DLL, the C heap.
// Single-threaded, like the benchmark programs.

#include <cstddef>

namespace bench {

class ZeroCostScope {
public:
    ZeroCostScope();
    // Everything bumped inside the scope is dropped at once; the pages stay mapped.
    ~ZeroCostScope();

    ZeroCostScope(const ZeroCostScope&) = delete;
    ZeroCostScope& operator=(const ZeroCostScope&) = delete;
};

// Bytes bumped in the open scope so far (0 outside a scope).
std::size_t zeroCostBytesInUse();

}  // namespace bench
