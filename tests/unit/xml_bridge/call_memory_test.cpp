// The per-call arena behind the library's operator new: blocks aligned to 16 whatever their
// size, inside a call and outside, non-overlapping across many chunks; large blocks and blocks from
// outside a call given back at once; everything else given back when the call ends (the sanitizer
// builds see any leak or use after free); the pool that keeps chunks for later calls, within its
// cap and what the calls of the last few seconds needed; in the Windows builds, the thread slot
// before and after the library holds one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "memory/call_memory.h"
#include "memory/internals.h"

namespace {

using pelzor::CallMemory;

// Every test leaves the pool empty, so that the heap this program watches holds nothing of
// the arena afterwards.
struct PoolEmptied {
    ~PoolEmptied() { CallMemory::releasePool(); }
};

// What both compilers promise for operator new (__STDCPP_DEFAULT_NEW_ALIGNMENT__).
constexpr std::size_t kPromisedAlignment = 16;

bool aligned(const void* block) {
    return reinterpret_cast<std::uintptr_t>(block) % kPromisedAlignment == 0;
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

// Every size of every small size class (steps of 16 bytes with the tag, up to 1016), the first
// large sizes and large blocks: each block aligned, inside a call, taken again from its free list,
// and outside any call.
TEST(CallMemory, AlignsEveryBlockTo16WhateverItsSize) {
    PoolEmptied emptied;
    std::vector<std::size_t> sizes;
    for (std::size_t bytes = 0; bytes <= 1100; ++bytes) {
        sizes.push_back(bytes);
    }
    for (std::size_t bytes : {2047, 4096, 4099, 65536, 100001, 1 << 20, (1 << 20) + 7}) {
        sizes.push_back(bytes);
    }
    CallMemory call;
    for (std::size_t bytes : sizes) {
        unsigned char* blocks[3];
        for (unsigned char*& block : blocks) {
            block = static_cast<unsigned char*>(CallMemory::allocate(bytes));
            ASSERT_NE(block, nullptr) << bytes;
            EXPECT_TRUE(aligned(block)) << bytes;
            std::memset(block, 0xA1, bytes);
        }
        const bool small = bytes <= 1016;
        CallMemory::release(blocks[1]);
        auto* again = static_cast<unsigned char*>(CallMemory::allocate(bytes));
        EXPECT_TRUE(aligned(again)) << bytes;
        if (small) {
            EXPECT_EQ(again, blocks[1]) << bytes;  // from the free list of its size
        }
        std::memset(again, 0xB2, bytes);
        if (bytes > 0) {
            EXPECT_EQ(blocks[0][bytes - 1], 0xA1) << bytes;
            EXPECT_EQ(blocks[2][0], 0xA1) << bytes;
        }
    }
    // Outside any call: the library's heap, aligned the same.
    for (std::size_t bytes : {1, 8, 12, 16, 24, 100, 1016, 5000}) {
        void* block = CallMemory::allocate(bytes);
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(aligned(block)) << bytes;
        std::memset(block, 0xC3, bytes);
        CallMemory::release(block);
    }
}

// Calls that hold far more than the cap at once, in small and large blocks: when the call
// ends the pool keeps no more than its cap and gives the rest back.
TEST(CallMemory, ThePoolKeepsNoMoreThanItsCapAfterALargerCall) {
    PoolEmptied emptied;
    CallMemory::releasePool();
    {
        CallMemory call;
        // Large blocks are not written: pages never touched cost the test nothing.
        for (int i = 0; i < 3; ++i) {
            ASSERT_NE(CallMemory::allocate(CallMemory::kPoolCeiling / 2), nullptr);
        }
        for (int i = 0; i < 100000; ++i) {
            ASSERT_NE(CallMemory::allocate(200), nullptr);
        }
    }
    EXPECT_LE(CallMemory::pooledBytes(), CallMemory::kPoolCeiling);
    // The cap is what it keeps, not what it may drop: a call like this next time reuses it.
    EXPECT_GE(CallMemory::pooledBytes(), CallMemory::kPoolCeiling / 2);
}

// After one large call the pool keeps its chunks through any number of small calls soon
// after it (the law below decides for how long).
TEST(CallMemory, SmallCallsRightAfterALargeOneLeaveThePoolAsItWas) {
    PoolEmptied emptied;
    CallMemory::releasePool();
    oneCall(4 << 20);
    const std::size_t afterLarge = CallMemory::pooledBytes();
    EXPECT_GT(afterLarge, std::size_t{4} << 20);
    for (int i = 0; i < 100; ++i) {
        oneCall(1000);
    }
    EXPECT_EQ(CallMemory::pooledBytes(), afterLarge);
}

// What the pool keeps after each call of a sequence (its peak, when it ended): a need is
// remembered for the rest of its span and the next, and forgotten once a span and the one
// before held none.
TEST(CallMemory, ThePoolKeepsWhatTheCallsOfTheLastSpanOrTwoNeeded) {
    constexpr std::int64_t kSpan = pelzor::RecentNeed::kSpanMilliseconds;
    struct Call {
        std::size_t peak;
        std::int64_t endedAt;
        std::size_t kept;
    };
    const std::vector<std::vector<Call>> sequences = {
        // Smaller calls within the span keep the large need.
        {{900, 100000, 900}, {10, 100001, 900}, {20, 100000 + kSpan - 1, 900}},
        // It moves to the previous span, then is forgotten a span later.
        {{900, 100000, 900},
         {10, 100000 + kSpan, 900},
         {20, 100000 + 2 * kSpan - 1, 900},
         {30, 100000 + 2 * kSpan, 30}},
        // A large need at the end of a span is still kept a span later.
        {{10, 100000, 10}, {900, 100000 + kSpan - 1, 900}, {20, 100000 + 2 * kSpan - 2, 900}},
        // After a pause of two spans or more only the call just ended counts.
        {{900, 100000, 900}, {10, 100000 + 2 * kSpan, 10}},
        // A larger call raises it at once.
        {{10, 100000, 10}, {900, 100002, 900}, {5, 100003, 900}},
        // Spans are fixed steps of the clock: a need from the end of one is gone two spans on.
        {{900, 100000 + kSpan - 1, 900}, {10, 100000 + 2 * kSpan, 10}},
        // A call that starts (peak 0) finds what the need is then.
        {{900, 100000, 900}, {0, 100000 + 2 * kSpan - 1, 900}, {0, 100000 + 2 * kSpan, 0}},
    };
    for (std::size_t i = 0; i < sequences.size(); ++i) {
        pelzor::RecentNeed need;
        for (const Call& call : sequences[i]) {
            EXPECT_EQ(need.afterCall(call.peak, call.endedAt), call.kept)
                << "sequence " << i << ", call ending at " << call.endedAt;
        }
    }
}

#if !defined(NDEBUG) || defined(PELZOR_CHECK_INVARIANTS)
// The debug and sanitizer builds check the heap's invariants: a block given back after the
// call that took it has ended, or on another thread while it is open, small or large,
// stops the program.
TEST(CallMemoryDeathTest, ABlockGivenBackAfterItsCallOrOnAnotherThreadIsCaught) {
    for (std::size_t bytes : {std::size_t{32}, std::size_t{100000}}) {
        EXPECT_DEATH(
            {
                void* late = nullptr;
                {
                    CallMemory call;
                    late = CallMemory::allocate(bytes);
                }
                CallMemory::release(late);
            },
            "invariant broken")
            << bytes;
        EXPECT_DEATH(
            {
                CallMemory call;
                void* block = CallMemory::allocate(bytes);
                std::thread([block] { CallMemory::release(block); }).join();
            },
            "invariant broken")
            << bytes;
    }
    CallMemory::releasePool();
}
#endif

#ifdef _WIN32
using pelzor::OpenCallSlot;

// A slot object as the library's is before its initialisers have run: it reads no open
// call, even while TLS slot 0 (another module's) holds a value, and refuses to record one.
// Once given back, it reads and records nothing again.
TEST(OpenCallSlot, ReadsNoCallWithoutASlotOfItsOwn) {
    static OpenCallSlot slot;  // zero-initialised storage, as the DLL's data at load
    auto* marker = reinterpret_cast<CallMemory*>(&slot);
    void*& slotZero = NtCurrentTeb()->TlsSlots[0];
    void* const slotZeroBefore = slotZero;
    slotZero = marker;
    EXPECT_FALSE(slot.hasSlot());
    EXPECT_EQ(slot.get(), nullptr);
    EXPECT_FALSE(slot.set(marker));
    slotZero = slotZeroBefore;

    slot.acquire();
    ASSERT_TRUE(slot.hasSlot());
    EXPECT_EQ(slot.get(), nullptr);
    EXPECT_TRUE(slot.set(marker));
    EXPECT_EQ(slot.get(), marker);
    slot.set(nullptr);

    slot.release();
    EXPECT_FALSE(slot.hasSlot());
    EXPECT_EQ(slot.get(), nullptr);
    EXPECT_FALSE(slot.set(marker));
    EXPECT_EQ(slot.get(), nullptr);
}

// While the library has no slot (before it initialises, after it unloads), a call's
// allocations take the heap path: aligned, given back one by one, no chunk taken.
TEST(OpenCallSlot, AnAllocationWithoutASlotTakesTheHeapPath) {
    PoolEmptied emptied;
    CallMemory::releasePool();
    pelzor::openCallSlot.release();
    void* outlivesTheCall = nullptr;
    {
        CallMemory call;
        outlivesTheCall = CallMemory::allocate(100);
        void* large = CallMemory::allocate(100000);
        ASSERT_NE(outlivesTheCall, nullptr);
        ASSERT_NE(large, nullptr);
        EXPECT_TRUE(aligned(outlivesTheCall));
        EXPECT_TRUE(aligned(large));
        std::memset(large, 0x11, 100000);
        CallMemory::release(large);
    }
    EXPECT_EQ(CallMemory::pooledBytes(), 0u);
    std::memset(outlivesTheCall, 0x22, 100);  // a heap block, not part of the call's arena
    CallMemory::release(outlivesTheCall);
    pelzor::openCallSlot.acquire();
    ASSERT_TRUE(pelzor::openCallSlot.hasSlot());
    {
        CallMemory call;
        EXPECT_NE(CallMemory::allocate(100), nullptr);
    }
    EXPECT_GT(CallMemory::pooledBytes(), 0u);  // the arena is back
}
#endif

}  // namespace
