#pragma once
// An array macro code handed over (a ValueRef whose type has VT_ARRAY), read in place while
// the object lives: its dimensions and bounds, and each element as a ValueRef. The elements
// stay locked for that time.

#include <cstddef>
#include <cstdint>

#include "values/ole.h"
#include "values/value_ref.h"

namespace pelzor {

class ValueArray {
public:
    explicit ValueArray(const ValueRef& array);
    ValueArray(const ValueArray&) = delete;
    ValueArray& operator=(const ValueArray&) = delete;

    // Whether an array is there at all: an array that was never sized is a null one.
    bool exists() const { return array_ != nullptr; }
    // False when the elements cannot be read: no array, an element type whose values the
    // library does not know (records, pointers), or elements of another size than their type.
    bool readable() const { return data_.data() != nullptr && elementSize_ != 0; }
    std::uint32_t dimensions() const { return dimensions_; }
    // Bounds of the first two dimensions (the rows and columns of a two-dimensional array).
    std::int32_t lower(std::uint32_t dimension) const { return lower_[dimension - 1]; }
    std::size_t count(std::uint32_t dimension) const { return count_[dimension - 1]; }

    // The element at offsets from the lower bounds: `index` in a one-dimensional array.
    ValueRef at(std::size_t index) const;
    // The element at offsets from the lower bounds of a two-dimensional array.
    ValueRef at(std::size_t row, std::size_t column) const;

private:
    VARTYPE elementType_;
    SAFEARRAY* array_;
    ole::LockedData data_;
    std::uint32_t dimensions_ = 0;
    std::uint32_t elementSize_ = 0;
    std::int32_t lower_[2] = {0, 0};
    std::size_t count_[2] = {0, 0};
};

}  // namespace pelzor
