// Hostile texts through every export: texts that end inside a character, a comment, a
// CDATA section, an attribute value or a reference, and nesting far beyond the limit. Each
// reads exactly like the text broken off where the library stops reading it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "document/nesting_scan.h"
#include "document/text_guard.h"
#include "export_access.h"

namespace {

std::string nested(int depth, const std::string& inner) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<d>";
    text += inner;
    for (int i = 0; i < depth; ++i)
        text += "</d>";
    return text;
}

struct TruncatedCase {
    const char* text;
    const char* name;
    const char* stringValue;
};

TEST(HostileInput, TextsEndingInsideAConstructReadAsFarAsTheyGo) {
    const TruncatedCase cases[] = {
        {"<a>x\xC3", "a", "x\xC3"},
        {"<a>x\xE2\x82", "a", "x\xE2\x82"},
        {"<a>x\xF0\x9F\x98", "a", "x\xF0\x9F\x98"},
        {"<r><a>1</a><b>\xF4", "a", "1"},
        {"<a>1<!-- open", "a", "1"},
        {"<a><!-- open", "a", ""},
        {"<a><![CDATA[ open", "a", " open"},
        {"<a b=\"open", "a", ""},
        {"<a b='x\xC3", "a", ""},
        {"<a>&#x41", "a", ""},
        {"<a>&#65", "a", ""},
        {"<a>x&am", "a", "xam"},
        {"<?xml version=\"1.0", "a", "Element does not exist"},
        {"<!DOCTYPE x [ <!ELEMENT", "a", "Element does not exist"},
        {"<a>5</a", "a", "5"},
    };
    for (const TruncatedCase& c : cases) {
        EXPECT_EQ(takeResult(Exports::getStringValue(Arg(c.text), Arg(c.name))), c.stringValue)
            << c.text;
        // Every other export returns as well; the calls themselves are the check.
        everyExportOn(c.text, c.name);
    }
}

TEST(HostileInput, NestingBeyondTheLimitReadsAsTheTextBrokenOffBeforeIt) {
    const int limit = pelzor::kMaxNestingDepth;
    struct Case {
        std::string text;
        std::string brokenOff;  // what the text must read like
    } cases[] = {
        {nested(limit - 1, "<v>7</v>"), nested(limit - 1, "<v>7</v>")},
        {nested(limit, "<v>7</v>"), nested(limit, "").substr(0, 3 * limit)},
        {nested(limit, "<v/>"), nested(limit, "").substr(0, 3 * limit)},
        {nested(limit + 50, "<v>7</v>"), nested(limit, "").substr(0, 3 * limit)},
        {"<r>" + nested(limit, "") + "<v>8</v></r>",
         "<r>" + nested(limit - 1, "").substr(0, 3 * (limit - 1))},
    };
    for (const Case& c : cases) {
        for (const char* name : {"v", "d", "r"}) {
            EXPECT_EQ(everyExportOn(c.text, name), everyExportOn(c.brokenOff, name)) << name;
        }
    }
    EXPECT_EQ(Exports::getIntegerValue(Arg(nested(limit - 1, "<v>7</v>")), Arg("v")), 7);
    EXPECT_EQ(Exports::getIntegerValue(Arg(nested(limit, "<v>7</v>")), Arg("v")), 0);
}

TEST(HostileInput, AMillionLevelsDeepEveryExportReturns) {
    const std::string text = nested(1000000, "<v>7</v>");
    EXPECT_EQ(
        everyExportOn(text, "v"),
        everyExportOn(nested(pelzor::kMaxNestingDepth, "").substr(0, 3 * pelzor::kMaxNestingDepth),
                      "v"));
}

struct CutCase {
    const char* text;
    int limit;
    const char* keptPart;  // the text before the cut
};

// Each text cut where the scan says keeps exactly the expected part.
template <std::size_t N>
void expectCuts(const CutCase (&cases)[N]) {
    for (const CutCase& c : cases) {
        std::string padded(c.text);
        const std::size_t length = padded.size();
        padded.append(8, '\0');
        EXPECT_EQ(std::string(c.text, pelzor::nestingCutOffset(padded.data(), length, c.limit)),
                  c.keptPart)
            << c.text;
    }
}

