// The path language and what its paths select, through the exports. Node selection as such
// is compared with libxml2 in tests/paths; these cases pin the language's edges, the values
// and the result formats.
#include <gtest/gtest.h>

#include <string>

#include "export_access.h"
#include "paths/path.h"

namespace {

// selectTexts with every NUL separator shown as '|'.
std::string texts(const std::string& xml, const std::string& path) {
    std::string joined = takeResult(Exports::selectTexts(Arg(xml), Arg(path)));
    for (char& c : joined) {
        c = c == '\0' ? '|' : c;
    }
    return joined;
}

TEST(Paths, CheckPathGivesTheOffsetOfWhatIsNotUnderstood) {
    const struct {
        const char* path;
        int offset;
    } cases[] = {
        {"order/total", -1},
        {"/gesmes:Envelope/Cube", -1},
        {"//Cube[@currency='USD']/@rate", -1},
        {"//a[1][@b][@c=\"v\"][d='w']/*[ 2 ]", -1},
        {"//item[ title = 'x' ]", -1},
        {"a//b//@c", -1},
        {"@c", -1},
        {"a[0]", -1},
        {"a[99999999999999999999999]", -1},
        {"", 0},
        {"/", 1},
        {"//", 2},
        {"a/", 2},
        {"///a", 2},
        {"a/../b", 2},
        {".", -1},
        {"./a/./b/.", -1},
        {".//a//.", -1},
        {"a/..", 2},
        {".[1]", 1},
        {".a", 1},
        {"a|b", -1},
        {" sku | qty | price/@currency | @no ", -1},
        {"@a|//b[2]|/c", -1},
        {"sku |", 5},
        {"sku | ", 6},
        {"| a", 0},
        {"a||b", 2},
        {"a | b c", 6},
        {"@a/b | c", 2},
        {"a/text()", 6},
        {"count(a)", 5},
        {"child::a", 5},
        {"a:", 1},
        {"a[last()]", 6},
        {"a[1+1]", 3},
        {"a[-1]", 2},
        {"a[b]", 3},
        {"a[@b!='v']", 4},
        {"a[@b='v]", 8},
        {"a[@b=v]", 5},
        {"a[1", 3},
        {"@a/b", 2},
        {"@a[1]", 2},
        {"a [1]", 2},
        {"*a", 1},
        {"a:*", 1},
        {"1a", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Exports::checkPath(Arg(c.path)), c.offset) << c.path;
    }
    EXPECT_EQ(Exports::checkPath(nullptr), 0);
}

TEST(Paths, SelectionFollowsXPath) {
    const std::string doc =
        "<?xml version='1.0'?><!-- c --><r><a id='1'><b>x</b><b>y</b></a>"
        "<a id='2' k=\"&amp;q\"><b>z</b><c><b>w</b></c></a><a><b/></a></r>";
    const struct {
        const char* path;
        const char* selected;
    } cases[] = {
        {"r/a/b", "x|y|z||"},
        {"/r/a/b", "x|y|z||"},
        {"//b", "x|y|z|w||"},
        {"//b[1]", "x|z|w||"},
        {"//a/b[2]", "y|"},
        {"(//b)[1]", ""},
        {"r/a[2]/*", "z||"},
        {"r/a[@id]/b[1]", "x|z|"},
        {"r/a[@id='2']//b", "z|w|"},
        {"r/a[b='y']/@id", "1|"},
        {"r/a[b='']/b", "|"},
        {"r/a[@k='&q']/@k", "&q|"},
        {"r/a[@id][2]/b[1]", "z|"},
        {"r/a[2][@id]/b[1]", "z|"},
        {"r/a[3][@id]/b", ""},
        {"r/*[0]", ""},
        {"r/a[99999999999]", ""},
        {"//@id", "1|2|"},
        {"@id", ""},
        {"r//c//b", "w|"},
        {"a", ""},
        {"R", ""},
        // Unions: document order, each node once, an element before its attributes.
        {"r/a[2]/b | r/a[1]/b", "x|y|z|"},
        {"//b|//b[1]", "x|y|z|w||"},
        {"r/a/@id | r/a[2]/c/b | r/a[1]", "|1|2|w|"},
        {"//@k | r/a[2] | r/a[2]/@id", "|2|&q|"},
        {"r/a[@id='9'] | missing", ""},
        // The self step.
        {".", ""},
        {"./r/./a[1]/b", "x|y|"},
        {"r/a[3]/.", "|"},
        {"r/a[2]/c//.", "|w|"},
        {"r/a[1]/./@id", "1|"},
        {".//b[2]", "y|"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(texts(doc, c.path), c.selected) << c.path;
    }
}

TEST(Paths, ScalarResultsFollowTheReadersConventions) {
    const std::string doc =
        "<o><line><sku>A-1</sku><qty> 2 </qty></line><line><sku>B</sku><qty>1.5e1</qty></line>"
        "<note>a<![CDATA[ x ]]></note><v a='1,5'/></o>";
    EXPECT_EQ(takeResult(Exports::selectText(Arg(doc), Arg("//line[2]/sku"))), "B");
    EXPECT_EQ(takeResult(Exports::selectText(Arg(doc), Arg("//qty"))), "2");
    EXPECT_EQ(takeResult(Exports::selectText(Arg(doc), Arg("o/note"))), "a");
    EXPECT_EQ(takeResult(Exports::selectText(Arg(doc), Arg("o/v"))), "");
    EXPECT_EQ(takeResult(Exports::selectText(Arg(doc), Arg("o/nothing"))),
              "Element does not exist");
    EXPECT_EQ(takeResult(Exports::selectText(Arg(doc), Arg("o/line["))), "Element does not exist");
    EXPECT_EQ(takeResult(Exports::selectText(nullptr, Arg("o"))), "Element does not exist");
    EXPECT_EQ(takeResult(Exports::selectTexts(Arg(doc), Arg("//missing"))), "");
    // A value holding a NUL byte is cut at it.
    EXPECT_EQ(texts("<a>x&#0;y</a>", "a"), texts("<a>x</a>", "a"));

    EXPECT_EQ(Exports::selectCount(Arg(doc), Arg("//line")), 2);
    EXPECT_EQ(Exports::selectCount(Arg(doc), Arg("//line/*")), 4);
    EXPECT_EQ(Exports::selectCount(Arg(doc), Arg("//line[")), 0);

    double values[4] = {9, 9, 9, 9};
    EXPECT_EQ(Exports::selectDoubles(Arg(doc), Arg("//qty"), values, 3), 2);
    EXPECT_EQ(values[0], 2.0);
    EXPECT_EQ(values[1], 15.0);
    EXPECT_EQ(values[2], 0.0);
    EXPECT_EQ(values[3], 9.0);
    EXPECT_EQ(Exports::selectDoubles(Arg(doc), Arg("//line/*"), values, 1), 4);
    EXPECT_EQ(values[1], 15.0);  // only the first is written
    EXPECT_EQ(Exports::selectDoubles(Arg(doc), Arg("o/v/@a"), values, 2), 1);
    EXPECT_EQ(values[0], 1.0);
    EXPECT_EQ(values[1], 0.0);
    EXPECT_EQ(Exports::selectDoubles(Arg(doc), Arg("o/v/@a"), values, -1), 1);
    EXPECT_EQ(Exports::selectDoubles(Arg(doc), Arg("o/v/@"), values, 2), 0);
    EXPECT_EQ(values[0], 0.0);
}

}  // namespace

namespace {

std::string repeated(const std::string& part, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) {
        text += part;
    }
    return text;
}

TEST(PathsHostile, LongPathsAndManyPartsStayBounded) {
    const std::string doc = "<r><a>1</a><a>2</a><s><a>3</a></s></r>";
    const std::size_t mebibyte = 1 << 20;
    // One name of a mebibyte is a path; a mebibyte of steps or predicates is not beyond the
    // first part past the limit.
    EXPECT_EQ(Exports::checkPath(Arg(std::string(mebibyte, 'a'))), -1);
    EXPECT_EQ(Exports::selectCount(Arg(doc), Arg(std::string(mebibyte, 'a'))), 0);
    EXPECT_EQ(Exports::checkPath(Arg(repeated("a/", mebibyte / 2))),
              2 * static_cast<int>(pelzor::kMaxPathParts));
    EXPECT_EQ(Exports::checkPath(Arg("//a" + repeated("[1]", mebibyte / 3))),
              3 + 3 * static_cast<int>(pelzor::kMaxPathParts - 1));
    EXPECT_EQ(texts(doc, "//a" + repeated("[@x]", 1000)), "");
    // Repeated filters are left out only where no position test stands between them.
    const std::string keyed = "<r><a k='1'>1</a><a>2</a><a k='1'>3</a><a k='1'>4</a></r>";
    EXPECT_EQ(texts(keyed, "r/a[@k][@k][2][@k]"), "3|");
    EXPECT_EQ(texts(keyed, "r/a[@k][2][@k][1][@k='1']"), "3|");
    EXPECT_EQ(texts(keyed, "r/a[2][@k][2]"), "");
    EXPECT_EQ(texts(keyed, "r/a[@k][2][@k][2]"), "");
    EXPECT_EQ(Exports::checkPath(Arg("a[@b='" + std::string(mebibyte, 'x'))), mebibyte + 6);
    // A thousand predicates apply in order.
    EXPECT_EQ(texts(doc, "//a" + repeated("[1]", 1000)), "1|3|");
    EXPECT_EQ(texts(doc, "//a[2]" + repeated("[1]", 999)), "2|");
    EXPECT_EQ(texts(doc, "//a" + repeated("[1]", 999) + "[2]"), "");
}

TEST(PathsHostile, BytesThatAreNotUtf8AreComparedAsBytes) {
    const std::string doc = "<r><\xC3\xA9 k='\xFF'>v</\xC3\xA9><\xFF\xFE>w</\xFF\xFE></r>";
    EXPECT_EQ(texts(doc, "r/\xC3\xA9"), "v|");
    EXPECT_EQ(texts(doc, "r/\xC3"), "");
    EXPECT_EQ(texts(doc, "r/\xFF\xFE"), "w|");
    EXPECT_EQ(texts(doc, "r/*[@k='\xFF']"), "v|");
    EXPECT_EQ(Exports::checkPath(Arg("r/\x80[")), 4);
    EXPECT_EQ(Exports::checkPath(Arg("r/\x01")), 2);
}

TEST(PathsHostile, DeepDocumentsAreReadWithoutRecursion) {
    std::string deep;
    for (int i = 0; i < 200000; ++i) {
        deep += "<d k='1'>";
    }
    deep += "<v>1</v>";
    // Only the nesting the parser is given counts: the text is cut before the first element
    // beyond the depth limit.
    const int parsed = Exports::selectCount(Arg(deep), Arg("//d"));
    EXPECT_GT(parsed, 900);
    EXPECT_LE(parsed, 1000);
    EXPECT_EQ(Exports::selectCount(Arg(deep), Arg("//d//d[@k]")), parsed - 1);
    EXPECT_EQ(Exports::selectCount(Arg(deep), Arg("//*[1]//d[1]/@k")), parsed - 1);
    EXPECT_EQ(Exports::selectCount(Arg(deep), Arg("//v")), 0);
}

}  // namespace
