#include "text/numbers.h"

#include <fast_float/fast_float.h>

#include <cstdint>
#include <string>

namespace pelzor {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

const char* skipSpace(const char* p) {
    while (isSpace(*p)) {
        ++p;
    }
    return p;
}

const char* skipDigits(const char* p) {
    while (isDigit(*p)) {
        ++p;
    }
    return p;
}

bool isExponentLetter(char c) {
    return c == 'e' || c == 'E' || c == 'd' || c == 'D';
}

// The end of the number that starts at `p` (after the sign), or `p` itself when no
// number starts there.
const char* endOfDecimal(const char* p) {
    const char* q = skipDigits(p);
    bool hasDigits = q != p;
    if (*q == '.') {
        const char* fraction = q + 1;
        q = skipDigits(fraction);
        hasDigits = hasDigits || q != fraction;
    }
    if (!hasDigits) {
        return p;
    }
    if (isExponentLetter(*q)) {
        const char* exponent = q + 1;
        if (*exponent == '+' || *exponent == '-') {
            ++exponent;
        }
        if (isDigit(*exponent)) {
            q = skipDigits(exponent);
        }
    }
    return q;
}

double convertDecimal(const char* first, const char* last) {
    double value = 0.0;
    const char* letter = first;
    while (letter != last && *letter != 'd' && *letter != 'D') {
        ++letter;
    }
    if (letter == last) {
        fast_float::from_chars(first, last, value);
        return value;
    }
    // The Fortran exponent letter: convert a copy spelled with 'e'.
    std::string spelled(first, last);
    spelled[letter - first] = 'e';
    fast_float::from_chars(spelled.data(), spelled.data() + spelled.size(), value);
    return value;
}

}  // namespace

int parseInteger(const char* text) {
    const char* p = skipSpace(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    // Accumulate the magnitude with saturation just past the 32-bit range.
    constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
    std::int64_t magnitude = 0;
    for (; isDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    return static_cast<int>(value);
}

double parseDouble(const char* text) {
    const char* p = skipSpace(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    const char* end = endOfDecimal(p);
    if (end == p) {
        return 0.0;
    }
    const double magnitude = convertDecimal(p, end);
    return negative ? -magnitude : magnitude;
}

}  // namespace pelzor
