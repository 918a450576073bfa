#include "values/value_array.h"

namespace pelzor {

namespace {

SAFEARRAY* arrayOf(const ValueRef& value) {
    return value.isArray() && value.bits != nullptr ? value.array() : nullptr;
}

}  // namespace

ValueArray::ValueArray(const ValueRef& array)
    : elementType_(static_cast<VARTYPE>(array.type & VT_TYPEMASK)),
      array_(arrayOf(array)),
      data_(array_) {
    if (data_.data() == nullptr) {
        return;
    }
    dimensions_ = ole::dimensions(array_);
    const std::uint32_t size = ole::sizeOfElement(elementType_);
    elementSize_ = size == ole::elementSize(array_) ? size : 0;
    for (std::uint32_t d = 1; d <= 2 && d <= dimensions_; ++d) {
        std::int32_t upper = 0;
        if (!ole::bounds(array_, d, lower_[d - 1], upper)) {
            elementSize_ = 0;
            return;
        }
        const std::int64_t elements = std::int64_t{upper} - lower_[d - 1] + 1;
        count_[d - 1] = elements > 0 ? static_cast<std::size_t>(elements) : 0;
    }
}

ValueRef ValueArray::at(std::size_t index) const {
    const auto* data = static_cast<const unsigned char*>(data_.data());
    return elementValue(elementType_, data + index * elementSize_);
}

ValueRef ValueArray::at(std::size_t row, std::size_t column) const {
    // Column-major: the row, the leftmost index, changes fastest.
    return at(column * count_[0] + row);
}

}  // namespace pelzor
