// The OLE Automation calls on Windows: oleaut32 itself.
#include "values/ole.h"

namespace pelzor::ole {

BSTR allocString(const OLECHAR* characters, std::uint32_t length) {
    return SysAllocStringLen(characters, length);
}

void freeString(BSTR text) {
    SysFreeString(text);
}

std::uint32_t stringLength(BSTR text) {
    return SysStringLen(text);
}

SAFEARRAY* createArray(VARTYPE elementType, std::uint32_t dimensions, SAFEARRAYBOUND* bounds) {
    return SafeArrayCreate(elementType, dimensions, bounds);
}

void destroyArray(SAFEARRAY* array) {
    if (array != nullptr) {
        SafeArrayDestroy(array);
    }
}

std::uint32_t dimensions(SAFEARRAY* array) {
    return SafeArrayGetDim(array);
}

std::uint32_t elementSize(SAFEARRAY* array) {
    return SafeArrayGetElemsize(array);
}

bool bounds(SAFEARRAY* array, std::uint32_t dimension, std::int32_t& lower, std::int32_t& upper) {
    LONG low = 0;
    LONG high = 0;
    if (FAILED(SafeArrayGetLBound(array, dimension, &low)) ||
        FAILED(SafeArrayGetUBound(array, dimension, &high))) {
        return false;
    }
    lower = low;
    upper = high;
    return true;
}

void* lockData(SAFEARRAY* array) {
    void* data = nullptr;
    return SUCCEEDED(SafeArrayAccessData(array, &data)) ? data : nullptr;
}

void unlockData(SAFEARRAY* array) {
    SafeArrayUnaccessData(array);
}

void clearVariant(VARIANT* value) {
    // A Variant whose type oleaut32 does not know (garbage from the caller) is not changed by
    // VariantClear; it is taken as holding nothing.
    if (FAILED(VariantClear(value))) {
        value->vt = VT_EMPTY;
    }
}

}  // namespace pelzor::ole
