// The per-call arena behind the library's operator new: aligned, non-overlapping blocks
// across many chunks; large blocks and blocks from outside a call given back at once;
// everything else given back when the call ends (the sanitizer builds see any leak or
// use after free); the pool that keeps chunks for later calls, within its bound.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "call_memory.h"

namespace {

using pelzor::CallMemory;

// Every test leaves the pool empty, so that the heap this program watches holds nothing of
// the arena afterwards.
struct PoolEmptied {
    ~PoolEmptied() { CallMemory::releasePool(); }
};

// Every object the library allocates needs at most 8-byte alignment.
bool aligned(const void* block) {
    return reinterpret_cast<std::uintptr_t>(block) % 8 == 0;
}

TEST(CallMemory, HandsOutAlignedSeparateBlocksOfEverySize) {
    PoolEmptied emptied;
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
    PoolEmptied emptied;
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

TEST(CallMemory, EachCallOfTwoInARowGetsWorkingMemoryItMayWriteWhole) {
    PoolEmptied emptied;
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
    PoolEmptied emptied;
    CallMemory outer;
    void* outerBlock = CallMemory::allocate(32);
    {
        CallMemory inner;
        void* innerBlock = CallMemory::allocate(32);
        EXPECT_NE(innerBlock, outerBlock);
        // Given back while the inner call is open, the block still goes to the outer
        // call's free list: the inner call never hands it out.
        CallMemory::release(outerBlock);
        EXPECT_NE(CallMemory::allocate(32), outerBlock);
    }
    EXPECT_EQ(CallMemory::allocate(32), outerBlock);
}

TEST(CallMemory, RefusesImpossibleSizes) {
    PoolEmptied emptied;
    CallMemory call;
    EXPECT_EQ(CallMemory::allocate(SIZE_MAX), nullptr);
    EXPECT_EQ(CallMemory::allocate(SIZE_MAX - 8), nullptr);
}

// One call's working set: small blocks in several chunks and one large block, whose
// address it returns.
void* oneCall(std::size_t largeBytes) {
    CallMemory call;
    for (int i = 0; i < 2000; ++i) {
        std::memset(CallMemory::allocate(24 + i % 100), 0x5A, 24);
    }
    void* large = CallMemory::allocate(largeBytes);
    EXPECT_NE(large, nullptr);
    std::memset(large, 0x5A, largeBytes);
    return large;
}

TEST(CallMemory, TheNextCallTakesTheChunksOfTheLastOne) {
    PoolEmptied emptied;
    CallMemory::releasePool();
    void* first = oneCall(1 << 20);
    const std::size_t kept = CallMemory::pooledBytes();
    EXPECT_GT(kept, std::size_t{1} << 20);
    // The same work again runs in the same memory, and the pool does not grow.
    EXPECT_EQ(oneCall(1 << 20), first);
    EXPECT_EQ(CallMemory::pooledBytes(), kept);
    // A smaller call leaves what the pool keeps for the larger ones.
    { CallMemory small; }
    EXPECT_EQ(CallMemory::pooledBytes(), kept);
    CallMemory::releasePool();
    EXPECT_EQ(CallMemory::pooledBytes(), 0u);
}

TEST(CallMemory, ThePoolKeepsNoMoreThanTheLargestPeakOfOneCall) {
    PoolEmptied emptied;
    CallMemory::releasePool();
    // A large block from 300 KiB on does not take a kept chunk more than twice its size, so
    // each call below takes a fresh chunk; the pool lets the oldest go to stay in bounds.
    oneCall(3 << 20);
    const std::size_t afterLargest = CallMemory::pooledBytes();
    for (std::size_t bytes : {std::size_t{1} << 20, std::size_t{300} << 10}) {
        oneCall(bytes);
        EXPECT_LE(CallMemory::pooledBytes(), afterLargest) << bytes;
    }
    EXPECT_LE(CallMemory::pooledBytes(), CallMemory::kPoolCeiling);
}

}  // namespace
