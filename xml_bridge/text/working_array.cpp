#include "text/working_array.h"

#include <cstring>

#include "memory/call_memory.h"

namespace pelzor {

WorkingArray::WorkingArray(int count)
    : values_(static_cast<double*>(
          heapAllocateZeroed(static_cast<std::size_t>(count), sizeof(double)))),
      count_(values_ != nullptr ? static_cast<std::size_t>(count) : 0) {}

WorkingArray::~WorkingArray() {
    heapFree(values_);
}

void WorkingArray::append(double value) {
    if (!full()) {
        values_[next_++] = value;
    }
}

void WorkingArray::copyTo(double* values) const {
    std::memcpy(values, values_, count_ * sizeof(double));
}

}  // namespace pelzor
