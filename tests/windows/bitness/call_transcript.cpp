// Runs one fixed table of calls through the real pelzor.dll of this build's bitness and
// writes every result as one line of text. The 32-bit and the 64-bit build of this program
// run the same table, so their transcripts must be identical byte for byte; a script
// compares them. Results are written exactly: text results as their bytes (with a hash for
// long ones), doubles as their bit patterns, array buffers together with the guard values
// written around them.
//
// usage: call_transcript.exe OUTPUT [CORPUS-FILE...]
//   Each corpus file is a fuzz seed: an element name up to the first NUL, then a document.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pelzor_dll.h"

namespace {

std::string gOutputPath;
std::vector<std::string> gCorpusFiles;

// A document and the element names every reading export is asked for in it.
struct Probe {
    std::string label;
    std::string text;
    bool nullText = false;
    std::vector<std::string> names;
};

std::string hex64(std::uint64_t bits) {
    char out[17];
    std::snprintf(out, sizeof out, "%016" PRIx64, bits);
    return out;
}

std::string doubleBits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return hex64(bits);
}

std::uint64_t fnv1a(const std::string& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char c : bytes) {
        hash = (hash ^ c) * 0x100000001b3u;
    }
    return hash;
}

// Printable ASCII as it is, every other byte as \xHH; texts past 300 bytes are shortened
// to their head and a hash of the whole.
std::string printable(const std::string& bytes) {
    const std::size_t shown = bytes.size() > 300 ? 120 : bytes.size();
    std::string out = "\"";
    for (std::size_t i = 0; i < shown; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    out += '"';
    if (shown < bytes.size()) {
        out += "... fnv1a " + hex64(fnv1a(bytes));
    }
    return out;
}

// A Variant exactly: its type, an array's bounds and every element, Doubles as their bits
// and Strings as their UTF-16 bytes.
std::string variantText(const VARIANT& value) {
    if (value.vt == VT_R8) {
        return "D:" + doubleBits(value.dblVal);
    }
    if (value.vt == VT_BSTR) {
        return "S:" + printable(std::string(reinterpret_cast<const char*>(value.bstrVal),
                                            SysStringByteLen(value.bstrVal)));
    }
    if (value.vt != (VT_ARRAY | VT_VARIANT)) {
        return "vt " + std::to_string(value.vt);
    }
    SAFEARRAY* array = value.parray;
    std::string out = "dims " + std::to_string(SafeArrayGetDim(array));
    LONG count = 1;
    for (UINT d = 1; d <= SafeArrayGetDim(array); ++d) {
        LONG lower = 0;
        LONG upper = 0;
        SafeArrayGetLBound(array, d, &lower);
        SafeArrayGetUBound(array, d, &upper);
        out += " " + std::to_string(lower) + ".." + std::to_string(upper);
        count *= upper - lower + 1;
    }
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    const auto* cells = static_cast<const VARIANT*>(data);
    for (LONG i = 0; i < count; ++i) {
        out += " " + variantText(cells[i]);
    }
    SafeArrayUnaccessData(array);
    return out;
}

std::string textResult(wchar_t* result) {
    Bstr owned(result);
    if (owned.isNull()) {
        return "null";
    }
    return "length " + std::to_string(owned.byteLength()) + " " + printable(owned.bytes());
}

class Transcript {
public:
    explicit Transcript(PelzorDll& dll) : dll_(dll) {}

    void readEverything(const Probe& probe) {
        const char* text = probe.nullText ? nullptr : probe.text.c_str();
        for (const std::string& name : probe.names) {
            const std::string at = probe.label + " " + printable(name) + ": ";
            const char* n = name.c_str();
            line(at + "getStringValue", textResult(dll_.getStringValue(text, n)));
            line(at + "getIntegerValue", std::to_string(dll_.getIntegerValue(text, n)));
            line(at + "getDoubleValue", doubleBits(dll_.getDoubleValue(text, n)));
            const int rows = dll_.getDoubleArrayRows(text, n);
            const int columns = dll_.getDoubleArrayColumns(text, n);
            line(at + "getDoubleArrayRows", std::to_string(rows));
            line(at + "getDoubleArrayColumns", std::to_string(columns));
            for (int count : {0, 1, 3, rows * (columns > 0 ? columns : 1) + 1}) {
                array(at + "getDouble1DArray", text, n, count, false);
                array(at + "getDouble2DArray", text, n, count, true);
            }
            for (bool unescape : {false, true}) {
                line(at + "appendXMLChild " + (unescape ? "unescaped" : "escaped"),
                     textResult(
                         dll_.appendXMLChild(text, "added", n, "<i>a</i> &amp; b & c", unescape)));
            }
        }
    }

    // The path functions on the same documents, after every call of the nine, so that the
    // nine's part of the transcript stays as it was.
    void selectEverything(const Probe& probe) {
        const char* text = probe.nullText ? nullptr : probe.text.c_str();
        for (const std::string& name : probe.names) {
            for (const std::string& path :
                 {"//" + name, name + "/*", "//*[1]/" + name + "[1]", "//" + name + "/@b",
                  "//*[@b][" + name + "='2']", "//" + name + "[2]/../x"}) {
                select(probe.label + " " + printable(path) + ": ", text, path);
            }
        }
    }

    void select(const std::string& at, const char* text, const std::string& path) {
        const char* p = path.c_str();
        line(at + "checkPath", std::to_string(dll_.checkPath(p)));
        line(at + "selectText", textResult(dll_.selectText(text, p)));
        line(at + "selectTexts", textResult(dll_.selectTexts(text, p)));
        line(at + "selectCount", std::to_string(dll_.selectCount(text, p)));
        std::vector<std::uint64_t> buffer(3 + 2 * kGuard);
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = 0x7ff4c0de00000000u + i;
        }
        const int count =
            dll_.selectDoubles(text, p, reinterpret_cast<double*>(buffer.data() + kGuard), 3);
        std::string out = std::to_string(count);
        for (std::uint64_t bits : buffer) {
            out += " " + hex64(bits);
        }
        line(at + "selectDoubles count 3", out);
    }

    // The table functions on the same documents, after everything else: the records under
    // the root with automatic columns, and chosen ones with column paths of every kind; each
    // table then written back as a document.
    void tableEverything(const Probe& probe) {
        const char* text = probe.nullText ? nullptr : probe.text.c_str();
        table(probe.label + " records /*/*: ", text, "/*/*", "");
        table(probe.label + " records //*[@b]: ", text, "//*[@b] | /*/*[1]",
              "@b | . | *[1] | .//x | *[2]/@a | b[@b='1']");
    }

    void table(const std::string& at, const char* text, const char* records, const char* columns) {
        VARIANT result;
        VariantInit(&result);
        const int count = dll_.selectTable(text, records, columns, &result);
        line(at + "selectTable", std::to_string(count) + " " + variantText(result));
        if (result.vt == (VT_ARRAY | VT_VARIANT)) {
            line(at + "buildTable", textResult(dll_.buildTable("table", "row", &result)));
        }
        VariantClear(&result);
    }

    // The edits on the same documents, after the tables: the elements of each name given a
    // value and an attribute, a child with attributes appended under them, and removed.
    void editEverything(const Probe& probe, VARIANT* value, VARIANT* attributes) {
        const char* text = probe.nullText ? nullptr : probe.text.c_str();
        for (const std::string& name : probe.names) {
            edit(probe.label + " " + printable(name) + ": ", text, "//" + name, value, attributes);
        }
    }

    void edit(const std::string& at, const char* text, const std::string& path, VARIANT* value,
              VARIANT* attributes) {
        const std::string attribute = path + "/@id";
        const std::string withAttributes = path + " | //*[@b]/@b";
        line(at + "setValue", textResult(dll_.setValue(text, path.c_str(), value)));
        line(at + "setValue @id", textResult(dll_.setValue(text, attribute.c_str(), value)));
        line(at + "appendElement",
             textResult(dll_.appendElement(text, path.c_str(), "p:n", "t & <u>", attributes)));
        line(at + "removeNodes", textResult(dll_.removeNodes(text, withAttributes.c_str())));
    }

    // A table made here: buildTable's document or refusal.
    void build(const std::string& at, VARIANT* table, const char* root = "table") {
        line("buildTable " + at, textResult(dll_.buildTable(root, "row", table)));
    }

    void createBlank(const std::string& root) {
        line("createBlankXML " + printable(root), textResult(dll_.createBlankXML(root.c_str())));
    }

    // Each result is the next call's document, as macro code builds a document.
    void buildChain(const std::string& root, const std::vector<std::vector<std::string>>& steps) {
        Bstr blank(dll_.createBlankXML(root.c_str()));
        std::string document = blank.bytes();
        line("chain " + printable(root) + ": createBlankXML", printable(document));
        for (const auto& s : steps) {  // child, parent, text, unescape ("1" or "0")
            Bstr result(dll_.appendXMLChild(document.c_str(), s[0].c_str(), s[1].c_str(),
                                            s[2].c_str(), s[3] == "1"));
            const std::string bytes = result.bytes();
            line("chain " + printable(root) + ": appendXMLChild " + printable(s[0]) + " under " +
                     printable(s[1]),
                 "length " + std::to_string(result.byteLength()) + " " + printable(bytes));
            if (bytes != "Parent element does not exist") {
                document = bytes;
            }
        }
    }

    int calls() const { return calls_; }
    const std::string& lines() const { return lines_; }

private:
    static constexpr int kGuard = 2;

    // The buffer and a guard zone on each side are filled with a pattern first; all of
    // them are written to the transcript, so a write outside `count` shows as well.
    void array(const std::string& what, const char* text, const char* name, int count, bool twoD) {
        std::vector<std::uint64_t> buffer(static_cast<std::size_t>(count) + 2 * kGuard);
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = 0x7ff4c0de00000000u + i;
        }
        double* values = reinterpret_cast<double*>(buffer.data() + kGuard);
        const bool result = twoD ? dll_.getDouble2DArray(text, name, values, count)
                                 : dll_.getDouble1DArray(text, name, values, count);
        std::string out = result ? "true" : "false";
        for (std::uint64_t bits : buffer) {
            out += " " + hex64(bits);
        }
        line(what + " count " + std::to_string(count), out);
    }

    void line(const std::string& call, const std::string& result) {
        ++calls_;
        lines_ += call + " = " + result + "\n";
    }

    PelzorDll& dll_;
    std::string lines_;
    int calls_ = 0;
};

