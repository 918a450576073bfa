#include "text/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "text/numbers.h"

namespace pelzor {

namespace {

constexpr std::size_t kMostPlainDigits = 15;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number's significant digits and the decimal exponent of the first of them.
struct Digits {
    char digits[32];
    std::size_t count = 0;
    int exponent = 0;
};

// The shortest digits that read back as `value` (finite, not zero), from the C++ library's
// shortest round-trip conversion, which consults no locale.
template <typename Floating>
Digits shortestDigits(Floating value) {
    char text[64];
    const std::to_chars_result written =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    Digits result;
    const char* p = text;
    if (*p == '-') {
        ++p;
    }
    for (; p < written.ptr && *p != 'e'; ++p) {
        if (isDigit(*p)) {
            result.digits[result.count++] = *p;
        }
    }
    // "e+NN" or "e-NN"
    const bool negative = p[1] == '-';
    int exponent = 0;
    for (p += 2; p < written.ptr; ++p) {
        exponent = exponent * 10 + (*p - '0');
    }
    result.exponent = negative ? -exponent : exponent;
    while (result.count > 1 && result.digits[result.count - 1] == '0') {
        --result.count;
    }
    return result;
}

// Reads `p` over digits, appending the significant ones (leading zeros left out) to `digits`.
const char* readDigits(const char* p, std::string& digits) {
    for (; isDigit(*p); ++p) {
        if (*p != '0' || !digits.empty()) {
            digits += *p;
        }
    }
    return p;
}

void appendDigits(const Digits& number, std::string& out) {
    const int count = static_cast<int>(number.count);
    if (number.exponent >= count - 1) {
        // A whole number: the digits, then zeros.
        out.append(number.digits, number.count);
        out.append(static_cast<std::size_t>(number.exponent - (count - 1)), '0');
    } else if (number.exponent >= 0) {
        out.append(number.digits, static_cast<std::size_t>(number.exponent + 1));
        out += '.';
        out.append(number.digits + number.exponent + 1,
                   static_cast<std::size_t>(count - number.exponent - 1));
    } else {
        out += "0.";
        out.append(static_cast<std::size_t>(-number.exponent - 1), '0');
        out.append(number.digits, number.count);
    }
}

void appendWithExponent(const Digits& number, std::string& out) {
    out += number.digits[0];
    if (number.count > 1) {
        out += '.';
        out.append(number.digits + 1, number.count - 1);
    }
    out += 'e';
    appendInteger(number.exponent, out);
}

template <typename Floating>
void appendFloating(Floating value, std::string& out) {
    if (std::signbit(value)) {
        out += '-';
        value = -value;
    }
    if (value == 0) {
        out += '0';
        return;
    }
    const Digits number = shortestDigits(value);
    const bool whole = number.exponent >= static_cast<int>(number.count) - 1;
    if (whole && number.count > kMostPlainDigits) {
        appendWithExponent(number, out);
    } else {
        appendDigits(number, out);
    }
}

}  // namespace

bool readPlainNumber(const char* text, double& value) {
    const char* p = text;
    if (*p == '-') {
        ++p;
    }
    std::string significant;
    if (*p == '0') {
        ++p;
        if (isDigit(*p)) {
            return false;
        }
    } else if (isDigit(*p)) {
        p = readDigits(p, significant);
    } else {
        return false;
    }
    const bool point = *p == '.';
    if (point) {
        ++p;
        if (!isDigit(*p)) {
            return false;
        }
        p = readDigits(p, significant);
    }
    const bool exponent = *p == 'e' || *p == 'E';
    if (exponent) {
        ++p;
        if (*p == '+' || *p == '-') {
            ++p;
        }
        if (!isDigit(*p)) {
            return false;
        }
        while (isDigit(*p)) {
            ++p;
        }
    }
    if (*p != '\0') {
        return false;
    }
    while (!significant.empty() && significant.back() == '0') {
        significant.pop_back();
    }
    value = parseDouble(text);
    if (!std::isfinite(value)) {
        return false;
    }
    if (significant.size() <= kMostPlainDigits) {
        return true;
    }
    if (!point && !exponent) {
        return false;
    }
    const Digits shortest = shortestDigits(std::fabs(value));
    return significant.size() == shortest.count &&
           std::memcmp(significant.data(), shortest.digits, shortest.count) == 0;
}

void appendDoubleText(double value, std::string& out) {
    appendFloating(value, out);
}

void appendFloatText(float value, std::string& out) {
    appendFloating(value, out);
}

void appendInteger(std::int64_t value, std::string& out) {
    if (value < 0) {
        out += '-';
        // The magnitude of the most negative value does not fit the signed type.
        appendUnsigned(0 - static_cast<std::uint64_t>(value), out);
        return;
    }
    appendUnsigned(static_cast<std::uint64_t>(value), out);
}

void appendUnsigned(std::uint64_t value, std::string& out) {
    char digits[20];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        out += digits[--count];
    }
}

}  // namespace pelzor
