#pragma once
// The OLE Automation types for builds without Windows' headers: VARIANT, SAFEARRAY, BSTR and
// the values a VARIANT holds, with the layout and the type codes Windows gives them (the
// strings' characters are UTF-16 code units here too), so that the library's VARIANT code
// builds and is tested natively unchanged. Only what the library reads and writes is here.

#include <cstdint>

using VARTYPE = std::uint16_t;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using VARIANT_BOOL = std::int16_t;
using SCODE = std::int32_t;
using DATE = double;

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_RECORD = 36,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0xfff,
};

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct CY {
    std::int64_t int64;  // the amount times 10,000
};

struct DECIMAL {
    std::uint16_t wReserved;  // the VARTYPE of a VARIANT that holds the DECIMAL
    std::uint8_t scale;       // powers of ten the 96-bit integer is divided by, 0 to 28
    std::uint8_t sign;        // 0x80 when negative
    std::uint32_t Hi32;
    std::uint64_t Lo64;
};

struct SAFEARRAYBOUND {
    std::uint32_t cElements;
    std::int32_t lLbound;
};

struct SAFEARRAY {
    std::uint16_t cDims;
    std::uint16_t fFeatures;
    std::uint32_t cbElements;
    std::uint32_t cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

struct tagVARIANT {
    union {
        struct {
            VARTYPE vt;
            std::uint16_t wReserved1;
            std::uint16_t wReserved2;
            std::uint16_t wReserved3;
            union {
                std::int64_t llVal;
                std::int32_t lVal;
                std::uint8_t bVal;
                std::int16_t iVal;
                float fltVal;
                double dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                void* punkVal;
                void* pdispVal;
                SAFEARRAY* parray;
                std::int8_t cVal;
                std::uint16_t uiVal;
                std::uint32_t ulVal;
                std::uint64_t ullVal;
                std::int32_t intVal;
                std::uint32_t uintVal;
                DECIMAL* pdecVal;
                SAFEARRAY** pparray;
                tagVARIANT* pvarVal;
                void* byref;
            };
        };
        DECIMAL decVal;
    };
};
using VARIANT = tagVARIANT;
