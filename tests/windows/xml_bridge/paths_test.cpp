// The path functions through the real DLL, on three feeds that spreadsheets pull in: a
// central bank's daily reference rates (every figure in an attribute, prefixed names), a
// news feed (repeated items) and a web service's order (repeated lines with numbers).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pelzor_dll.h"

namespace {

const char kRates[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gesmes:Envelope xmlns:gesmes=\"http://www.gesmes.org/xml/2002-08-01\" "
    "xmlns=\"http://www.ecb.int/vocabulary/2002-08-01/eurofxref\">\n"
    "\t<gesmes:subject>Reference rates</gesmes:subject>\n"
    "\t<gesmes:Sender>\n\t\t<gesmes:name>European Central Bank</gesmes:name>\n"
    "\t</gesmes:Sender>\n"
    "\t<Cube>\n\t\t<Cube time='2026-12-04'>\n"
    "\t\t\t<Cube currency='USD' rate='1.0872'/>\n"
    "\t\t\t<Cube currency='JPY' rate='162.43'/>\n"
    "\t\t\t<Cube currency='GBP' rate='0.85715'/>\n"
    "\t\t\t<Cube currency='CHF' rate='0.9563'/>\n"
    "\t\t</Cube>\n\t</Cube>\n</gesmes:Envelope>\n";

const char kNews[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"2.0\">\n<channel>\n"
    "<title>Example News</title>\n<link>https://news.example.org/</link>\n"
    "<description>What happened today</description>\n"
    "<item>\n<title>Rates &amp; markets</title>\n<link>https://news.example.org/1</link>\n"
    "<pubDate>Mon, 07 Dec 2026 08:00:00 GMT</pubDate>\n<guid isPermaLink=\"false\">n-1</guid>\n"
    "</item>\n"
    "<item>\n<title><![CDATA[Caf\xC3\xA9 <openings>]]></title>\n"
    "<link>https://news.example.org/2</link>\n<category>city</category>\n</item>\n"
    "<item>\n<title>Weather</title>\n<link>https://news.example.org/3</link>\n"
    "<category>city</category>\n</item>\n"
    "</channel>\n</rss>\n";

const char kOrder[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<order id=\"SO-1042\" currency=\"EUR\">\n"
    "  <customer number=\"C-77\"><name>M\xC3\xBCller GmbH</name></customer>\n"
    "  <lines>\n"
    "    <line number=\"1\"><sku>A-100</sku><qty>2</qty><price>19.90</price></line>\n"
    "    <line number=\"2\"><sku>B-220</sku><qty>1</qty><price>5.5</price></line>\n"
    "    <line number=\"3\"><sku>A-100</sku><qty>4</qty><price>19.90</price></line>\n"
    "  </lines>\n"
    "  <total>124.9</total>\n"
    "</order>\n";

struct Case {
    const char* document;
    const char* path;
    const char* first;  // selectText
    const char* all;    // selectTexts, each value followed by '|' here
    int count;
};

const Case kCases[] = {
    {kRates, "gesmes:Envelope/gesmes:Sender/gesmes:name", "European Central Bank",
     "European Central Bank|", 1},
    {kRates, "//Cube[@currency='USD']/@rate", "1.0872", "1.0872|", 1},
    {kRates, "//Cube[@currency=\"CHF\"]/@rate", "0.9563", "0.9563|", 1},
    {kRates, "//Cube/@currency", "USD", "USD|JPY|GBP|CHF|", 4},
    {kRates, "//Cube[@time]/@time", "2026-12-04", "2026-12-04|", 1},
    {kRates, "/*/Cube/Cube/Cube[2]/@rate", "162.43", "162.43|", 1},
    {kRates, "//Cube[@currency='EUR']/@rate", "Element does not exist", "", 0},
    {kRates, "//Envelope", "Element does not exist", "", 0},
    {kNews, "rss/channel/title", "Example News", "Example News|", 1},
    {kNews, "//item/title", "Rates & markets", "Rates & markets|Caf\xC3\xA9 <openings>|Weather|",
     3},
    {kNews, "//item[category='city'][2]/link", "https://news.example.org/3",
     "https://news.example.org/3|", 1},
    {kNews, "//item[1]/guid/@isPermaLink", "false", "false|", 1},
    {kNews, "//item/*[1]", "Rates & markets", "Rates & markets|Caf\xC3\xA9 <openings>|Weather|", 3},
    {kNews, "rss/@version", "2.0", "2.0|", 1},
    {kNews, "//title", "Example News",
     "Example News|Rates & markets|Caf\xC3\xA9 <openings>|Weather|", 4},
    {kOrder, "order/@id", "SO-1042", "SO-1042|", 1},
    {kOrder, "order/customer/name", "M\xC3\xBCller GmbH", "M\xC3\xBCller GmbH|", 1},
    {kOrder, "//line/sku", "A-100", "A-100|B-220|A-100|", 3},
    {kOrder, "//line[sku='A-100']/qty", "2", "2|4|", 2},
    {kOrder, "//line[@number='2']/price", "5.5", "5.5|", 1},
    {kOrder, "order/total", "124.9", "124.9|", 1},
    {kOrder, "order/lines", "", "|", 1},
    {kOrder, "//line[4]", "Element does not exist", "", 0},
    {kOrder, "//line/qty/text()", "Element does not exist", "", 0},
    {"", "order", "Element does not exist", "", 0},
};

std::string withBars(std::string bytes) {
    for (char& c : bytes) {
        c = c == '\0' ? '|' : c;
    }
    return bytes;
}

}  // namespace

TEST(Paths, FeedsReadAsMacroAuthorsReadThem) {
    PelzorDll dll;
    for (const Case& c : kCases) {
        Bstr first(dll.selectText(c.document, c.path));
        EXPECT_EQ(first.bytes(), c.first) << c.path;
        EXPECT_EQ(first.byteLength(), std::string(c.first).size()) << c.path;
        Bstr all(dll.selectTexts(c.document, c.path));
        EXPECT_EQ(withBars(all.bytes()), c.all) << c.path;
        EXPECT_EQ(dll.selectCount(c.document, c.path), c.count) << c.path;
    }
}

TEST(Paths, NumbersOfTheFeeds) {
    PelzorDll dll;
    struct NumberCase {
        const char* document;
        const char* path;
        int count;
        std::vector<double> values;  // as many as are asked for
    } cases[] = {
        {kRates, "//Cube/@rate", 4, {1.0872, 162.43, 0.85715, 0.9563}},
        {kRates, "//Cube/@rate", 4, {1.0872, 162.43}},
        {kRates, "//Cube/@currency", 4, {0, 0, 0, 0, 0}},
        {kOrder, "//line/qty", 3, {2, 1, 4, 0, 0}},
        {kOrder, "//line/price", 3, {19.9, 5.5, 19.9}},
        {kOrder, "order/total", 1, {124.9}},
        {kOrder, "//line[", 0, {0, 0}},
        {kNews, "//item", 3, {0, 0, 0}},
    };
    for (const NumberCase& c : cases) {
        std::vector<double> values(c.values.size() + 1, -1.0);
        const int asked = static_cast<int>(c.values.size());
        EXPECT_EQ(dll.selectDoubles(c.document, c.path, values.data(), asked), c.count) << c.path;
        for (int i = 0; i < asked; ++i) {
            EXPECT_EQ(values[i], c.values[i]) << c.path << " at " << i;
        }
        EXPECT_EQ(values[asked], -1.0) << c.path << ": written beyond the count";
    }
}

TEST(Paths, CheckPathSaysWhereAPathStopsBeingUnderstood) {
    PelzorDll dll;
    EXPECT_EQ(dll.checkPath("//Cube[@currency='USD']/@rate"), -1);
    EXPECT_EQ(dll.checkPath("//line[sku='A-100']/qty"), -1);
    EXPECT_EQ(dll.checkPath("//line/qty/text()"), 15);
    EXPECT_EQ(dll.checkPath("/order/../total"), 7);
    EXPECT_EQ(dll.checkPath(""), 0);
    EXPECT_EQ(dll.checkPath(nullptr), 0);
}
