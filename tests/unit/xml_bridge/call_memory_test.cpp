// The per-call arena behind the library's operator new: aligned, non-overlapping blocks
// across many chunks; large blocks and blocks from outside a call given back at once;
// everything else given back when the call ends (the sanitizer builds see any leak or
// use after free).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "call_memory.h"

namespace {

using pelzor::CallMemory;

// Every object the library allocates needs at most 8-byte alignment.
bool aligned(const void* block) {
    return reinterpret_cast<std::uintptr_t>(block) % 8 == 0;
}

TEST(CallMemory, HandsOutAlignedSeparateBlocksOfEverySize) {
    CallMemory call;
    struct Taken {
        unsigned char* block;
        std::size_t bytes;
    };
    std::vector<Taken> taken;
    // Sizes from empty through the large-block boundary, enough to fill several chunks.
    for (std::size_t i = 0; i < 20000; ++i) {
        const std::size_t bytes = (i * 37) % 5000;
        auto* block = static_cast<unsigned char*>(CallMemory::allocate(bytes));
        ASSERT_NE(block, nullptr);
        ASSERT_TRUE(aligned(block)) << bytes;
        std::memset(block, static_cast<int>(i & 0xFF), bytes);
        taken.push_back({block, bytes});
    }
    for (std::size_t i = 0; i < taken.size(); ++i) {
        for (std::size_t k = 0; k < taken[i].bytes; ++k) {
            ASSERT_EQ(taken[i].block[k], static_cast<unsigned char>(i & 0xFF)) << i;
        }
    }
    for (std::size_t i = 0; i < taken.size(); i += 2) {
        CallMemory::release(taken[i].block);
    }
}

TEST(CallMemory, TakesAFreedSmallBlockAgainForTheSameSize) {
    CallMemory call;
    void* first = CallMemory::allocate(40);
    void* large = CallMemory::allocate(100000);  // a chunk of its own in between
    void* second = CallMemory::allocate(40);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(large, nullptr);
    CallMemory::release(first);
    CallMemory::release(large);
    EXPECT_NE(CallMemory::allocate(200), first);  // another size: not that block
    EXPECT_EQ(CallMemory::allocate(33), first);   // 33 and 40 bytes round to the same size
    EXPECT_NE(CallMemory::allocate(16), nullptr);
    EXPECT_NE(CallMemory::allocate(40), second);
}

TEST(CallMemory, GivesBackBlocksFromBeforeTheCall) {
    void* before = CallMemory::allocate(100);  // no call open: the library's heap
    ASSERT_NE(before, nullptr);
    {
        CallMemory call;
        void* inside = CallMemory::allocate(100);
        ASSERT_NE(inside, nullptr);
        EXPECT_NE(inside, before);
        CallMemory::release(before);  // not the arena's: goes back to the heap at once
    }
    CallMemory::release(nullptr);
}

TEST(CallMemory, ReusesNothingOfAFinishedCall) {
    // Two calls in a row each get working memory, and the second may write all of it.
    for (int round = 0; round < 2; ++round) {
        CallMemory call;
        auto* large = static_cast<char*>(CallMemory::allocate(1 << 20));
        ASSERT_NE(large, nullptr);
        std::memset(large, 'x', 1 << 20);
        CallMemory::release(large);
        auto* small = static_cast<char*>(CallMemory::allocate(64));
        ASSERT_NE(small, nullptr);
        std::memset(small, 'y', 64);
    }
}

TEST(CallMemory, NestedCallsKeepTheirOwnArenas) {
    CallMemory outer;
    void* outerBlock = CallMemory::allocate(32);
    {
        CallMemory inner;
        void* innerBlock = CallMemory::allocate(32);
        EXPECT_NE(innerBlock, outerBlock);
    }
    // The outer call is open again and still owns its block.
    CallMemory::release(outerBlock);
    EXPECT_NE(CallMemory::allocate(32), nullptr);
}

TEST(CallMemory, RefusesImpossibleSizes) {
    CallMemory call;
    EXPECT_EQ(CallMemory::allocate(SIZE_MAX), nullptr);
    EXPECT_EQ(CallMemory::allocate(SIZE_MAX - 8), nullptr);
}

}  // namespace
