#include "counting_heap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// What the optimiser cannot see through, so that allocations are really made.
void* volatile sink;

TEST(CountingHeap, CountsMallocCallocAndOperatorNew) {
    const bench::HeapUse use = bench::measureHeap([] {
        void* a = std::malloc(100);
        sink = a;
        void* b = std::calloc(10, 30);
        sink = b;
        auto c = std::make_unique<char[]>(1000);
        sink = c.get();
        std::free(a);
        std::free(b);
    });
    EXPECT_EQ(use.allocations, 3u);
    EXPECT_GE(use.bytes, 100u + 300u + 1000u);
    EXPECT_LT(use.bytes, 100u + 300u + 1000u + 3 * 32u);
}

TEST(CountingHeap, PeakIsTheMostHeldAtOnce) {
    const bench::HeapUse use = bench::measureHeap([] {
        void* first = std::malloc(4000);
        sink = first;
        std::free(first);
        void* second = std::malloc(1000);
        sink = second;
        void* third = std::malloc(1000);
        sink = third;
        std::free(second);
        std::free(third);
    });
    EXPECT_GE(use.peak, 4000u);
    EXPECT_LT(use.peak, 4100u);
    EXPECT_GE(use.bytes, 6000u);
}

TEST(CountingHeap, ReallocCountsTheNewBlockOnly) {
    void* block = std::malloc(64);
    const bench::HeapUse use = bench::measureHeap([&] {
        block = std::realloc(block, 100000);
        sink = block;
    });
    std::free(block);
    EXPECT_EQ(use.allocations, 1u);
    EXPECT_GE(use.bytes, 100000u);
    EXPECT_GE(use.peak, 100000u - 64u - 16u);
}

TEST(CountingHeap, CountsNothingOutsideAMeasurement) {
    bench::measureHeap([] {});
    std::string text(5000, 'x');
    sink = text.data();
    const bench::HeapUse use = bench::measureHeap([] {});
    EXPECT_EQ(use.allocations, 0u);
    EXPECT_EQ(use.bytes, 0u);
    EXPECT_EQ(use.peak, 0u);
}

}  // namespace