// Numbers at and around the limits of the integer and the floating grammar, in the forms
// macro code meets: signs, white space, exponents with e and d, trailing text, overflow,
// underflow, subnormals and long digit strings.
std::vector<std::string> numberTexts() {
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "+0",
                                      "7",
                                      "-7",
                                      "+7",
                                      " 42",
                                      "\t\n42 ",
                                      "42abc",
                                      "abc",
                                      "",
                                      " ",
                                      "-",
                                      "+",
                                      "--1",
                                      "+-1",
                                      "2147483646",
                                      "2147483647",
                                      "2147483648",
                                      "-2147483647",
                                      "-2147483648",
                                      "-2147483649",
                                      "4294967295",
                                      "4294967296",
                                      "99999999999999999999",
                                      "-99999999999999999999",
                                      "0x10",
                                      "0X1p3",
                                      "010",
                                      "1e3",
                                      "1E+3",
                                      "1e-3",
                                      "1d3",
                                      "1D-3",
                                      "1e",
                                      "1e+",
                                      ".5",
                                      "5.",
                                      ".",
                                      "-.5",
                                      "1.5e308",
                                      "1.7976931348623157e308",
                                      "1.7976931348623158e308",
                                      "1.7976931348623159e308",
                                      "1.8e308",
                                      "1e309",
                                      "-1e309",
                                      "2.2250738585072014e-308",
                                      "2.2250738585072011e-308",
                                      "4.9406564584124654e-324",
                                      "2.4703282292062327e-324",
                                      "2.4703282292062328e-324",
                                      "1e-324",
                                      "1e-400",
                                      "0.1",
                                      "0.2",
                                      "0.3",
                                      "1.1",
                                      "2.675",
                                      "9007199254740993",
                                      "9007199254740992.5",
                                      "123456789012345678901234567890",
                                      "0.000000000000000000000000000000001",
                                      "3.14159265358979323846264338327950288",
                                      "1e23",
                                      "8.589973e9",
                                      "5e-324",
                                      "7.2057594037927933e16",
                                      "1.00000000000000011102230246251565404236316680908203125",
                                      "1.00000000000000011102230246251565404236316680908203124",
                                      "1.00000000000000011102230246251565404236316680908203126",
                                      "9.007199254740993e15",
                                      "4.35679e-10",
                                      "1e-5",
                                      "6.02214076e23",
                                      "nan",
                                      "inf",
                                      "-inf",
                                      "infinity",
                                      "NaN",
                                      "1,5",
                                      "1.5.5",
                                      "1e5e5",
                                      "12 34",
                                      "\xef\xbb\xbf"
                                      "5",
                                      "&#x35;",
                                      "&#53;&#50;",
                                      "1&#x65;3"};
    texts.push_back("0." + std::string(800, '0') + "1");
    texts.push_back(std::string(400, '9'));
    texts.push_back("1" + std::string(308, '0'));
    texts.push_back("1" + std::string(309, '0'));
    texts.push_back("0." + std::string(323, '0') + "247032822920623272");
    for (int e = -330; e <= 310; e += 37) {
        texts.push_back("1.2345678901234567e" + std::to_string(e));
        texts.push_back("-9.87654321e" + std::to_string(e));
    }
    return texts;
}

