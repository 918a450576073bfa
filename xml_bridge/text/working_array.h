#pragma once
// The array getters' working array: `count` doubles on the library's heap, zero-filled,
// filled in order and never past its end, then handed to the caller in one block copy.

#include <cstddef>

namespace pelzor {

class WorkingArray {
public:
    // `count` must be positive. allocated() tells whether the memory was there.
    explicit WorkingArray(int count);
    ~WorkingArray();

    WorkingArray(const WorkingArray&) = delete;
    WorkingArray& operator=(const WorkingArray&) = delete;

    bool allocated() const { return values_ != nullptr; }
    // Every position holds a value; further values would be dropped.
    bool full() const { return next_ == count_; }

    // Stores `value` at the next free position; dropped when the array is full.
    void append(double value);
    // Copies all `count` doubles, zeros behind the last value included, into `values`.
    void copyTo(double* values) const;

private:
    double* values_;
    std::size_t count_;
    std::size_t next_ = 0;
};

}  // namespace pelzor
