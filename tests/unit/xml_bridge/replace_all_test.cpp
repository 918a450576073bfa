// replaceAll: every match, left to right, never overlapping, into a new text.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "memory/call_memory.h"
#include "text/replace_all.h"

namespace {

struct ReplaceCase {
    const char* source;
    const char* pattern;
    const char* replacement;
    const char* expected;
};

void PrintTo(const ReplaceCase& c, std::ostream* out) {
    *out << '"' << c.source << "\" \"" << c.pattern << "\" \"" << c.replacement << '"';
}

const ReplaceCase kReplaceCases[] = {
    {"a&amp;b&amp;", "&amp;", "&", "a&b&"},
    {"&amp;amp;", "&amp;", "&", "&amp;"},
    {"ramp;", "&amp;", "&", "ramp;"},
    {"ramp;", "amp;", "", "r"},
    {"aaaa", "aa", "b", "bb"},
    {"aaa", "aa", "b", "ba"},
    {"abab", "ab", "xyz", "xyzxyz"},
    {"abab", "ab", "cd", "cdcd"},
    {"xabx", "ab", "", "xx"},
    {"ab", "ab", "", ""},
    {"abc", "x", "yyy", "abc"},
    {"", "a", "b", ""},
    {"a", "ab", "c", "a"},
    {"&lt;i&gt;", "&gt;", ">", "&lt;i>"},
    {"abc", "", "x", "abc"},
};

class ReplaceAll : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAll, ReplacesEveryMatchIntoANewText) {
    const ReplaceCase& c = GetParam();
    const std::string source = c.source;
    char* result = pelzor::replaceAll(source.c_str(), c.pattern, c.replacement);
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, c.expected);
    EXPECT_NE(result, source.c_str());
    EXPECT_EQ(source, c.source);
    pelzor::heapFree(result);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplaceAll, ::testing::ValuesIn(kReplaceCases));

}  // namespace
