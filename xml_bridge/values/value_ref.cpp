#include "values/value_ref.h"

namespace pelzor {

namespace {
// VBA passes a Variant by reference at most a few levels deep; the bound keeps a Variant that
// refers to itself from being followed forever.
constexpr int kMostReferences = 8;
}  // namespace

ValueRef valueOf(const VARIANT* value) {
    for (int depth = 0; value != nullptr && depth < kMostReferences; ++depth) {
        const VARTYPE type = value->vt;
        if (type == (VT_BYREF | VT_VARIANT)) {
            value = value->pvarVal;
            continue;
        }
        if ((type & VT_BYREF) != 0) {
            if (value->byref == nullptr) {
                return ValueRef{};
            }
            return ValueRef{static_cast<VARTYPE>(type & ~VT_BYREF), value->byref};
        }
        if (type == VT_DECIMAL) {
            return ValueRef{type, &value->decVal};
        }
        if (type == VT_EMPTY || type == VT_NULL) {
            return ValueRef{type, nullptr};
        }
        return ValueRef{type, &value->llVal};
    }
    return ValueRef{};
}

ValueRef elementValue(VARTYPE elementType, const void* element) {
    if (elementType == VT_VARIANT) {
        return valueOf(static_cast<const VARIANT*>(element));
    }
    return ValueRef{elementType, element};
}

}  // namespace pelzor
