// The three readers through the real DLL: contents, result-string lengths and, in the
// 32-bit build, the stack discipline of every call.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pelzor_dll.h"

namespace {

const char kDocument[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
    "<settings><name>Tom &amp; Jerry</name><count> 42abc</count><rate>2.5D3</rate>"
    "<empty/><spaced>  x \n  y </spaced></settings>";

}  // namespace

TEST(Readers, StringValuesComeBackAsByteStrings) {
    PelzorDll dll;
    struct Case {
        const char* xml;
        const char* name;
        const char* expected;
    } cases[] = {
        {kDocument, "name", "Tom & Jerry"},
        {kDocument, "spaced", "x y"},
        {kDocument, "empty", ""},
        {kDocument, "missing", "Element does not exist"},
        {"", "name", "Element does not exist"},
        {nullptr, "name", "Element does not exist"},
        {"<a><b>5</b>", "b", "5"},
        {"<a>\xC3\xA9t\xC3\xA9</a>", "a", "\xC3\xA9t\xC3\xA9"},
    };
    for (const Case& c : cases) {
        Bstr result(dll.getStringValue(c.xml, c.name));
        ASSERT_FALSE(result.isNull());
        EXPECT_EQ(result.bytes(), c.expected) << c.name;
        EXPECT_EQ(result.byteLength(), std::string(c.expected).size()) << c.name;
    }
}

TEST(Readers, NullNameGivesTheMissingElementOutcome) {
    PelzorDll dll;
    Bstr text(dll.getStringValue(kDocument, nullptr));
    EXPECT_EQ(text.bytes(), "Element does not exist");
    EXPECT_EQ(dll.getIntegerValue(kDocument, nullptr), 0);
    EXPECT_EQ(dll.getDoubleValue(kDocument, nullptr), 0.0);
}

TEST(Readers, NumbersFollowTheDecimalGrammars) {
    PelzorDll dll;
    EXPECT_EQ(dll.getIntegerValue(kDocument, "count"), 42);
    EXPECT_EQ(dll.getIntegerValue("<a>99999999999</a>", "a"), 2147483647);
    EXPECT_EQ(dll.getIntegerValue("<a>-99999999999</a>", "a"), -2147483647 - 1);
    EXPECT_EQ(dll.getIntegerValue("x<a>1</a>", "a"), 0);
    EXPECT_EQ(dll.getDoubleValue(kDocument, "rate"), 2500.0);
    EXPECT_EQ(dll.getDoubleValue("<a>1,5</a>", "a"), 1.0);
    EXPECT_EQ(dll.getDoubleValue("<a>0.1</a>", "a"), 0.1);
    EXPECT_EQ(dll.getDoubleValue("<a>inf</a>", "a"), 0.0);
    EXPECT_EQ(dll.getDoubleValue("<a>-1e999</a>", "a"), -std::numeric_limits<double>::infinity());
}

TEST(Readers, NumbersIgnoreTheLocaleOfTheSharedRuntime) {
    PelzorDll dll;
    // The host may switch the shared C runtime to a locale whose decimal separator is a
    // comma; the library's results must not move.
    const char* previous = setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    if (setlocale(LC_NUMERIC, "German_Germany.1252") == nullptr) {
        setlocale(LC_NUMERIC, "de-DE");
    }
    EXPECT_EQ(dll.getDoubleValue("<a>1.25</a>", "a"), 1.25);
    EXPECT_EQ(dll.getDoubleValue("<a>1,25</a>", "a"), 1.0);
    setlocale(LC_ALL, saved.c_str());
}