std::string nested(int depth, const std::string& inner) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "<n>";
    }
    text += inner;
    for (int i = 0; i < depth; ++i) {
        text += "</n>";
    }
    return text;
}

// A matrix whose row i has cells(i) cells, each holding a number that names its place.
template <typename Cells>
std::string matrix(int rows, Cells cells) {
    std::string text = "<data><m>";
    for (int i = 0; i < rows; ++i) {
        text += "<r>";
        for (int j = 0; j < cells(i); ++j) {
            text += "<c>" + std::to_string(i) + "." + std::to_string(j) + "e" +
                    std::to_string(i - j) + "</c>";
        }
        text += "</r>";
    }
    return text + "</m></data>";
}

std::vector<Probe> probes() {
    std::vector<Probe> all;
    const std::vector<std::string> anyNames = {"a", "b", "m", "v", "x", "missing", ""};
    all.push_back({"null document", "", true, {"a", "missing"}});
    const char* const documents[] = {
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?><data><m><r><c>1</c><c>2</c><c>3</c></r>"
        "<r><c>4</c><c>5</c><c>6</c></r></m><v><x>0.5</x><x>-2e3</x></v></data>",
        "<a><b>5</b>",
        "<a><b>x</b><b>7</b></a>",
        "   12 <a>3</a>",
        "<?xml version='1.0' encoding='windows-1252'?><a>caf\xc3\xa9 \xe9t\xe9</a>",
        "\xef\xbb\xbf<a>  spaced   out\ttext \n here </a>",
        "<a><!-- c --><b><![CDATA[ 2.5 <x> ]]></b><c>&lt;&gt;&amp;&quot;&apos;</c></a>",
        "<a>&#65;&#x42;&#xE9;&#x20AC;&#x1F600;&#0;&#x110000;&#xD800;&bogus;&amp</a>",
        "<a><x> 1.5 </x><x>12abc</x><x>abc</x><x><![CDATA[2.5]]></x><x><!-- o -->7</x><x/></a>",
        "<v> <x>1</x> note <!-- old --> <x>2</x></v>",
        "<m><r><c>1</c></r><r><c>2</c><c>3</c></r></m>",
        "<a b='1' b='2'><b>dup</b></a>",
        "<a><b attr=\"unterminated>9</b></a>",
        "<a><b>9</b><!-- unterminated",
        "<a><b><![CDATA[unterminated",
        "<a>x\xC3",
        "<a>\xf0\x9f\x98\x80<b>\xe2\x82</b>\xff\xfe<v>3</v></a>",
        "<a></a ><b>1</b >",
        "<a>Tom & Jerry</a>",
        "<a><b>text<c>4</c>tail</b></a>",
        "<x:a xmlns:x='u'><x:b>ns</x:b></x:a>",
        "<!DOCTYPE a [<!ENTITY e 'v'>]><a>&e;<b>2</b></a>",
        "<a>\r\n<b>cr\r\nlf</b>\r</a>",
    };
    int index = 0;
    for (const char* text : documents) {
        all.push_back({"document " + std::to_string(index++), text, false, anyNames});
    }
    for (const std::string& number : numberTexts()) {
        all.push_back(
            {"number " + printable(number),
             "<v>" + number + "</v>" + "<w><x>" + number + "</x><x>" + number + "</x></w>",
             false,
             {"v", "w"}});
    }
    for (int depth : {998, 999, 1000, 1001, 1002, 5000}) {
        all.push_back(
            {"nesting " + std::to_string(depth), nested(depth, "<v>6</v>"), false, {"v", "n"}});
        all.push_back({"open nesting " + std::to_string(depth),
                       nested(depth, "<v>6</v>").substr(0, depth * 3 + 8),
                       false,
                       {"v", "n"}});
    }
    for (int rows = 0; rows <= 5; ++rows) {
        for (int columns = 0; columns <= 5; columns += 1 + (rows % 2)) {
            all.push_back({"matrix " + std::to_string(rows) + "x" + std::to_string(columns),
                           matrix(rows, [=](int) { return columns; }),
                           false,
                           {"m", "r"}});
        }
        all.push_back({"ragged matrix " + std::to_string(rows),
                       matrix(rows, [=](int i) { return (i * 7 + rows) % 4; }),
                       false,
                       {"m"}});
    }
    all.push_back({"matrix 300x7", matrix(300, [](int) { return 7; }), false, {"m"}});
    for (std::size_t i = 0; i < gCorpusFiles.size(); ++i) {
        std::ifstream in(gCorpusFiles[i], std::ios::binary);
        const std::string seed((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        const std::size_t nul = seed.find('\0');
        const std::string name = nul == std::string::npos ? "" : seed.substr(0, nul);
        const std::string text = nul == std::string::npos ? seed : seed.substr(nul + 1);
        all.push_back({"seed " + std::to_string(i), text.c_str(), false, {name, "a", "missing"}});
    }
    return all;
}

VARIANT variantOf(VARTYPE type) {
    VARIANT value;
    VariantInit(&value);
    value.vt = type;
    return value;
}

VARIANT textVariant(const std::wstring& text) {
    VARIANT value = variantOf(VT_BSTR);
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
}

// A table of Variants from rows of cells, with the given lower bounds; takes the cells over.
VARIANT variantTable(const std::vector<std::vector<VARIANT>>& rows, LONG lowerRow,
                     LONG lowerColumn) {
    SAFEARRAYBOUND bounds[2] = {
        {static_cast<ULONG>(rows.size()), lowerRow},
        {static_cast<ULONG>(rows.empty() ? 0 : rows[0].size()), lowerColumn}};
    VARIANT table = variantOf(VT_ARRAY | VT_VARIANT);
    table.parray = SafeArrayCreate(VT_VARIANT, 2, bounds);
    void* data = nullptr;
    SafeArrayAccessData(table.parray, &data);
    auto* cells = static_cast<VARIANT*>(data);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            cells[c * rows.size() + r] = rows[r][c];
        }
    }
    SafeArrayUnaccessData(table.parray);
    return table;
}

