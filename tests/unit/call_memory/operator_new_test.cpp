// The library's operator new, as the DLL links it: objects of a 16-byte aligned type (an
// SSE value, say) and arrays of them are aligned inside a call and outside one, whatever
// else the call took before them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "memory/call_memory.h"

namespace {

using pelzor::CallMemory;

struct alignas(16) Wide {
    double low;
    double high;
};

struct alignas(16) WideWithTail {
    Wide value;
    char tail[3];
};

bool aligned16(const void* address) {
    return reinterpret_cast<std::uintptr_t>(address) % 16 == 0;
}

// After allocations of every size from 1 to 1100 bytes, so that the next block follows
// blocks of every step.
void takeBlocksOfEverySize(std::vector<std::unique_ptr<char[]>>& held) {
    for (std::size_t bytes = 1; bytes <= 1100; ++bytes) {
        held.emplace_back(new char[bytes]);
    }
}

TEST(OperatorNew, AlignsOverAlignedTypesInsideAndOutsideACall) {
    for (int insideACall = 0; insideACall < 2; ++insideACall) {
        std::unique_ptr<CallMemory> call(insideACall ? new CallMemory : nullptr);
        std::vector<std::unique_ptr<char[]>> held;
        takeBlocksOfEverySize(held);
        std::vector<std::unique_ptr<Wide>> singles;
        std::vector<std::unique_ptr<WideWithTail[]>> arrays;
        for (std::size_t count = 1; count <= 70; ++count) {
            singles.emplace_back(new Wide{1.0, 2.0});
            EXPECT_TRUE(aligned16(singles.back().get())) << insideACall;
            arrays.emplace_back(new WideWithTail[count]);
            EXPECT_TRUE(aligned16(arrays.back().get())) << insideACall << " " << count;
            held.emplace_back(new char[count * 7]);  // odd sizes in between
        }
        // A string and a vector of the type, grown step by step.
        std::vector<Wide> grown;
        for (int i = 0; i < 300; ++i) {
            grown.push_back(Wide{static_cast<double>(i), 0.0});
            ASSERT_TRUE(aligned16(grown.data())) << insideACall << " " << i;
        }
        std::string text(1000, 'x');
        EXPECT_TRUE(aligned16(text.data()));
        held.clear();
        singles.clear();
        arrays.clear();
        grown = std::vector<Wide>();
        CallMemory::release(nullptr);
    }
    CallMemory::releasePool();
}

// With this operator new linked, what it hands out inside a call goes back with the call, so
// the call may leave its document's tree to it (a program with the standard one may not).
TEST(OperatorNew, TakesFromTheCallOnlyWhileOneIsOpen) {
    EXPECT_FALSE(CallMemory::operatorNewTakesFromCall());
    {
        CallMemory call;
        EXPECT_TRUE(CallMemory::operatorNewTakesFromCall());
    }
    EXPECT_FALSE(CallMemory::operatorNewTakesFromCall());
    CallMemory::releasePool();
}

}  // namespace
