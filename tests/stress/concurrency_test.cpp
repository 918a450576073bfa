// Eight threads calling every export on the same inputs at once give exactly the results of
// one thread calling them in turn (run under ThreadSanitizer by the `tsan` preset).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "export_access.h"

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

}  // namespace