// A one-dimensional array of Variants from 0, as a ParamArray arrives, taking over the items.
VARIANT attributeList(const std::vector<VARIANT>& items) {
    VARIANT list = variantOf(VT_ARRAY | VT_VARIANT);
    list.parray = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(items.size()));
    VARIANT* cells = nullptr;
    SafeArrayAccessData(list.parray, reinterpret_cast<void**>(&cells));
    for (std::size_t i = 0; i < items.size(); ++i) {
        cells[i] = items[i];
    }
    SafeArrayUnaccessData(list.parray);
    return list;
}

// buildTable on tables of every kind of value, header and array.
void buildTables(Transcript& transcript) {
    std::vector<VARIANT> values;
    for (double number : {0.0, -0.0, 0.5, 0.1 + 0.2, 1e21, 1e-7, 1152921504606846976.0, 5e-324,
                          1.7976931348623157e308, -123456789.125}) {
        VARIANT value = variantOf(VT_R8);
        value.dblVal = number;
        values.push_back(value);
    }
    for (double date : {46363.0, 46363.378472222222, -1.25, -657434.0, 2958465.99999, 1e9}) {
        VARIANT value = variantOf(VT_DATE);
        value.date = date;
        values.push_back(value);
    }
    for (LONGLONG units : {125000LL, -1LL, 0x7FFFFFFFFFFFFFFFLL}) {
        VARIANT value = variantOf(VT_CY);
        value.cyVal.int64 = units;
        values.push_back(value);
    }
    // -1.50, the largest Decimal and 0.0000001, set field by field: parsing them would follow
    // whatever locale another Wine process last wrote into the shared prefix.
    const struct {
        BYTE scale;
        BYTE sign;
        ULONG high;
        ULONGLONG low;
    } decimals[] = {{2, DECIMAL_NEG, 0, 150}, {0, 0, 0xFFFFFFFF, ~0ULL}, {7, 0, 0, 1}};
    for (const auto& decimal : decimals) {
        VARIANT value = variantOf(VT_DECIMAL);
        value.decVal.scale = decimal.scale;
        value.decVal.sign = decimal.sign;
        value.decVal.Hi32 = decimal.high;
        value.decVal.Lo64 = decimal.low;
        value.vt = VT_DECIMAL;
        values.push_back(value);
    }
    VARIANT yes = variantOf(VT_BOOL);
    yes.boolVal = VARIANT_TRUE;
    values.push_back(yes);
    VARIANT integer = variantOf(VT_I4);
    integer.lVal = -2147483647 - 1;
    values.push_back(integer);
    values.push_back(textVariant(L"caf\u00E9 & <\xD83D\xDE00> \xD800 &#x41;"));
    values.push_back(variantOf(VT_BSTR));  // a null String
    values.push_back(variantOf(VT_EMPTY));
    VARIANT error = variantOf(VT_ERROR);
    error.scode = static_cast<SCODE>(0x800A07FA);
    values.push_back(error);
    values.push_back(variantOf(VT_NULL));
    int index = 0;
    for (VARIANT& value : values) {
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, &value);
        VARIANT table =
            variantTable({{textVariant(L"v"), textVariant(L"w/@a")}, {value, copy}}, 1, 1);
        VARIANT byReference = variantOf(VT_BYREF | VT_VARIANT);
        byReference.pvarVal = &table;
        transcript.build("value " + std::to_string(index), &byReference);
        // The same value written by the edits: as a text, and as an attribute's value.
        VARIANT another;
        VariantInit(&another);
        VariantCopy(&another, &value);
        VARIANT attributes = attributeList({textVariant(L"a"), another});
        transcript.edit("value " + std::to_string(index++) + ": ", "<r><a>1</a></r>", "r/a", &value,
                        &attributes);
        VariantClear(&attributes);  // with the other copy
        VariantClear(&table);       // with the value and its copy
    }
    for (const wchar_t* header : {L"a/b[2]/@c", L".", L" x ", L"a//b", L"a[0]", L"a[65537]", L"*",
                                  L"@a/b", L"a | b", L"", L"\xD83D\xDE00"}) {
        VARIANT table = variantTable({{textVariant(header)}, {textVariant(L"1")}}, 0, -4);
        transcript.build("header", &table);
        VariantClear(&table);
    }
    VARIANT table = variantTable({{textVariant(L"a")}}, 1, 1);
    for (const char* root : {"root", "1root", "my root", "x:y", "", "\xC3\xA9"}) {
        transcript.build(std::string("root ") + root, &table, root);
    }
    VariantClear(&table);
    SAFEARRAYBOUND bounds[3] = {{2, 1}, {2, 1}, {2, 1}};
    for (VARTYPE type : {VT_R8, VT_BSTR, VT_I4}) {
        for (UINT dimensions : {1u, 2u, 3u}) {
            VARIANT array = variantOf(static_cast<VARTYPE>(VT_ARRAY | type));
            array.parray = SafeArrayCreate(type, dimensions, bounds);
            transcript.build("array of type " + std::to_string(type) + ", " +
                                 std::to_string(dimensions) + " dimensions",
                             &array);
            VariantClear(&array);
        }
    }
}

