// The three scalar readers through the export layer: texts as the parser conditions them,
// the numbers of those texts, and the missing-element outcomes.
#include <gtest/gtest.h>

#include "export_access.h"

namespace {

struct TextCase {
    const char* document;
    const char* name;
    const char* expected;
};

const TextCase kTextCases[] = {
    {"<a><b>hello</b></a>", "b", "hello"},
    {"<a><b>  x   \n   y  </b></a>", "b", "x y"},
    {"<a><b>x\t\r\n\v\fy</b></a>", "b", "x y"},
    {"<a><b><![CDATA[  x  ]]></b></a>", "b", "  x  "},
    {"<a><b>1 &lt; 2 &amp; 3</b></a>", "b", "1 < 2 & 3"},
    {"<a><b>&quot;&apos;&gt;</b></a>", "b", "\"'>"},
    {"<a><b>&#65;&#x42;&#xE9;</b></a>", "b", "AB\xC3\xA9"},
    {"<a><b>a &nbsp;b</b></a>", "b", "a nbsp;b"},
    {"<a><b/></a>", "b", ""},
    {"<a><b>   </b></a>", "b", ""},
    {"<a><b><c>1</c></b></a>", "b", ""},
    {"<a><b>1<c/>2</b></a>", "b", "1"},
    {"<a><b><!-- c -->1</b></a>", "b", ""},
    {"<a/>", "b", "Element does not exist"},
    {"", "b", "Element does not exist"},
    {"<a><b>first</b><b>second</b></a>", "b", "first"},
    {"<a><b>Element does not exist</b></a>", "b", "Element does not exist"},
    {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA9</a>", "a", "\xC3\xA9"},
    {"\xEF\xBB\xBF<a>bom</a>", "a", "bom"},
    {"<a><b>5</b>", "b", "5"},
    {"<a b='1'>attr</a>", "a", "attr"},
};

class StringValue : public ::testing::TestWithParam<TextCase> {};

TEST_P(StringValue, ReturnsTheConditionedTextAsAByteString) {
    const TextCase& c = GetParam();
    OwnedResult result(Exports::getStringValue(Arg(c.document), Arg(c.name)));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(bytesOf(result.get()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, StringValue, ::testing::ValuesIn(kTextCases));

TEST(StringValueResult, HasTheByteLengthOfItsTextAndANulPair) {
    OwnedResult result(Exports::getStringValue(Arg("<a/>"), Arg("b")));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(pelzor::byteStringLength(result.get()), 22u);
    const char* bytes = reinterpret_cast<const char*>(result.get());
    EXPECT_EQ(bytes[22], '\0');
    EXPECT_EQ(bytes[23], '\0');
}

TEST(StringValueResult, NullTextAndNullNameGiveTheMissingElementText) {
    EXPECT_EQ(takeResult(Exports::getStringValue(nullptr, Arg("a"))), "Element does not exist");
    EXPECT_EQ(takeResult(Exports::getStringValue(Arg("<a>1</a>"), nullptr)),
              "Element does not exist");
}

struct NumberCase {
    const char* document;
    const char* name;
    int integer;
    double floating;
};

const NumberCase kNumberCases[] = {
    {"<a>42abc</a>", "a", 42, 42.0},
    {"<a> 12.9 </a>", "a", 12, 12.9},
    {"<a>2.5e3</a>", "a", 2, 2500.0},
    {"<a>-0</a>", "a", 0, -0.0},
    {"<a>99999999999</a>", "a", 2147483647, 99999999999.0},
    {"<a>-99999999999</a>", "a", -2147483647 - 1, -99999999999.0},
    {"<a><![CDATA[ 7 ]]></a>", "a", 7, 7.0},
    {"<a/>", "a", 0, 0.0},
    {"<a/>", "b", 0, 0.0},
    {"x<a>1</a>", "a", 0, 0.0},
    {"<a><b>5</b>", "b", 5, 5.0},
    {"<a>1,5</a>", "a", 1, 1.0},
    {"<a>inf</a>", "a", 0, 0.0},
};

class NumberValue : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberValue, ReadsTheElementTextAsNumbers) {
    const NumberCase& c = GetParam();
    EXPECT_EQ(Exports::getIntegerValue(Arg(c.document), Arg(c.name)), c.integer);
    EXPECT_EQ(Exports::getDoubleValue(Arg(c.document), Arg(c.name)), c.floating);
}

INSTANTIATE_TEST_SUITE_P(Cases, NumberValue, ::testing::ValuesIn(kNumberCases));

TEST(NumberValueLimits, NullArgumentsGiveZero) {
    EXPECT_EQ(Exports::getIntegerValue(nullptr, Arg("a")), 0);
    EXPECT_EQ(Exports::getIntegerValue(Arg("<a>1</a>"), nullptr), 0);
    EXPECT_EQ(Exports::getDoubleValue(nullptr, Arg("a")), 0.0);
    EXPECT_EQ(Exports::getDoubleValue(Arg("<a>1</a>"), nullptr), 0.0);
}

}  // namespace
