// selectTable and buildTable through the exports: the column rule, automatic columns, number
// columns, the header rule, the refusals, and the round trip from a table to a document and
// back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "export_access.h"
#include "table_values.h"

namespace {

// selectTable's table as text (table_values.h), with its return value first.
std::string select(const std::string& xml, const std::string& records, const char* columns) {
    OwnedVariant table;
    const int count = Exports::selectTable(
        Arg(xml), Arg(records), columns ? static_cast<char*>(Arg(columns)) : nullptr, table.get());
    return std::to_string(count) + "\n" + tableText(table.value);
}

std::string build(const std::vector<std::vector<VARIANT>>& rows, std::int32_t lowerRow = 1,
                  std::int32_t lowerColumn = 1) {
    OwnedVariant table;
    makeTable(table.get(), rows, lowerRow, lowerColumn);
    return takeResult(Exports::buildTable(Arg("orders"), Arg("order"), table.get()));
}

const char kOrders[] =
    "<orders>"
    "<order no='1'><sku>A-1</sku><qty>2</qty><price currency='EUR'>5.5</price>"
    "<line><sku>L1</sku></line><line><sku>L2</sku></line></order>"
    "<order no='2'><qty>4</qty><price currency='USD'>6</price><price currency='EUR'>7</price>"
    "<note/></order>"
    "<order><sku>C-3</sku><qty>x</qty></order>"
    "</orders>";

TEST(SelectTable, TheColumnRuleTakesEachStepsFirstMatch) {
    const struct {
        const char* columns;
        const char* table;
    } cases[] = {
        // A record without the field gets a missing cell; nothing shifts.
        {"sku | @no", "3\n\"sku\" | \"@no\"\n\"A-1\" | #1\n- | #2\n\"C-3\" | -\n"},
        // line/sku is line[1]/sku[1]; line[2]/sku the second line's.
        {"line/sku|line[2]/sku",
         "3\n\"line/sku\" | \"line[2]/sku\"\n\"L1\" | \"L2\"\n- | -\n- | -\n"},
        {"price[@currency='EUR'] | price/@currency",
         "3\n\"price[@currency='EUR']\" | \"price/@currency\"\n#5.5 | \"EUR\"\n#7 | \"USD\"\n- | "
         "-\n"},
        // One text makes the whole column text; an element without text gives "".
        {"  qty  |note", "3\n\"qty\" | \"note\"\n\"2\" | -\n\"4\" | \"\"\n\"x\" | -\n"},
        // "//" steps read the first match in document order; "." is the record.
        {".//sku | ./line[2]//. | missing",
         "3\n\".//sku\" | \"./line[2]//.\" | \"missing\"\n\"A-1\" | \"\" | -\n- | - | -\n\"C-3\" | "
         "- | -\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(select(kOrders, "//order", c.columns), c.table) << c.columns;
    }
}

}  // namespace

namespace {

// The headers of a table as text, joined as column paths.
std::string headersOf(const std::string& table) {
    std::string line = table.substr(table.find('\n') + 1);
    line = line.substr(0, line.find('\n'));
    std::string joined;
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t end = line.find("\" | \"", at);
        const std::size_t stop = end == std::string::npos ? line.size() - 1 : end;
        joined += (joined.empty() ? "" : " | ") + line.substr(at + 1, stop - at - 1);
        at = end == std::string::npos ? line.size() : end + 4;
    }
    return joined;
}

TEST(SelectTable, AutomaticColumnsAreTheUnionOfTheRecordsInTheOrderFirstSeen) {
    const struct {
        const char* xml;
        const char* records;
        const char* table;
    } cases[] = {
        // Records made only of attributes get no "." column.
        {"<Cube><Cube time='2026-12-04'><Cube currency='USD' rate='1.0872'/>"
         "<Cube currency='JPY' rate='162.43'/></Cube></Cube>",
         "//Cube[@currency]",
         "2\n\"@currency\" | \"@rate\"\n\"USD\" | #1.0872\n\"JPY\" | #162.43\n"},
        // The record's own text as "." once some record without children has one; a record
        // with children reads "." as its own (empty) text.
        {"<r><v a='1'>x</v><v>2</v><v/><v b='2'><w/></v></r>", "r/v",
         "4\n\"@a\" | \".\" | \"@b\" | \"w\"\n#1 | \"x\" | - | -\n- | \"2\" | - | -\n"
         "- | \"\" | - | -\n- | \"\" | #2 | \"\"\n"},
        // Leaves by their path, their attributes right after them; the attributes of an
        // element with children at its place; later fields appended as they come.
        {"<o><r id='1'><line n='a'><sku>S1</sku><qty u='kg'>2</qty></line><line><sku>S2</sku>"
         "</line></r><r><extra>e</extra><line><sku>T1</sku></line></r></o>",
         "//r",
         "2\n\"@id\" | \"line/@n\" | \"line/sku\" | \"line/qty\" | \"line/qty/@u\" | "
         "\"line[2]/sku\" | \"extra\"\n#1 | \"a\" | \"S1\" | #2 | \"kg\" | \"S2\" | -\n"
         "- | - | \"T1\" | - | - | - | \"e\"\n"},
        // An element that is a leaf in one record and holds children in another.
        {"<o><r><x>1</x></r><r><x><y>2</y></x></r></o>", "o/r",
         "2\n\"x\" | \"x/y\"\n\"1\" | -\n\"\" | #2\n"},
        // Names no path can spell: the element by its place, the attribute left out.
        {"<o><r a:b:c='1'><p:q:r>1</p:q:r><d>2</d><p:q>3</p:q></r></o>", "o/r",
         "1\n\"*[1]\" | \"d\" | \"p:q\"\n#1 | #2 | #3\n"},
        // Records are elements: attributes selected by the record path are not.
        {"<o><r k='1'/><r k='2'>t</r></o>", "o/r/@k | o/r[2]", "1\n\"@k\" | \".\"\n#2 | \"t\"\n"},
    };
    for (const auto& c : cases) {
        const std::string table = select(c.xml, c.records, nullptr);
        EXPECT_EQ(table, c.table) << c.xml;
        // Every header is a column path that selects exactly its cell.
        EXPECT_EQ(select(c.xml, c.records, headersOf(table).c_str()), table) << c.xml;
    }
}

TEST(SelectTable, ReturnsTheRecordCountOrLeavesTheTableEmpty) {
    const struct {
        const char* records;
        const char* columns;
        const char* result;
    } cases[] = {
        {"//order", "", "3\n"},
        {"//order", " \t", "3\n"},
        {"//order[1] | //order[3] | //order[1]", "sku", "2\n"},
        {"//missing", "sku", "0\nEmpty"},
        {"//order/@no", "", "0\nEmpty"},
        {"//order[", "sku", "-1\nEmpty"},
        {"//order", "sku |", "-1\nEmpty"},
        {"//order", "/orders/order/sku", "-1\nEmpty"},
        {"//order", "sku | //qty", "-1\nEmpty"},
        {"//order", "sku[", "-1\nEmpty"},
    };
    for (const auto& c : cases) {
        const std::string table = select(kOrders, c.records, c.columns);
        EXPECT_EQ(table.substr(0, std::strlen(c.result)), c.result)
            << c.records << " " << c.columns;
    }
    // What the table held before is freed (the sanitizers and the allocation sweep see a leak).
    OwnedVariant table;
    table.value = text("an old value");
    EXPECT_EQ(Exports::selectTable(Arg(kOrders), Arg("//missing"), Arg(""), table.get()), 0);
    EXPECT_EQ(table.value.vt, VT_EMPTY);
    makeTable(table.get(), {{text("old")}});
    EXPECT_EQ(Exports::selectTable(Arg(kOrders), Arg("//order"), Arg("sku"), table.get()), 3);
    EXPECT_EQ(Exports::selectTable(Arg(kOrders), Arg("//order"), Arg("sku"), nullptr), -1);
    EXPECT_EQ(Exports::selectTable(nullptr, Arg("//order"), nullptr, table.get()), 0);
}

TEST(SelectTable, StringsKeepEveryCharacterAsUtf16) {
    const std::string xml =
        "<r><v>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</v><v>&lt;&amp;&#x41;</v><v>\xFF</v></r>";
    OwnedVariant table;
    ASSERT_EQ(Exports::selectTable(Arg(xml), Arg("r/v"), Arg("."), table.get()), 3);
    const auto* cells = static_cast<const VARIANT*>(pelzor::ole::lockData(table.value.parray));
    ASSERT_EQ(cells[1].vt, VT_BSTR);
    const std::u16string expected = u"caf\u00E9 \u20AC \U0001F600";
    ASSERT_EQ(pelzor::ole::stringLength(cells[1].bstrVal), expected.size());
    EXPECT_EQ(std::u16string(cells[1].bstrVal, expected.size()), expected);
    EXPECT_EQ(utf8Of(cells[2].bstrVal), "<&A");
    EXPECT_EQ(utf8Of(cells[3].bstrVal), "\xEF\xBF\xBD");  // a byte that is not UTF-8
    pelzor::ole::unlockData(table.value.parray);
}

TEST(BuildTable, EachCellMakesWhatItsHeaderNames) {
    const std::string document = build({
        {text("sku"), text("price"), text("price/@currency"), text("line[2]/sku"), text("@no"),
         text(" a/b/c "), text(".")},
        {text("A-1"), number(5.5), text("EUR"), text("L2"), number(1), empty(), empty()},
        {empty(), number(0.1 + 0.2), empty(), empty(), text(""), text("x & <y>"), text("t")},
        {empty(), empty(), empty(), empty(), empty(), empty(), empty()},
    });
    EXPECT_EQ(document,
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<orders>\n"
              "    <order no=\"1\">\n"
              "        <sku>A-1</sku>\n"
              "        <price currency=\"EUR\">5.5</price>\n"
              "        <line />\n"
              "        <line>\n"
              "            <sku>L2</sku>\n"
              "        </line>\n"
              "    </order>\n"
              "    <order no=\"\">\n"
              "        t\n"
              "        <price>0.30000000000000004</price>\n"
              "        <a>\n"
              "            <b>\n"
              "                <c>x &amp; &lt;y&gt;</c>\n"
              "            </b>\n"
              "        </a>\n"
              "    </order>\n"
              "    <order />\n"
              "</orders>\n");
    // Only the header row: the root alone.
    EXPECT_EQ(build({{text("sku")}}), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<orders />\n");
}

TEST(BuildTable, RefusesWhatItCannotWriteNamingTheRowAndColumn) {
    VARIANT nothing = ofType(VT_NULL);
    VARIANT error = ofType(VT_ERROR);
    const struct {
        std::vector<std::vector<VARIANT>> rows;
        std::int32_t lowerRow;
        const char* refusal;
    } cases[] = {
        {{{text("a"), number(1)}}, 1, "Row 1, column 2: the header is not a text"},
        {{{text("ok"), text("a//b")}}, 0, "Row 0, column 2: the header \"a//b\" is not a path"},
        {{{text("*")}}, 1, "Row 1, column 1: the header \"*\" is not"},
        {{{text("a[0]")}}, 1, "Row 1, column 1: the header \"a[0]\""},
        {{{text("a[65537]")}}, 1, "Row 1, column 1: the header \"a[65537]\""},
        {{{text("a[@x]")}}, 1, "Row 1, column 1: the header \"a[@x]\""},
        {{{text("/a")}}, 1, "Row 1, column 1: the header \"/a\""},
        {{{text("a | b")}}, 1, "Row 1, column 1: the header \"a | b\""},
        {{{text("a/.")}}, 1, "Row 1, column 1: the header \"a/.\""},
        {{{text("")}}, 1, "Row 1, column 1: the header \"\""},
        {{{text("a"), text("b")}, {text("1"), nothing}},
         -3,
         "Row -2, column 2: Null cannot become"},
        {{{text("a")}, {text("1")}, {error}}, 1, "Row 3, column 1: an error value (such as #N/A)"},
    };
    for (const auto& c : cases) {
        const std::string refusal = build(c.rows, c.lowerRow);
        EXPECT_EQ(refusal.substr(0, std::strlen(c.refusal)), c.refusal) << refusal;
    }
    OwnedVariant table;
    makeTable(table.get(), {{text("a")}});
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("my root"), Arg("r"), table.get())),
              "The root name \"my root\" is not an XML name");
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("root"), Arg("1r"), table.get())),
              "The record name \"1r\" is not an XML name");
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("root"), nullptr, table.get())),
              "The record name \"\" is not an XML name");
    OwnedVariant notArray;
    notArray.value = text("a");
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("root"), Arg("r"), notArray.get())),
              "The table is not an array");
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("root"), Arg("r"), nullptr)),
              "The table is not an array");
    VARIANT neverSized = ofType(VT_ARRAY | VT_VARIANT);
    neverSized.parray = nullptr;
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("root"), Arg("r"), &neverSized)),
              "The table is an array that was never sized");
    SAFEARRAYBOUND bounds[3] = {{1, 1}, {1, 1}, {1, 1}};
    OwnedVariant cube;
    cube.value.vt = VT_ARRAY | VT_VARIANT;
    cube.value.parray = pelzor::ole::createArray(VT_VARIANT, 3, bounds);
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("root"), Arg("r"), cube.get())),
              "The table has 3 dimensions; it needs 2, rows and columns");
}