TEST(NestingScan, CountsOnlyTheElementsTheParserSees) {
    const CutCase cases[] = {
        {"<a><b><c/></b></a>", 2, "<a><b>"},
        {"<a><b/><c><d/></c></a>", 2, "<a><b/><c>"},
        {"<a></a><b><c/></b>", 1, "<a></a><b>"},
        // Markup that holds no elements.
        {"<a><!-- <b><c> --><b/></a>", 1, "<a><!-- <b><c> -->"},
        {"<a><![CDATA[<b><c>]]><b/></a>", 1, "<a><![CDATA[<b><c>]]>"},
        {"<a x='<b>' y=\"<c>\"><d/></a>", 1, "<a x='<b>' y=\"<c>\">"},
        {"<?xml version='<a>'?><a><b/></a>", 1, "<?xml version='<a>'?><a>"},
        {"<!DOCTYPE a><a><b/></a>", 1, "<!DOCTYPE a><a>"},
        // An internal subset holds no elements, whatever '<' and '>' its strings hold, and
        // one left open runs to the end.
        {"<!DOCTYPE a [<!ENTITY e \"x>y<b><c>\">]><a><b/></a>", 1,
         "<!DOCTYPE a [<!ENTITY e \"x>y<b><c>\">]><a>"},
        {"<!DOCTYPE a [<!ENTITY e 'x'><a><b/></a>", 1, "<!DOCTYPE a [<!ENTITY e 'x'><a><b/></a>"},
        {"<a><?pi <b> ?><b/></a>", 1, "<a><?pi <b> ?>"},
        // A lead byte takes the next bytes with it, markup or quote, as the parser does.
        {"<a>\xC3<b>x<c/></a>", 1, "<a>\xC3<b>x"},
        {"<a b='\xC3'><c/>'><d/></a>", 1, "<a b='\xC3'><c/>'>"},
        {"<a>&#x<bx;<c/></a>", 1, "<a>&#x<bx;"},
        // An element's name may start with any byte from 127 up.
        {"<a><\x7F/></a>", 1, "<a>"},
        // In a declaration only version, encoding and standalone have quoted values.
        {"<a><?xml other='><b>'?></a>", 1, "<a><?xml other='>"},
    };
    expectCuts(cases);
}

