#pragma once
// A value macro code handed over, seen through any reference: its type and the address of
// its bits, read in place. A Variant passed by reference (VT_BYREF), a Variant that holds a
// reference to another Variant, and an element of an array all come down to the same: a
// type without the reference flag (VT_ARRAY may remain) and where the value lies.

#include "values/ole.h"

namespace pelzor {

struct ValueRef {
    VARTYPE type = VT_EMPTY;
    // The value's bits: a double for VT_R8, a BSTR for VT_BSTR, a DECIMAL for VT_DECIMAL, a
    // SAFEARRAY* for an array, and so on. Null for VT_EMPTY and VT_NULL.
    const void* bits = nullptr;

    bool isEmpty() const { return type == VT_EMPTY; }
    bool isArray() const { return (type & VT_ARRAY) != 0; }
    SAFEARRAY* array() const { return *static_cast<SAFEARRAY* const*>(bits); }

    template <typename T>
    T as() const {
        return *static_cast<const T*>(bits);
    }
};

// The value a Variant holds, through VT_BYREF and references to Variants (as many as macro
// code can stack; a chain longer than that reads as VT_EMPTY). A null pointer reads as
// VT_EMPTY.
ValueRef valueOf(const VARIANT* value);

// An array element of `elementType` at `element`; a Variant element is read as valueOf reads
// it.
ValueRef elementValue(VARTYPE elementType, const void* element);

}  // namespace pelzor