// A table of Strings, of Doubles (refused: its headers cannot be texts), and one passed by
// reference, as VBA passes a Variant that holds an array.
TEST(BuildTable, ReadsArraysOfAnyTypeDirectlyOrByReference) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 5}};
    OwnedVariant strings;
    strings.value.vt = VT_ARRAY | VT_BSTR;
    strings.value.parray = pelzor::ole::createArray(VT_BSTR, 2, bounds);
    auto* texts = static_cast<BSTR*>(pelzor::ole::lockData(strings.value.parray));
    texts[0] = text("a").bstrVal;   // (0, 5)
    texts[1] = text("x").bstrVal;   // (1, 5)
    texts[2] = text("@b").bstrVal;  // (0, 6); (1, 6) stays a null String: ""
    pelzor::ole::unlockData(strings.value.parray);
    const char kBuilt[] =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<t>\n    <r b=\"\">\n        <a>x</a>\n"
        "    </r>\n</t>\n";
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("t"), Arg("r"), strings.get())), kBuilt);

    VARIANT byReference = ofType(VT_BYREF | VT_ARRAY | VT_BSTR);
    byReference.pparray = &strings.value.parray;
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("t"), Arg("r"), &byReference)), kBuilt);
    VARIANT toVariant = ofType(VT_BYREF | VT_VARIANT);
    toVariant.pvarVal = &strings.value;
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("t"), Arg("r"), &toVariant)), kBuilt);

    OwnedVariant doubles;
    doubles.value.vt = VT_ARRAY | VT_R8;
    doubles.value.parray = pelzor::ole::createArray(VT_R8, 2, bounds);
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("t"), Arg("r"), doubles.get())),
              "Row 0, column 5: the header is not a text (the first row holds the column paths)");
}

