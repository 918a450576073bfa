#pragma once
// What the benchmarks do with a call's result: drop it after the call (freeing a result
// string), or turn it into text once so that the library's answer can be compared with the
// direct use's answer before anything is timed.

#include <cstdio>
#include <string>
#include <vector>

#include "text/byte_string.h"

namespace bench {

// Makes the optimiser treat `value` as used, so that the call that made it stays.
template <typename Value>
inline void keep(const Value& value) {
    asm volatile("" : : "r,m"(value) : "memory");
}

inline void consume(wchar_t* result) {
    keep(result);
    pelzor::freeByteString(result);
}

template <typename Value>
void consume(Value result) {
    keep(result);
}

inline std::string describe(wchar_t* result) {
    std::string bytes(reinterpret_cast<const char*>(result), pelzor::byteStringLength(result));
    pelzor::freeByteString(result);
    return bytes;
}

inline std::string describe(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

inline std::string describe(int value) {
    return std::to_string(value);
}

inline std::string describe(const std::vector<double>* values) {
    std::string text;
    for (double value : *values) {
        text += describe(value) + ",";
    }
    return text;
}

}  // namespace bench