TEST(NestingScan, SkipsRunsOfBytesWithoutMissingWhatTheyHide) {
    const std::string filler(70, 'x');
    const std::string spaces(70, ' ');
    const CutCase cases[] = {
        // Long runs between the bytes that matter, on either side of them.
        {"<a>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx<b/></a>", 1,
         "<a>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
        {"<a  first='1'   second=\"two\"   third='3'  ><b/></a>", 1,
         "<a  first='1'   second=\"two\"   third='3'  >"},
        {"<a x='long value with > and / and <b>'><b/></a>", 1,
         "<a x='long value with > and / and <b>'>"},
        {"<a x=\"it's\" y='say \"<b>\"'><b/></a>", 1, "<a x=\"it's\" y='say \"<b>\"'>"},
        // A '/' inside a tag that does not close it.
        {"<a href=x/y /z><b/></a>", 1, "<a href=x/y /z>"},
        // Bytes from 0x80 up that lead no sequence are single steps; those that do swallow.
        {"<a>\x80\xC1\xF5\xFF<b/></a>", 1, "<a>\x80\xC1\xF5\xFF"},
        {"<a>\xC2<bb\xDF<cc\xE0<b><c/></a>", 1, "<a>\xC2<bb\xDF<cc\xE0<b>"},
        {"<a>\xF4<bc<b/></a>", 1, "<a>\xF4<bc"},
        {"<a x='\xE2'>'><b/></a>", 1, "<a x='\xE2'>'>"},
        // References in text and in values; a plain '&' is one byte.
        {"<a>x & y &#60;<b/></a>", 1, "<a>x & y &#60;"},
        {"<a x='&#39;<b>'><b/></a>", 1, "<a x='&#39;<b>'>"},
        {"<a>&#x3C;&#x3c;<b/></a>", 1, "<a>&#x3C;&#x3c;"},
        // End tags, with and without an open element to close.
        {"</a><a></a><a><b/></a>", 1, "</a><a></a><a>"},
        {"<a><b></b></a><c><d/></c>", 1, "<a>"},
    };
    expectCuts(cases);
    // The same runs long enough to span many of the scan's strides.
    const std::string text = "<a>" + filler + "<b " + spaces + "x='" + filler + "'" + spaces + ">" +
                             filler + "<c/></b></a>";
    std::string padded = text + std::string(8, '\0');
    EXPECT_EQ(pelzor::nestingCutOffset(padded.data(), text.size(), 2), text.find("<c/>"));
}

TEST(NestingScan, TextsTooShortToNestBeyondTheLimitAreNotCut) {
    // The shortest text that nests beyond `limit` holds "<d>" `limit` times and then "<d":
    // 3 * limit + 2 bytes, cut at 3 * limit. One byte less cannot nest beyond it.
    struct Case {
        int limit;
        std::string text;
        std::size_t cut;
    } cases[] = {
        {0, "<", 1},
        {0, "<d", 0},
        {1, "<d>x", 4},
        {1, "<d><", 4},
        {1, "<d><d", 3},
        {1, "<d><d>", 3},
        {3, nested(3, "").substr(0, 10), 10},
        {3, nested(3, "").substr(0, 9) + "<d", 9},
        {3, nested(3, "").substr(0, 9) + "<d>", 9},
        {pelzor::kMaxNestingDepth, nested(1001, "").substr(0, 3001), 3001},
        {pelzor::kMaxNestingDepth, nested(1001, "").substr(0, 3002), 3000},
        {pelzor::kMaxNestingDepth, nested(1001, "").substr(0, 3003), 3000},
        // A limit beyond any text's length.
        {2147483647, nested(3, ""), 21},
    };
    for (const Case& c : cases) {
        std::string padded = c.text + std::string(8, '\0');
        EXPECT_EQ(pelzor::nestingCutOffset(padded.data(), c.text.size(), c.limit), c.cut)
            << c.limit << " " << c.text.size();
    }
}

TEST(NestingScan, TheGuardedCopyEndsAtTheCut) {
    const std::size_t limit = pelzor::kMaxNestingDepth;
    const std::string deep = nested(limit + 1, "");
    const std::size_t lengths[] = {3 * limit + 1, 3 * limit + 2, 3 * limit + 3, deep.size()};
    for (std::size_t length : lengths) {
        const std::string text = deep.substr(0, length);
        const pelzor::GuardedText guarded(text.c_str());
        const std::size_t kept = length < 3 * limit + 2 ? length : 3 * limit;
        EXPECT_EQ(std::string(guarded.c_str()), text.substr(0, kept)) << length;
        // A text too short to nest beyond the limit is read where it stands.
        if (guarded.c_str() != text.c_str()) {
            EXPECT_EQ(std::memcmp(guarded.c_str() + kept, std::string(8, '\0').data(), 8), 0);
        }
    }
    // A long text nested no deeper than the limit is read where it stands too.
    const std::string deepEnough = nested(limit, "");
    EXPECT_EQ(pelzor::GuardedText(deepEnough.c_str()).c_str(), deepEnough.c_str());
}

TEST(NestingScan, StopsWhereTheParserGivesUp) {
    // An invalid character reference ends the parse, so nothing after it can nest.
    const std::string text = "<a>&#x1z;<b><c/></b></a>";
    std::string padded = text + std::string(8, '\0');
    EXPECT_EQ(pelzor::nestingCutOffset(padded.data(), text.size(), 1), text.size());
}

}  // namespace

TEST(GuardedText, CopiesAShortTextOnlyWhenItEndsInsideACharacter) {
    struct Case {
        std::string text;
        bool copied;
    } cases[] = {
        {"", false},
        {"<a>x</a>", false},
        {"<a>\xC3\xA9</a>", false},
        {"<a>\xC3\xA9", false},          // ends right after a whole sequence
        {"<a>\xF0\x9F\x98\x80", false},  // four bytes, whole
        {"<a>x\xC3", true},              // a two-byte sequence cut after its lead byte
        {"<a>x\xE2\x82", true},          // three bytes, two present
        {"<a>x\xF0\x9F\x98", true},      // four bytes, three present
        {"\xE2", true},
        {"<a>x\xC1", false},  // not a lead byte: the parser takes one byte
        {"<a>x\xF5", false},
    };
    for (const Case& c : cases) {
        const pelzor::GuardedText guarded(c.text.c_str());
        EXPECT_EQ(guarded.c_str() != c.text.c_str(), c.copied) << c.text;
        EXPECT_EQ(std::string(guarded.c_str()), c.text);
    }
}
