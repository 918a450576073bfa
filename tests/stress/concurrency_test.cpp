// Eight threads calling every export on the same inputs at once give exactly the results of
// one thread calling them in turn, and eight threads working in call memory of their own
// share its pool of chunks without sharing a block (run under ThreadSanitizer by the `tsan`
// preset).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "export_access.h"
#include "memory/call_memory.h"

namespace {

const char* const kDocuments[] = {
    // One document in two pieces: the parentheses say the concatenation is meant.
    ("<?xml version='1.0'?><data><name>Tom &amp; Jerry</name><n>42</n><d>2.5e3</d>"
     "<m><r><c>1</c><c>2</c></r><r><c>3</c><c>4</c></r></m></data>"),
    "<a><b><![CDATA[ 7 ]]></b><!-- x --><b>8</b>",
    "<a>x\xC3",
    "",
};
const char* const kNames[] = {"name", "n", "d", "m", "b", "a", "missing"};

std::string everyExportOnEveryInput() {
    std::string out;
    for (const char* text : kDocuments) {
        for (const char* name : kNames) {
            out += everyExportOn(text, name) + "\n";
        }
    }
    return out;
}

TEST(Concurrency, EightThreadsGetTheSingleThreadedResults) {
    const std::string expected = everyExportOnEveryInput();
    constexpr int kThreads = 8;
    // Each thread keeps the first result that differs from the expected one, if any.
    std::vector<std::string> results(kThreads, expected);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&results, &expected, t] {
            for (int round = 0; round < 20; ++round) {
                std::string result = everyExportOnEveryInput();
                if (result != expected && results[t] == expected)
                    results[t] = result;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (const std::string& result : results)
        EXPECT_EQ(result, expected);
}

// One thread's calls: blocks of every kind (small, reused small, large) filled with the
// thread's own byte, checked before the call ends; the chunks come and go through the pool
// that all threads share. Returns the number of bytes found overwritten.
long workInCallMemory(unsigned char mark) {
    long overwritten = 0;
    for (int round = 0; round < 30; ++round) {
        pelzor::CallMemory call;
        std::vector<std::pair<unsigned char*, std::size_t>> blocks;
        for (std::size_t i = 0; i < 600; ++i) {
            const std::size_t bytes = i % 50 == 0 ? 4096 + 997 * (i % 7) : 8 + (i * 13) % 240;
            auto* block = static_cast<unsigned char*>(pelzor::CallMemory::allocate(bytes));
            if (block == nullptr)
                return -1;
            std::memset(block, mark, bytes);
            blocks.emplace_back(block, bytes);
            if (i % 3 == 0) {
                pelzor::CallMemory::release(blocks[i / 2].first);
                blocks[i / 2].second = 0;
            }
        }
        for (const auto& [block, bytes] : blocks)
            for (std::size_t k = 0; k < bytes; ++k)
                overwritten += block[k] != mark;
    }
    return overwritten;
}

TEST(Concurrency, EightThreadsShareThePoolOfCallMemoryButNoBlock) {
    constexpr int kThreads = 8;
    std::vector<long> overwritten(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&overwritten, t] {
            overwritten[t] = workInCallMemory(static_cast<unsigned char>(0xA0 + t));
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(overwritten[t], 0) << "thread " << t;
    EXPECT_GT(pelzor::CallMemory::pooledBytes(), 0u);
    EXPECT_LE(pelzor::CallMemory::pooledBytes(), pelzor::CallMemory::kPoolCeiling);
    pelzor::CallMemory::releasePool();
}

}  // namespace