// "" when both tables hold the same cells, Doubles to the bit; else the first difference.
std::string sameCells(const VARIANT& a, const VARIANT& b) {
    const std::string left = tableText(a);
    const std::string right = tableText(b);
    if (left != right) {
        return left + "\nbecame\n" + right;
    }
    std::int32_t lower, upper, lowerColumn, upperColumn;
    pelzor::ole::bounds(a.parray, 1, lower, upper);
    pelzor::ole::bounds(a.parray, 2, lowerColumn, upperColumn);
    const auto count = static_cast<std::size_t>(upper - lower + 1) *
                       static_cast<std::size_t>(upperColumn - lowerColumn + 1);
    const auto* first = static_cast<const VARIANT*>(pelzor::ole::lockData(a.parray));
    const auto* second = static_cast<const VARIANT*>(pelzor::ole::lockData(b.parray));
    std::string difference;
    for (std::size_t i = 0; i < count && difference.empty(); ++i) {
        if (first[i].vt == VT_R8 && std::memcmp(&first[i].dblVal, &second[i].dblVal, 8) != 0) {
            difference = "the bits of " + cellText(first[i]);
        }
    }
    pelzor::ole::unlockData(a.parray);
    pelzor::ole::unlockData(b.parray);
    return difference;
}

// For records whose values are texts and numbers, selectTable of buildTable of a table gives
// the same table, Doubles to the bit: with the headers passed back as the column paths, and
// with automatic columns for a table whose headers come in the order those take.
TEST(TableRoundTrip, GivesBackTheSameCells) {
    std::mt19937_64 random(16);
    const std::vector<std::string> headers = {
        "@id",         "sku",  "price", "price/@currency", "line/sku", "line[2]/sku",
        "line[2]/qty", "note", "."};
    const char* const texts[] = {"A-100",  "\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80",
                                 "x & y",  "<b>",
                                 "007",    "1,5",
                                 "NaN",    "",
                                 "&#x41;", "AT&amp;T"};
    for (int round = 0; round < 60; ++round) {
        const bool automatic = round % 2 == 0;
        const std::size_t columns = automatic ? headers.size() - 1 : headers.size();
        std::vector<std::vector<VARIANT>> rows(1);
        std::string joined;
        for (std::size_t c = 0; c < columns; ++c) {
            rows[0].push_back(text(headers[c]));
            joined += (c == 0 ? "" : " | ") + headers[c];
        }
        for (int r = 0; r < 1 + round % 7; ++r) {
            std::vector<VARIANT> row;
            for (std::size_t c = 0; c < columns; ++c) {
                const std::uint64_t pick = random();
                // Automatic columns see only what records hold. The record is always there, and
                // price/@currency makes a price, so "." and price read "" rather than missing.
                const bool alwaysThere = headers[c] == "." || headers[c] == "price";
                if (!automatic && !alwaysThere && pick % 4 == 0) {
                    row.push_back(empty());
                } else if ((c + static_cast<std::size_t>(round) / 2) % 2 == 0) {
                    std::uint64_t bits = random();
                    double value;
                    std::memcpy(&value, &bits, sizeof value);
                    row.push_back(number(std::isfinite(value) ? value : -0.0));
                } else {
                    row.push_back(text(texts[pick % std::size(texts)]));
                }
            }
            rows.push_back(row);
        }
        OwnedVariant table;
        makeTable(table.get(), rows);
        const std::string document =
            takeResult(Exports::buildTable(Arg("orders"), Arg("order"), table.get()));
        OwnedVariant back;
        ASSERT_EQ(Exports::selectTable(Arg(document), Arg("orders/order"),
                                       Arg(automatic ? "" : joined), back.get()),
                  static_cast<int>(rows.size() - 1));
        EXPECT_EQ(sameCells(table.value, back.value), "") << document;
    }
}

}  // namespace
