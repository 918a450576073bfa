// Hostile texts through every export: texts that end inside a character, a comment, a
// CDATA section, an attribute value or a reference, and nesting far beyond the limit. Each
// reads exactly like the text broken off where the library stops reading it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "export_access.h"
#include "nesting_scan.h"
#include "text_guard.h"

namespace {

// Everything the nine exports say about `text`, as one comparable string.
std::string everyExportOn(const std::string& text, const std::string& name) {
    std::string out;
    out += takeResult(Exports::getStringValue(Arg(text), Arg(name))) + "|";
    out += std::to_string(Exports::getIntegerValue(Arg(text), Arg(name))) + "|";
    out += std::to_string(Exports::getDoubleValue(Arg(text), Arg(name))) + "|";
    out += std::to_string(Exports::getDoubleArrayRows(Arg(text), Arg(name))) + "|";
    out += std::to_string(Exports::getDoubleArrayColumns(Arg(text), Arg(name))) + "|";
    double values[4] = {9, 9, 9, 9};
    Exports::getDouble1DArray(Arg(text), Arg(name), values, 4);
    for (double v : values)
        out += std::to_string(v) + ",";
    Exports::getDouble2DArray(Arg(text), Arg(name), values, 4);
    for (double v : values)
        out += std::to_string(v) + ",";
    out +=
        "|" + takeResult(Exports::appendXMLChild(Arg(text), Arg("n"), Arg(name), Arg("t"), false));
    return out;
}

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
    for (const CutCase& c : cases) {
        std::string padded(c.text);
        const std::size_t length = padded.size();
        padded.append(8, '\0');
        EXPECT_EQ(std::string(c.text, pelzor::nestingCutOffset(padded.data(), length, c.limit)),
                  c.keptPart)
            << c.text;
    }
}

TEST(NestingScan, StopsWhereTheParserGivesUp) {
    // An invalid character reference ends the parse, so nothing after it can nest.
    const std::string text = "<a>&#x1z;<b><c/></b></a>";
    std::string padded = text + std::string(8, '\0');
    EXPECT_EQ(pelzor::nestingCutOffset(padded.data(), text.size(), 1), text.size());
}

}  // namespace
