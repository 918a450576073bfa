// selectTable and buildTable through the real pelzor.dll with oleaut32's own VARIANTs, arrays
// and strings, as VBA hands them over and takes them back.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "import_patch.h"
#include "pelzor_dll.h"

namespace {

const char kOrder[] =
    "<order id='SO-1042'><customer>M\xC3\xBCller GmbH \xF0\x9F\x98\x80</customer>"
    "<line number='1'><sku>A-100</sku><qty>2</qty><price>19.90</price></line>"
    "<line number='2'><sku>B-220</sku><price>5.5</price></line>"
    "<line number='3'><sku>007</sku><qty>4</qty><price>19.90</price></line></order>";

std::string utf8Of(BSTR text) {
    const int units = static_cast<int>(SysStringLen(text));
    std::string out(static_cast<std::size_t>(units) * 3, '\0');
    out.resize(static_cast<std::size_t>(WideCharToMultiByte(
        CP_UTF8, 0, text, units, out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

BSTR bstrOf(const char* utf8) {
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0) - 1;
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, units + 1);
    return text;
}

// The cells row by row: "text" for a String, #value for a Double, - for Empty; then the
// bounds "(1 to 4, 1 to 5)".
std::string shown(const VARIANT& table) {
    if (table.vt != (VT_ARRAY | VT_VARIANT)) {
        return table.vt == VT_EMPTY ? "Empty" : "vt " + std::to_string(table.vt);
    }
    SAFEARRAY* array = table.parray;
    if (SafeArrayGetDim(array) != 2 || SafeArrayGetElemsize(array) != sizeof(VARIANT)) {
        return "not two-dimensional Variants";
    }
    LONG lowerRow, upperRow, lowerColumn, upperColumn;
    SafeArrayGetLBound(array, 1, &lowerRow);
    SafeArrayGetUBound(array, 1, &upperRow);
    SafeArrayGetLBound(array, 2, &lowerColumn);
    SafeArrayGetUBound(array, 2, &upperColumn);
    std::string out;
    for (LONG r = lowerRow; r <= upperRow; ++r) {
        for (LONG c = lowerColumn; c <= upperColumn; ++c) {
            LONG at[2] = {r, c};
            VARIANT cell;
            VariantInit(&cell);
            SafeArrayGetElement(array, at, &cell);
            out += c == lowerColumn ? "" : " | ";
            if (cell.vt == VT_BSTR) {
                out += "\"" + utf8Of(cell.bstrVal) + "\"";
            } else if (cell.vt == VT_R8) {
                char number[32];
                std::snprintf(number, sizeof number, "#%.17g", cell.dblVal);
                out += number;
            } else {
                out += cell.vt == VT_EMPTY ? "-" : "vt " + std::to_string(cell.vt);
            }
            VariantClear(&cell);
        }
        out += "\n";
    }
    return out + "(" + std::to_string(lowerRow) + " to " + std::to_string(upperRow) + ", " +
           std::to_string(lowerColumn) + " to " + std::to_string(upperColumn) + ")";
}

struct Variant {
    VARIANT value;
    Variant() { VariantInit(&value); }
    ~Variant() { VariantClear(&value); }
};

TEST(TableVariants, RowsByColumnsFromOneWithDoublesStringsAndEmpties) {
    PelzorDll dll;
    Variant table;
    EXPECT_EQ(dll.selectTable(kOrder, "//line", "", &table.value), 3);
    EXPECT_EQ(shown(table.value),
              "\"@number\" | \"sku\" | \"qty\" | \"price\"\n"
              "#1 | \"A-100\" | #2 | #19.899999999999999\n"
              "#2 | \"B-220\" | - | #5.5\n"
              "#3 | \"007\" | #4 | #19.899999999999999\n"
              "(1 to 4, 1 to 4)");
    // Every character as UTF-16, the emoji as a surrogate pair.
    EXPECT_EQ(dll.selectTable(kOrder, "order", " customer | @id ", &table.value), 1);
    LONG at[2] = {2, 1};
    VARIANT cell;
    VariantInit(&cell);
    ASSERT_EQ(SafeArrayGetElement(table.value.parray, at, &cell), S_OK);
    ASSERT_EQ(cell.vt, VT_BSTR);
    EXPECT_EQ(std::wstring(cell.bstrVal, SysStringLen(cell.bstrVal)),
              L"M\u00FCller GmbH \xD83D\xDE00");
    VariantClear(&cell);
    EXPECT_EQ(dll.selectTable(kOrder, "//missing", "", &table.value), 0);
    EXPECT_EQ(table.value.vt, VT_EMPTY);
    EXPECT_EQ(dll.selectTable(kOrder, "//line", "sku | ", &table.value), -1);
    EXPECT_EQ(table.value.vt, VT_EMPTY);
    EXPECT_EQ(dll.selectTable(kOrder, "//line", "", nullptr), -1);
}

// An object whose releases are counted, to see that the Variant's old content is let go.
class CountedObject : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

TEST(TableVariants, WhatTheCallersVariantHeldIsClearedFirst) {
    PelzorDll dll;
    for (const char* records : {"//line", "//missing", "//line["}) {
        CountedObject object;
        Variant table;
        table.value.vt = VT_UNKNOWN;
        table.value.punkVal = &object;
        dll.selectTable(kOrder, records, "", &table.value);
        EXPECT_EQ(object.references, 0u) << records;
        EXPECT_NE(table.value.vt, VT_UNKNOWN) << records;
    }
}

// A table as VBA holds one: Variants of every type a worksheet or macro gives.
SAFEARRAY* variantTable(LONG lowerRow, LONG lowerColumn) {
    SAFEARRAYBOUND bounds[2] = {{2, lowerRow}, {9, lowerColumn}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    const char* const headers[] = {"s", "d", "l", "when", "ok", "cy", "dec", "i/@b", "none"};
    for (LONG c = 0; c < 9; ++c) {
        LONG at[2] = {lowerRow, lowerColumn + c};
        VARIANT header;
        header.vt = VT_BSTR;
        header.bstrVal = bstrOf(headers[c]);
        SafeArrayPutElement(array, at, &header);
        VariantClear(&header);
    }
    VARIANT cells[9];
    for (VARIANT& cell : cells) {
        VariantInit(&cell);
    }
    cells[0].vt = VT_BSTR;
    cells[0].bstrVal = bstrOf("\xC3\xA9t\xC3\xA9 & <\xF0\x9F\x98\x80>");
    cells[1].vt = VT_R8;
    cells[1].dblVal = 0.1 + 0.2;
    cells[2].vt = VT_I4;
    cells[2].lVal = -7;
    cells[3].vt = VT_DATE;
    cells[3].date = 46363.0 + 32700.0 / 86400.0;
    cells[4].vt = VT_BOOL;
    cells[4].boolVal = VARIANT_TRUE;
    cells[5].vt = VT_CY;
    cells[5].cyVal.int64 = 125000;
    cells[6].decVal.scale = 2;  // -1.50
    cells[6].decVal.sign = DECIMAL_NEG;
    cells[6].decVal.Hi32 = 0;
    cells[6].decVal.Lo64 = 150;
    cells[6].vt = VT_DECIMAL;
    cells[7].vt = VT_I2;
    cells[7].iVal = 12;
    for (LONG c = 0; c < 9; ++c) {
        LONG at[2] = {lowerRow + 1, lowerColumn + c};
        SafeArrayPutElement(array, at, &cells[c]);
        VariantClear(&cells[c]);
    }
    return array;
}

const char kBuilt[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<t>\n    <r>\n"
    "        <s>\xC3\xA9t\xC3\xA9 &amp; &lt;\xF0\x9F\x98\x80&gt;</s>\n"
    "        <d>0.30000000000000004</d>\n        <l>-7</l>\n"
    "        <when>2026-12-07T09:05:00</when>\n        <ok>true</ok>\n        <cy>12.5</cy>\n"
    "        <dec>-1.5</dec>\n        <i b=\"12\" />\n    </r>\n</t>\n";

TEST(TableVariants, BuildTableReadsArraysDirectlyOrByReference) {
    PelzorDll dll;
    Variant table;
    table.value.vt = VT_ARRAY | VT_VARIANT;
    table.value.parray = variantTable(1, 1);
    EXPECT_EQ(Bstr(dll.buildTable("t", "r", &table.value)).bytes(), kBuilt);

    Variant zeroBased;
    zeroBased.value.vt = VT_ARRAY | VT_VARIANT;
    zeroBased.value.parray = variantTable(0, -3);
    VARIANT byReference;
    byReference.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
    byReference.pparray = &zeroBased.value.parray;
    EXPECT_EQ(Bstr(dll.buildTable("t", "r", &byReference)).bytes(), kBuilt);
    VARIANT toVariant;
    toVariant.vt = VT_BYREF | VT_VARIANT;
    toVariant.pvarVal = &zeroBased.value;
    EXPECT_EQ(Bstr(dll.buildTable("t", "r", &toVariant)).bytes(), kBuilt);

    // A Long array's first row cannot hold headers.
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    Variant longs;
    longs.value.vt = VT_ARRAY | VT_I4;
    longs.value.parray = SafeArrayCreate(VT_I4, 2, bounds);
    EXPECT_EQ(Bstr(dll.buildTable("t", "r", &longs.value)).bytes(),
              "Row 0, column 0: the header is not a text (the first row holds the column paths)");
    // #N/A in a cell.
    LONG at[2] = {2, 3};
    VARIANT error;
    error.vt = VT_ERROR;
    error.scode = static_cast<SCODE>(0x800A07FA);
    SafeArrayPutElement(table.value.parray, at, &error);
    EXPECT_EQ(Bstr(dll.buildTable("t", "r", &table.value)).bytes(),
              "Row 2, column 3: an error value (such as #N/A) cannot become document text");
}

TEST(TableVariants, ATableReadAndWrittenBackReadsTheSame) {
    PelzorDll dll;
    Variant table;
    ASSERT_EQ(dll.selectTable(kOrder, "//line", "", &table.value), 3);
    const std::string document = Bstr(dll.buildTable("order", "line", &table.value)).bytes();
    Variant again;
    ASSERT_EQ(dll.selectTable(document.c_str(), "order/line", "", &again.value), 3);
    EXPECT_EQ(shown(again.value), shown(table.value)) << document;
}

// oleaut32 as the DLL sees it, failing its N-th allocation when told, and keeping account
// of the strings it made and of the arrays the DLL destroyed with what they held.
struct FailingOle {
    int countdown = -1;  // allocations before the one that fails; negative: none fails
    bool failed = false;
    std::set<BSTR> made;
    std::set<BSTR> destroyed;
    int arraysMade = 0;
    int arraysDestroyed = 0;

    bool nextFails() {
        if (countdown < 0) {
            return false;
        }
        failed = countdown-- == 0;
        return failed;
    }
};
FailingOle ole;
ImportPatch* stringPatch = nullptr;
ImportPatch* arrayPatch = nullptr;
ImportPatch* destroyPatch = nullptr;
ImportPatch* bytesPatch = nullptr;

BSTR WINAPI failingSysAllocStringLen(const OLECHAR* text, UINT length) {
    if (ole.nextFails()) {
        return nullptr;
    }
    using Real = BSTR(WINAPI*)(const OLECHAR*, UINT);
    BSTR made = reinterpret_cast<Real>(stringPatch->original())(text, length);
    ole.made.insert(made);
    return made;
}

BSTR WINAPI failingSysAllocStringByteLen(LPCSTR text, UINT length) {
    if (ole.nextFails()) {
        return nullptr;
    }
    using Real = BSTR(WINAPI*)(LPCSTR, UINT);
    return reinterpret_cast<Real>(bytesPatch->original())(text, length);
}

SAFEARRAY* WINAPI failingSafeArrayCreate(VARTYPE type, UINT dimensions, SAFEARRAYBOUND* bounds) {
    if (ole.nextFails()) {
        return nullptr;
    }
    using Real = SAFEARRAY*(WINAPI*)(VARTYPE, UINT, SAFEARRAYBOUND*);
    ++ole.arraysMade;
    return reinterpret_cast<Real>(arrayPatch->original())(type, dimensions, bounds);
}

HRESULT WINAPI watchedSafeArrayDestroy(SAFEARRAY* array) {
    ++ole.arraysDestroyed;
    const auto* cells = static_cast<const VARIANT*>(array->pvData);
    const ULONG count = array->rgsabound[0].cElements * array->rgsabound[1].cElements;
    for (ULONG i = 0; i < count; ++i) {
        if (cells[i].vt == VT_BSTR) {
            ole.destroyed.insert(cells[i].bstrVal);
        }
    }
    using Real = HRESULT(WINAPI*)(SAFEARRAY*);
    return reinterpret_cast<Real>(destroyPatch->original())(array);
}

// Every allocation the DLL asks of oleaut32 fails in turn: the table stays Empty, the call
// returns -1, and every string made on the way went with the array that was destroyed.
TEST(TableVariants, OutOfMemoryLeavesTheTableEmptyAndNothingMade) {
    PelzorDll dll;
    ImportPatch strings(dll.module(), "oleaut32.dll", "SysAllocStringLen",
                        reinterpret_cast<void*>(&failingSysAllocStringLen));
    ImportPatch arrays(dll.module(), "oleaut32.dll", "SafeArrayCreate",
                       reinterpret_cast<void*>(&failingSafeArrayCreate));
    ImportPatch destroys(dll.module(), "oleaut32.dll", "SafeArrayDestroy",
                         reinterpret_cast<void*>(&watchedSafeArrayDestroy));
    ImportPatch bytes(dll.module(), "oleaut32.dll", "SysAllocStringByteLen",
                      reinterpret_cast<void*>(&failingSysAllocStringByteLen));
    stringPatch = &strings;
    arrayPatch = &arrays;
    destroyPatch = &destroys;
    bytesPatch = &bytes;
    ASSERT_NE(strings.original(), nullptr);
    ASSERT_NE(arrays.original(), nullptr);
    ASSERT_NE(destroys.original(), nullptr);
    ASSERT_NE(bytes.original(), nullptr);

    int failures = 0;
    for (int failing = 0;; ++failing) {
        ole = FailingOle{};
        ole.countdown = failing;
        Variant table;
        const int result = dll.selectTable(kOrder, "//line", "", &table.value);
        if (!ole.failed) {
            EXPECT_EQ(result, 3);
            break;
        }
        ++failures;
        EXPECT_EQ(result, -1) << failing;
        EXPECT_EQ(table.value.vt, VT_EMPTY) << failing;
        EXPECT_EQ(ole.arraysDestroyed, ole.arraysMade) << failing;
        EXPECT_EQ(ole.destroyed, ole.made) << failing;
    }
    EXPECT_EQ(failures, 1 + 4 + 3);  // the array, the four headers, the three skus

    Variant table;
    table.value.vt = VT_ARRAY | VT_VARIANT;
    table.value.parray = variantTable(1, 1);
    ole = FailingOle{};
    ole.countdown = 0;
    EXPECT_TRUE(Bstr(dll.buildTable("t", "r", &table.value)).isNull());
    EXPECT_TRUE(ole.failed);
    stringPatch = arrayPatch = destroyPatch = bytesPatch = nullptr;
}

}  // namespace
