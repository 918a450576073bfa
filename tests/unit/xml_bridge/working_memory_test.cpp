// The library's own heap use: the exact size of each buffer, and what every call does when
// any one of its buffers cannot be allocated (a null result, or zeros and false for the
// arrays) without leaking the others.
//
// This file replaces the library's heap seam for the whole unit-test program: the
// linker takes these definitions and never pulls heap.cpp out of the library, since they
// define every symbol it has. Until a test arms a failure they behave like the C heap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "export_access.h"
#include "memory/call_memory.h"

namespace {

struct Request {
    std::size_t bytes;
    bool zeroed;
};

struct HeapWatch {
    long allocationsBeforeFailure = -1;  // negative: no failure armed
    std::vector<Request> requests;       // the successful ones since the last reset
    long liveBlocks = 0;
};

HeapWatch heapWatch;

bool failThisAllocation() {
    if (heapWatch.allocationsBeforeFailure < 0) {
        return false;
    }
    return heapWatch.allocationsBeforeFailure-- == 0;
}

void* tracked(void* block, Request request) {
    if (block != nullptr) {
        ++heapWatch.liveBlocks;
        heapWatch.requests.push_back(request);
    }
    return block;
}

}  // namespace

namespace pelzor {

void* systemAllocate(std::size_t bytes) {
    return failThisAllocation() ? nullptr : tracked(std::malloc(bytes), {bytes, false});
}

void* systemAllocateZeroed(std::size_t count, std::size_t size) {
    return failThisAllocation() ? nullptr : tracked(std::calloc(count, size), {count * size, true});
}

void heapFree(void* block) {
    if (block != nullptr) {
        --heapWatch.liveBlocks;
    }
    std::free(block);
}

}  // namespace pelzor

namespace {

// Starts counting afresh with the library's pool empty (a failed request is made again while
// it keeps chunks); `failing` is the index of the allocation that fails from now on (0 for
// the next one), or negative for none.
void resetHeapWatch(long failing = -1) {
    pelzor::CallMemory::releasePool();
    heapWatch = HeapWatch{};
    heapWatch.allocationsBeforeFailure = failing;
}

// The allocations that one undisturbed `call` makes.
template <typename Call>
std::vector<Request> requestsOf(Call call) {
    resetHeapWatch();
    call();
    std::vector<Request> requests = heapWatch.requests;
    resetHeapWatch();
    return requests;
}

// Runs `call` once with each of its allocations failing in turn; `check` gets the call's
// result and the request that failed. No block may be left allocated afterwards.
template <typename Call, typename Check>
void failEachAllocation(Call call, Check check) {
    const std::vector<Request> requests = requestsOf(call);
    for (std::size_t failing = 0; failing < requests.size(); ++failing) {
        resetHeapWatch(static_cast<long>(failing));
        check(call(), requests[failing]);
        EXPECT_EQ(heapWatch.liveBlocks, 0) << "allocation " << failing << " failed";
    }
    resetHeapWatch();
}

TEST(WorkingMemory, BlankDocumentGivesNullWhenAnyBufferFails) {
    auto call = [] { return takeResult(Exports::createBlankXML(Arg("library"))); };
    // The composed text, then the result string.
    EXPECT_EQ(requestsOf(call).size(), 2u);
    failEachAllocation(
        call, [](const std::string& result, const Request&) { EXPECT_EQ(result, "<null>"); });
}

std::string appendUnescaping(const char* text) {
    return takeResult(Exports::appendXMLChild(Arg("<r/>"), Arg("c"), Arg("r"), Arg(text), true));
}

// How many of the blocks that `requests` asked for have `bytes` bytes.
std::size_t blocksOfSize(const std::vector<Request>& requests, std::size_t bytes) {
    return static_cast<std::size_t>(std::count_if(
        requests.begin(), requests.end(), [&](const Request& r) { return r.bytes == bytes; }));
}

TEST(WorkingMemory, AppendGivesNullWhenAnyBufferFails) {
    auto call = [] { return appendUnescaping("<i>a</i> & b"); };
    failEachAllocation(
        call, [](const std::string& result, const Request&) { EXPECT_EQ(result, "<null>"); });
    EXPECT_EQ(call(), "<r>\n    <c><i>a</i> &amp; b</c>\n</r>\n");
}

// The document is printed straight into the result string, whatever the new element's text:
// the same requests for every text, and no working buffer of the result's size among them.
TEST(WorkingMemory, AppendPrintsStraightIntoTheResultString) {
    const std::size_t plain = requestsOf([] { return appendUnescaping("plain"); }).size();
    for (const char* text : {"plain", "a & b", "a > b", "<i>a</i> & b", "AT&amp;T"}) {
        const std::string result = appendUnescaping(text);
        const std::vector<Request> requests = requestsOf([&] { return appendUnescaping(text); });
        EXPECT_EQ(requests.size(), plain) << text;
        EXPECT_EQ(blocksOfSize(requests, result.size()), 0u) << text;
        EXPECT_EQ(blocksOfSize(requests, result.size() + 1), 0u) << text;
    }
}

TEST(WorkingMemory, ArraysZeroTheCallersDoublesWhenAnyBufferFails) {
    const char document[] = "<m><r><c>1</c><c>2</c></r><r><c>3</c><c>4</c></r></m>";
    for (bool twoD : {false, true}) {
        double values[6];
        auto call = [&] {
            std::fill(values, values + 6, 9.0);
            return twoD ? Exports::getDouble2DArray(Arg(document), Arg("m"), values + 1, 4)
                        : Exports::getDouble1DArray(Arg(document), Arg("r"), values + 1, 4);
        };
        // Only the working array's failure is reported as false.
        failEachAllocation(call, [&](bool result, const Request& failed) {
            EXPECT_EQ(result, !failed.zeroed);
            const double expected[6] = {9, 0, 0, 0, 0, 9};
            for (int i = 0; i < 6; ++i) {
                EXPECT_EQ(values[i], expected[i]) << i;
            }
        });
    }
}

TEST(WorkingMemory, ArraysAllocateOneWorkingArrayOfCountDoubles) {
    double values[3];
    const std::vector<Request> requests = requestsOf(
        [&] { return Exports::getDouble1DArray(Arg("<v><x>1</x></v>"), Arg("v"), values, 3); });
    std::vector<std::size_t> zeroed;
    for (const Request& request : requests) {
        if (request.zeroed) {
            zeroed.push_back(request.bytes);
        }
    }
    EXPECT_EQ(zeroed, (std::vector<std::size_t>{3 * sizeof(double)}));
}

TEST(WorkingMemory, ArraysAllocateNothingForCountZeroOrNegative) {
    for (int count : {0, -1, -2147483647 - 1}) {
        resetHeapWatch(0);
        EXPECT_TRUE(Exports::getDouble2DArray(Arg("<m/>"), Arg("m"), nullptr, count));
        EXPECT_TRUE(Exports::getDouble1DArray(Arg("<m/>"), Arg("m"), nullptr, count));
        EXPECT_EQ(heapWatch.allocationsBeforeFailure, 0) << "an allocation was attempted";
    }
    resetHeapWatch();
}

}  // namespace
