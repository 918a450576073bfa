#pragma once
// The OLE Automation calls the library makes for values macro code hands over or gets back:
// VARIANTs, SAFEARRAYs and BSTRs of UTF-16 characters. On Windows they are oleaut32's own,
// so that what the library returns belongs to the caller, who frees it with the same calls.
// Elsewhere the same types (values/ole_native_types.h) and a stand-in for these calls on the
// library's heap let the library's logic build and be tested natively.
//
// Everything else in the library reaches OLE Automation through this header only.

#include <cstdint>
#include <memory>

#ifdef _WIN32
#include <windows.h>

#include <oleauto.h>
#else
#include "values/ole_native_types.h"
#endif

namespace pelzor::ole {

// SysAllocStringLen: `length` characters copied from `characters`, or left for the caller to
// fill when `characters` is null; null when memory runs out.
BSTR allocString(const OLECHAR* characters, std::uint32_t length);
void freeString(BSTR text);
std::uint32_t stringLength(BSTR text);

// SafeArrayCreate with `dimensions` bounds, the leftmost dimension first; its elements are
// zeroed (VT_EMPTY for Variants). Null when memory runs out.
SAFEARRAY* createArray(VARTYPE elementType, std::uint32_t dimensions, SAFEARRAYBOUND* bounds);
// SafeArrayDestroy: the elements' strings and Variants are freed with it.
void destroyArray(SAFEARRAY* array);
std::uint32_t dimensions(SAFEARRAY* array);
std::uint32_t elementSize(SAFEARRAY* array);
// The lower and upper bound of a dimension, counted from 1 (the leftmost); false when the
// array has no such dimension.
bool bounds(SAFEARRAY* array, std::uint32_t dimension, std::int32_t& lower, std::int32_t& upper);
// SafeArrayAccessData / SafeArrayUnaccessData: the elements, column-major (the leftmost
// index changes fastest), locked in place until released; null when it cannot be locked.
void* lockData(SAFEARRAY* array);
void unlockData(SAFEARRAY* array);

// The size of an array element of `type`; 0 for types the library does not read (records,
// pointers).
inline std::uint32_t sizeOfElement(VARTYPE type) {
    switch (type) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            return 8;
        case VT_DECIMAL:
            return sizeof(DECIMAL);
        case VT_BSTR:
            return sizeof(BSTR);
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return sizeof(void*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

// VariantClear: frees what the Variant holds and leaves it VT_EMPTY.
void clearVariant(VARIANT* value);

// Owns an array until it is handed over.
struct ArrayDestroyer {
    void operator()(SAFEARRAY* array) const { destroyArray(array); }
};
using OwnedArray = std::unique_ptr<SAFEARRAY, ArrayDestroyer>;

// Keeps an array's elements locked and addressable while it lives; a null array has none.
class LockedData {
public:
    explicit LockedData(SAFEARRAY* array)
        : array_(array), data_(array != nullptr ? lockData(array) : nullptr) {}
    ~LockedData() {
        if (data_ != nullptr) {
            unlockData(array_);
        }
    }
    LockedData(const LockedData&) = delete;
    LockedData& operator=(const LockedData&) = delete;

    void* data() const { return data_; }

private:
    SAFEARRAY* array_;
    void* data_;
};

}  // namespace pelzor::ole
