// Building documents through the export layer: the blank document's bytes, the printed
// form after each append, the clean-up of escapes, and documents read back by the readers.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "export_access.h"

namespace {

const char kParentMissing[] = "Parent element does not exist";

// A writable copy of a literal, or a null pointer for a null literal.
struct NullableArg {
    explicit NullableArg(const char* text) : storage(text != nullptr ? text : ""), isNull(!text) {}
    operator char*() { return isNull ? nullptr : storage.data(); }
    std::string storage;
    bool isNull;
};

std::string append(const char* document, const char* child, const char* parent, const char* text,
                   bool unescape) {
    return takeResult(Exports::appendXMLChild(NullableArg(document), NullableArg(child),
                                              NullableArg(parent), NullableArg(text), unescape));
}

std::string append(const std::string& document, const char* child, const char* parent,
                   const char* text, bool unescape = false) {
    return append(document.c_str(), child, parent, text, unescape);
}

std::string stringValue(const std::string& document, const char* name) {
    return takeResult(Exports::getStringValue(Arg(document), Arg(name)));
}

struct BlankCase {
    const char* root;
    const char* expected;
};

void PrintTo(const BlankCase& c, std::ostream* out) {
    *out << '"' << c.root << '"';
}

const BlankCase kBlankCases[] = {
    {"library", "<?xml version='1.0' encoding='utf-8'?><library></library>"},
    {"", "<?xml version='1.0' encoding='utf-8'?><></>"},
    {"my root", "<?xml version='1.0' encoding='utf-8'?><my root></my root>"},
    {"a&b", "<?xml version='1.0' encoding='utf-8'?><a&b></a&b>"},
    {"<x", "<?xml version='1.0' encoding='utf-8'?><<x></<x>"},
};

class BlankDocument : public ::testing::TestWithParam<BlankCase> {};

TEST_P(BlankDocument, HoldsTheDeclarationAndTheRootCopiedUnchanged) {
    const BlankCase& c = GetParam();
    OwnedResult result(Exports::createBlankXML(Arg(c.root)));
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(bytesOf(result.get()), c.expected);
    EXPECT_EQ(pelzor::byteStringLength(result.get()), 2 * std::string(c.root).size() + 43);
}

INSTANTIATE_TEST_SUITE_P(Cases, BlankDocument, ::testing::ValuesIn(kBlankCases));

TEST(BuildDocument, WorkedExampleHoldsByteForByte) {
    const std::string blank = takeResult(Exports::createBlankXML(Arg("library")));
    const std::string withBook = append(blank, "book", "library", "Dune");
    EXPECT_EQ(withBook,
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<library>\n"
              "    <book>Dune</book>\n"
              "</library>\n");
    const std::string withNote = append(withBook, "note", "library", "<i>new</i> & used", true);
    EXPECT_EQ(withNote,
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<library>\n"
              "    <book>Dune</book>\n"
              "    <note><i>new</i> &amp; used</note>\n"
              "</library>\n");
    EXPECT_EQ(append(withNote, "x", "shelf", "1"), kParentMissing);
}

struct AppendCase {
    const char* label;
    const char* document;
    const char* child;
    const char* parent;
    const char* text;
    bool unescape;
    const char* expected;
};

const AppendCase kAppendCases[] = {
    {"EmptyTextKeepsBothTags", "<r/>", "e", "r", "", false, "<r>\n    <e></e>\n</r>\n"},
    {"NullTextReadsAsEmpty", "<r/>", "e", "r", nullptr, false, "<r>\n    <e></e>\n</r>\n"},
    {"EmptyElementFromAnEarlierCall", "<r><e></e></r>", "f", "r", "1", false,
     "<r>\n    <e />\n    <f>1</f>\n</r>\n"},
    {"FollowsExistingChildren", "<r><a>1</a><b/></r>", "c", "r", "3", false,
     "<r>\n    <a>1</a>\n    <b />\n    <c>3</c>\n</r>\n"},
    {"ParentHoldingOnlyText", "<p>abc</p>", "c", "p", "1", false,
     "<p>\n    abc\n    <c>1</c>\n</p>\n"},
    {"DeepParentIsIndented", "<r><s><t/></s></r>", "u", "t", "1", false,
     "<r>\n    <s>\n        <t>\n            <u>1</u>\n        </t>\n    </s>\n</r>\n"},
    {"BrokenOffDocumentIsCompleted", "<a><b>1</b>", "c", "a", "2", false,
     "<a>\n    <b>1</b>\n    <c>2</c>\n</a>\n"},
    {"FirstOfTwoParentsInLookupOrder", "<r><q><p/></q><p/></r>", "c", "p", "1", false,
     "<r>\n    <q>\n        <p>\n            <c>1</c>\n        </p>\n    </q>\n    <p />\n</r>\n"},
    {"TopLevelCommentsArePrintedAgain", "<!-- head --><r/><!-- tail -->", "c", "r", "1", false,
     "<!-- head -->\n<r>\n    <c>1</c>\n</r>\n<!-- tail -->\n"},
    {"DeclarationIsRequoted", "<?xml version='1.0' encoding='utf-8'?><r></r>", "c", "r", "1", false,
     "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<r>\n    <c>1</c>\n</r>\n"},
    {"AttributesArePrintedAgain", "<r a='1' b=\"two\"/>", "c", "r", "1", false,
     "<r a=\"1\" b=\"two\">\n    <c>1</c>\n</r>\n"},
    {"ControlBytesAsReferences", "<r/>", "c", "r", "a\nb\tc", false,
     "<r>\n    <c>a&#x0A;b&#x09;c</c>\n</r>\n"},
    {"QuotesStayEscaped", "<r/>", "c", "r", "say \"hi\" 'x'", true,
     "<r>\n    <c>say &quot;hi&quot; &apos;x&apos;</c>\n</r>\n"},
    {"TagsStayEscapedByDefault", "<r/>", "c", "r", "<b>x</b>", false,
     "<r>\n    <c>&lt;b&gt;x&lt;/b&gt;</c>\n</r>\n"},
    {"TagsUnescapedOnRequest", "<r/>", "c", "r", "<b>x</b>", true,
     "<r>\n    <c><b>x</b></c>\n</r>\n"},
    {"UnescapingLeavesOtherTextsEscaped", "<r><t>a &lt; b &gt; c</t></r>", "c", "r", "1", true,
     "<r>\n    <t>a &lt; b &gt; c</t>\n    <c>1</c>\n</r>\n"},
    {"OtherTextsStayEscapedByDefault", "<r><t>a &lt; b</t></r>", "c", "r", "1", false,
     "<r>\n    <t>a &lt; b</t>\n    <c>1</c>\n</r>\n"},
    {"BareAmpersandStaysEscaped", "<r/>", "c", "r", "Tom & Jerry", false,
     "<r>\n    <c>Tom &amp; Jerry</c>\n</r>\n"},
    {"AmpBytesWithoutAmpersandStay", "<r/>", "ramp;", "r", "ramp;", false,
     "<r>\n    <ramp;>ramp;</ramp;>\n</r>\n"},
    {"CallersOwnEntityStaysAsWritten", "<r/>", "c", "r", "AT&amp;T", false,
     "<r>\n    <c>AT&amp;T</c>\n</r>\n"},
    {"HexPrefixWithoutAReferenceIsEscaped", "<r/>", "c", "r", "&#x; &#xZZ; &#x41 b;", false,
     "<r>\n    <c>&amp;#x; &amp;#xZZ; &amp;#x41 b;</c>\n</r>\n"},
    {"CallersEscapedTagStaysEscaped", "<r/>", "c", "r", "&lt;i&gt;", true,
     "<r>\n    <c>&lt;i&gt;</c>\n</r>\n"},
    {"NamesAreCopiedUnchecked", "<r/>", "a b", "r", "1", false, "<r>\n    <a b>1</a b>\n</r>\n"},
    {"MissingParentIgnoresUnescape", "<r>&lt;</r>", "c", "p", "1", true, kParentMissing},
    {"EmptyDocument", "", "c", "r", "1", false, kParentMissing},
    {"NullDocument", nullptr, "c", "r", "1", false, kParentMissing},
    {"TextWithoutElements", "just text", "c", "r", "1", false, kParentMissing},
    {"ParentNameNeverFoundInComment", "<a><!-- <r/> --></a>", "c", "r", "1", false, kParentMissing},
    {"NullParentName", "<r/>", "c", nullptr, "1", false, kParentMissing},
    {"NullChildName", "<r/>", nullptr, "r", "1", false, kParentMissing},
};

class AppendChild : public ::testing::TestWithParam<AppendCase> {};

TEST_P(AppendChild, PrintsTheWholeDocumentAndCleansItUp) {
    const AppendCase& c = GetParam();
    EXPECT_EQ(append(c.document, c.child, c.parent, c.text, c.unescape), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, AppendChild, ::testing::ValuesIn(kAppendCases),
                         [](const auto& info) { return std::string(info.param.label); });

struct Step {
    const char* child;
    const char* parent;
    const char* text;
    bool unescape;
};

struct ChainCase {
    const char* label;
    const char* document;
    std::vector<Step> steps;  // each result is the next step's document
    const char* expected;     // after the last step
    std::vector<std::pair<const char*, const char*>> reads;  // path, value read back
};

// "&" and markup through several calls in a row: what the caller escaped or wrote as a
// reference stays so, a bare "&" stays escaped, unescaping reaches the new element's text
// only, and every result parses back to the texts it was built from.
const ChainCase kChainCases[] = {
    {"PairAfterAnAmpersand",
     "<r/>",
     {{"a", "r", "Q3 & Q4", false}, {"b", "r", "AT&T", false}, {"c", "r", "1", false}},
     "<r>\n    <a>Q3 &amp; Q4</a>\n    <b>AT&amp;T</b>\n    <c>1</c>\n</r>\n",
     {{"r/a", "Q3 & Q4"}, {"r/b", "AT&T"}}},
    {"EscapedTextsOfTheDocumentStayEscaped",
     "<r><t>Tom &amp; Jerry &lt;3</t><u a='x&amp;y'>keep</u></r>",
     {{"c", "r", "1", false}, {"d", "r", "2", true}},
     "<r>\n    <t>Tom &amp; Jerry &lt;3</t>\n    <u a=\"x&amp;y\">keep</u>\n    <c>1</c>\n"
     "    <d>2</d>\n</r>\n",
     {{"r/t", "Tom & Jerry <3"}, {"r/u/@a", "x&y"}}},
    {"UnescapingThenAppendingKeepsTheSiblings",
     "<r><t>a &lt; b</t><u>keep</u></r>",
     {{"c", "r", "<b>x</b>", true}, {"d", "r", "1", false}},
     "<r>\n    <t>a &lt; b</t>\n    <u>keep</u>\n    <c>\n        <b>x</b>\n    </c>\n"
     "    <d>1</d>\n</r>\n",
     {{"r/t", "a < b"}, {"r/u", "keep"}, {"r/c/b", "x"}, {"r/d", "1"}}},
    {"CallersReferencesStayAsWritten",
     "<r/>",
     {{"x", "r", "&lt;1&gt; &amp;amp; &#65; &#x42; &quot;&apos;", false},
      {"y", "r", "&lt;1&gt; &#65;", true},
      {"z", "r", "", false}},
     "<r>\n    <x>&lt;1&gt; &amp;amp; A B &quot;&apos;</x>\n    <y>&lt;1&gt; A</y>\n"
     "    <z></z>\n</r>\n",
     {{"r/x", "<1> &amp; A B \"'"}, {"r/y", "<1> A"}}},
    {"AmpersandsThatStartNoReferenceAreEscaped",
     "<r/>",
     {{"x", "r", "&amp &#; &#12a; &unknown; &", false}, {"y", "r", "1", false}},
     "<r>\n    <x>&amp;amp &amp;#; &amp;#12a; &amp;unknown; &amp;</x>\n    <y>1</y>\n</r>\n",
     {{"r/x", "&amp &#; &#12a; &unknown; &"}}},
    {"MarkupWithAttributesAndAmpersands",
     "<r/>",
     {{"p", "r", "<a href=\"x?y=1&z=2\" title='it\"s > 3'\n>go</a> & \"more\"", true},
      {"q", "a", "2", false}},
     "<r>\n    <p>\n        <a href=\"x?y=1&amp;z=2\" title='it&quot;s &gt; 3'>\n"
     "            go\n            <q>2</q>\n        </a>\n        &amp; &quot;more&quot;\n"
     "    </p>\n</r>\n",
     {{"//a/@href", "x?y=1&z=2"}, {"//a/@title", "it\"s > 3"}, {"//q", "2"}}},
    {"HexReferencesHeldAsTextStayText",
     "<r><t>&amp;#x41;</t><u a='&amp;#x42;'>k</u></r>",
     {{"c", "r", "&amp;#x43;", false}, {"d", "r", "1", false}, {"e", "r", "2", false}},
     "<r>\n    <t>&amp;#x41;</t>\n    <u a=\"&amp;#x42;\">k</u>\n    <c>&amp;#x43;</c>\n"
     "    <d>1</d>\n    <e>2</e>\n</r>\n",
     {{"r/t", "&#x41;"}, {"r/u/@a", "&#x42;"}, {"r/c", "&#x43;"}}},
    {"MarkupCommentsAndCdataKeepTheirBytes",
     "<r/>",
     {{"p", "r", "<![CDATA[a & b < c]]><!-- x & y --><?pi 1&2?>", true}, {"q", "r", "1", false}},
     "<r>\n    <p>\n        <![CDATA[a & b < c]]>\n        <!-- x & y -->\n"
     "        <?pi 1&2?>\n    </p>\n    <q>1</q>\n</r>\n",
     {{"r/p", "a & b < c"}}},
};

void PrintTo(const ChainCase& c, std::ostream* out) {
    *out << c.label;
}

class AppendChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(AppendChain, KeepsEveryTextThroughEveryCall) {
    const ChainCase& c = GetParam();
    std::string document = c.document;
    for (const Step& step : c.steps) {
        document = append(document, step.child, step.parent, step.text, step.unescape);
    }
    EXPECT_EQ(document, c.expected);
    for (const auto& [path, value] : c.reads) {
        EXPECT_EQ(takeResult(Exports::selectText(Arg(document), Arg(path))), value) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, AppendChain, ::testing::ValuesIn(kChainCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(BuildDocument, ControlBytesSurviveTheNextCall) {
    const std::string once = append("<r/>", "c", "r", "a\nb", false);
    const std::string twice = append(once, "d", "r", "1");
    EXPECT_EQ(twice, "<r>\n    <c>a&#x0A;b</c>\n    <d>1</d>\n</r>\n");
    EXPECT_EQ(stringValue(twice, "c"), "a\nb");
}

TEST(BuildDocument, UnescapedTagsBecomeElementsOnTheNextCall) {
    const std::string once = append("<r/>", "c", "r", "<b>x</b>", true);
    EXPECT_EQ(append(once, "d", "b", "1"),
              "<r>\n    <c>\n        <b>\n            x\n            <d>1</d>\n"
              "        </b>\n    </c>\n</r>\n");
}

struct RoundTripCase {
    const char* text;
    const char* readBack;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

// What a text appended with unescapeTags false reads back as through getStringValue.
const RoundTripCase kRoundTrips[] = {
    {"Dune", "Dune"},
    {"AT&amp;T", "AT&T"},
    {"ramp;", "ramp;"},
    {"1 &lt; 2", "1 < 2"},
    {"a<b>c", "a<b>c"},
    {"say \"hi\"", "say \"hi\""},
    {"caf\xC3\xA9", "caf\xC3\xA9"},
    {"&#x41;", "A"},
};

class TextRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(TextRoundTrip, ReadsBackThroughTheStringReader) {
    const RoundTripCase& c = GetParam();
    const std::string blank = takeResult(Exports::createBlankXML(Arg("doc")));
    EXPECT_EQ(stringValue(append(blank, "item", "doc", c.text), "item"), c.readBack);
}

INSTANTIATE_TEST_SUITE_P(Cases, TextRoundTrip, ::testing::ValuesIn(kRoundTrips));

TEST(BuildDocument, MatrixBuiltCallByCallReadsBackThroughTheArrayReaders) {
    std::string document = takeResult(Exports::createBlankXML(Arg("data")));
    document = append(document, "m", "data", "");
    document = append(document, "r1", "m", "");
    document = append(document, "r2", "m", "");
    const char* const cells[2][3] = {{"1", "2.5", "-3"}, {"4e2", "5", "6"}};
    for (int column = 0; column < 3; ++column) {
        document = append(document, "c", "r1", cells[0][column]);
        document = append(document, "c", "r2", cells[1][column]);
    }
    document = append(document, "scale", "data", "0.25");
    EXPECT_EQ(Exports::getDoubleArrayRows(Arg(document), Arg("m")), 2);
    EXPECT_EQ(Exports::getDoubleArrayColumns(Arg(document), Arg("m")), 3);
    double values[6] = {};
    EXPECT_TRUE(Exports::getDouble2DArray(Arg(document), Arg("m"), values, 6));
    const double expected[6] = {1, 2.5, -3, 400, 5, 6};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(values[i], expected[i]) << i;
    }
    EXPECT_EQ(Exports::getDoubleValue(Arg(document), Arg("scale")), 0.25);
}

}  // namespace
