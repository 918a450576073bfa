// setValue and appendElement through the real pelzor.dll with oleaut32's own VARIANTs, as VBA
// hands them over: a Variant passed ByRef, a ParamArray whose items refer to the caller's
// variables, one given no items; the caller's values left as they were; and a result string
// oleaut32 cannot allocate.
#include <gtest/gtest.h>

#include <string>

#include "import_patch.h"
#include "pelzor_dll.h"

namespace {

struct Variant {
    VARIANT value;
    Variant() { VariantInit(&value); }
    ~Variant() { VariantClear(&value); }
};

// A one-dimensional array of Variants from 0, as a ParamArray arrives: each item refers to
// the caller's variable (VT_BYREF), as VBA passes variables.
SAFEARRAY* paramArray(VARIANT* variables, ULONG count) {
    SAFEARRAYBOUND bounds[1] = {{count, 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, bounds);
    for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
        VARIANT item;
        item.vt = static_cast<VARTYPE>(VT_BYREF | variables[i].vt);
        item.byref = &variables[i].byref;
        SafeArrayPutElement(array, &i, &item);
    }
    return array;
}

TEST(EditVariants, SetValueWritesAVariantPassedByReferenceAndLeavesItAsItWas) {
    PelzorDll dll;
    const struct {
        VARTYPE type;
        const wchar_t* text;  // the value in the en-US locale
        const char* result;
    } cases[] = {
        {VT_BSTR, L"\u00E9t\u00E9 \xD83D\xDE00 & <x>",
         "<r>\n    <a>\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80 &amp; &lt;x&gt;</a>\n</r>\n"},
        {VT_DATE, L"12/7/2026 9:05:00 AM", "<r>\n    <a>2026-12-07T09:05:00</a>\n</r>\n"},
        {VT_CY, L"12.5", "<r>\n    <a>12.5</a>\n</r>\n"},
        {VT_DECIMAL, L"-1.50", "<r>\n    <a>-1.5</a>\n</r>\n"},
        {VT_BOOL, L"True", "<r>\n    <a>true</a>\n</r>\n"},
    };
    for (const auto& c : cases) {
        Variant value;
        value.value.vt = VT_BSTR;
        value.value.bstrVal = SysAllocString(c.text);
        ASSERT_EQ(
            VariantChangeTypeEx(&value.value, &value.value, 0x0409, VARIANT_NOUSEROVERRIDE, c.type),
            S_OK)
            << c.type;
        Variant before;
        VariantCopy(&before.value, &value.value);
        VARIANT byReference;
        byReference.vt = VT_BYREF | VT_VARIANT;
        byReference.pvarVal = &value.value;
        EXPECT_EQ(Bstr(dll.setValue("<r><a>old</a></r>", "r/a", &byReference)).bytes(), c.result);
        EXPECT_EQ(VarCmp(&value.value, &before.value, 0x0409, 0), VARCMP_EQ) << c.type;
    }
}

TEST(EditVariants, AppendElementReadsAParamArrayOfTheCallersVariables) {
    PelzorDll dll;
    VARIANT variables[4];
    variables[0].vt = VT_BSTR;
    variables[0].bstrVal = SysAllocString(L"id");
    variables[1].vt = VT_I4;
    variables[1].lVal = 7;
    variables[2].vt = VT_BSTR;
    variables[2].bstrVal = SysAllocString(L"w\u00E4hrung");
    variables[3].vt = VT_R8;
    variables[3].dblVal = 0.1 + 0.2;
    Variant items;
    items.value.vt = VT_ARRAY | VT_VARIANT;
    items.value.parray = paramArray(variables, 4);
    const char expected[] =
        "<o>\n    <line id=\"7\" w\xC3\xA4hrung=\"0.30000000000000004\">x</line>\n</o>\n";
    EXPECT_EQ(Bstr(dll.appendElement("<o/>", "o", "line", "x", &items.value)).bytes(), expected);
    // The array by reference, as a Declare's ByRef ... As Variant passes an array variable.
    VARIANT byReference;
    byReference.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
    byReference.pparray = &items.value.parray;
    EXPECT_EQ(Bstr(dll.appendElement("<o/>", "o", "line", "x", &byReference)).bytes(), expected);
    EXPECT_EQ(std::wstring(variables[0].bstrVal), L"id");
    EXPECT_EQ(variables[3].vt, VT_R8);
    for (VARIANT& variable : variables) {
        VariantClear(&variable);
    }
    // A ParamArray given nothing: bounds 0 to -1.
    Variant none;
    none.value.vt = VT_ARRAY | VT_VARIANT;
    none.value.parray = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    EXPECT_EQ(Bstr(dll.appendElement("<o/>", "o", "line", "", &none.value)).bytes(),
              "<o>\n    <line />\n</o>\n");
}

ImportPatch* bytesPatch = nullptr;
bool failNext = false;

BSTR WINAPI failingSysAllocStringByteLen(LPCSTR text, UINT length) {
    if (failNext) {
        return nullptr;
    }
    using Real = BSTR(WINAPI*)(LPCSTR, UINT);
    return reinterpret_cast<Real>(bytesPatch->original())(text, length);
}

// The result string is the last thing each edit allocates; without it the result is null.
TEST(EditVariants, AResultStringThatCannotBeMadeGivesNull) {
    PelzorDll dll;
    ImportPatch bytes(dll.module(), "oleaut32.dll", "SysAllocStringByteLen",
                      reinterpret_cast<void*>(&failingSysAllocStringByteLen));
    bytesPatch = &bytes;
    ASSERT_NE(bytes.original(), nullptr);
    Variant value;
    value.value.vt = VT_BSTR;
    value.value.bstrVal = SysAllocString(L"v");
    failNext = true;
    EXPECT_TRUE(Bstr(dll.setValue("<r><a/></r>", "r/a", &value.value)).isNull());
    EXPECT_TRUE(Bstr(dll.appendElement("<r/>", "r", "n", "t", nullptr)).isNull());
    EXPECT_TRUE(Bstr(dll.removeNodes("<r><a/></r>", "r/a")).isNull());
    failNext = false;
    EXPECT_EQ(Bstr(dll.removeNodes("<r><a/></r>", "r/a")).bytes(), "<r />\n");
    bytesPatch = nullptr;
}

}  // namespace