TEST(CallTranscript, RunsTheWholeTable) {
    PelzorDll dll;
    Transcript transcript(dll);
    for (const Probe& probe : probes()) {
        transcript.readEverything(probe);
    }
    for (const char* root : {"library", "", "my root", "a&b", "<x", "\xc3\xa9t\xc3\xa9"}) {
        transcript.createBlank(root);
    }
    transcript.buildChain("library", {{"book", "library", "Dune", "0"},
                                      {"note", "library", "<i>new</i> & used", "1"},
                                      {"x", "shelf", "1", "0"},
                                      {"shelf", "library", "", "0"},
                                      {"x", "shelf", "&lt;1&gt; &amp;amp; &#65;", "0"},
                                      {"y", "shelf", "&lt;1&gt; &amp;amp; &#65;", "1"},
                                      {"z", "book", "2.5e3", "0"}});
    for (const Probe& probe : probes()) {
        transcript.selectEverything(probe);
    }
    const std::string feed =
        "<gesmes:Envelope><Cube><Cube time='2026-12-04'><Cube currency='USD' rate='1.0872'/>"
        "<Cube currency='JPY' rate='162.43'/></Cube></Cube></gesmes:Envelope>";
    const std::vector<std::string> feedPaths = {"//Cube[@currency='USD']/@rate",
                                                "//Cube/@rate",
                                                "gesmes:Envelope/Cube/Cube/Cube[2]",
                                                "//Cube[0]",
                                                "//Cube[99999999999]",
                                                "//Cube[@currency=\"JPY\"][1]/@rate",
                                                "//Cube[ @currency = 'JPY' ]/@rate",
                                                "//Cube[last()]",
                                                "//\xff\xfe",
                                                "//Cube[@rate='",
                                                std::string(1 << 16, 'a'),
                                                "//Cube" + std::string(3000, '['),
                                                "/",
                                                ""};
    for (const std::string& path : feedPaths) {
        transcript.select("feed " + printable(path) + ": ", feed.c_str(), path);
    }
    std::string predicates = "//Cube";
    for (int i = 0; i < 1000; ++i) {
        predicates += "[@rate]";
    }
    transcript.select("feed 1000 predicates: ", feed.c_str(), predicates);
    for (const Probe& probe : probes()) {
        transcript.tableEverything(probe);
    }
    buildTables(transcript);
    VARIANT value = textVariant(L"v & <\u00E9\xD83D\xDE00>");
    VARIANT attributes = attributeList(
        {textVariant(L"id"), textVariant(L"7"), textVariant(L"p:x"), textVariant(L"\"'")});
    for (const Probe& probe : probes()) {
        transcript.editEverything(probe, &value, &attributes);
    }
    VariantClear(&value);
    VariantClear(&attributes);
    std::FILE* out = std::fopen(gOutputPath.c_str(), "wb");
    ASSERT_NE(out, nullptr) << gOutputPath;
    const std::string& lines = transcript.lines();
    EXPECT_EQ(std::fwrite(lines.data(), 1, lines.size(), out), lines.size());
    EXPECT_EQ(std::fclose(out), 0);
    std::printf("%d calls written to %s\n", transcript.calls(), gOutputPath.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: call_transcript.exe OUTPUT [CORPUS-FILE...]\n");
        return 2;
    }
    gOutputPath = argv[1];
    gCorpusFiles.assign(argv + 2, argv + argc);
    return RUN_ALL_TESTS();
}
