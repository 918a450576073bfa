#pragma once
// The zero-cost allocation limit: inside a ZeroCostScope, every operator new of the
// benchmark program is a pointer bump in one region that was mapped once and stays mapped,
// and operator delete does nothing. Running the parser's direct use inside a scope shows
// what a call would cost if memory cost nothing at all.
//
// The native benchmark programs link the library's own operator new and delete with the
// hooks that zero_cost_heap.cpp defines (xml_bridge/memory/operator_new.cpp,
// PELZOR_OPERATOR_NEW_BYPASS): outside a scope the variants that call the library's code
// directly get the DLL's memory. The Windows programs call the real DLL, which has the
// library's operator new; zero_cost_heap.cpp gives them the C heap with the scope's bump.
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
