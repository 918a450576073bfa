#pragma once
// Numbers written as document text and read back, the same in every locale: "." as the
// point, no grouping, nothing from the C runtime.

#include <cstdint>
#include <string>

namespace pelzor {

// Whether `text` (NUL-terminated) is a number written plainly, and then its value as
// parseDouble reads it. Plainly means: an optional '-'; digits without a leading zero (a
// single 0 before the point or alone is fine); optionally a point and digits; optionally an
// exponent (e or E, an optional sign, digits); finite as a double; and either at most 15
// significant digits, or a point or an exponent and exactly the significant digits of the
// double's shortest round-trip form. Significant digits run from the first non-zero digit to
// the last non-zero digit. So "007", "+1", "1,5", " 5", "NaN" and a 16-digit account number
// are not numbers, while "0.30000000000000004" is.
bool readPlainNumber(const char* text, double& value);

// Appends the shortest text that readPlainNumber reads back as exactly `value` (finite):
// plain digits ("0.5", "1000", "-0", "0.30000000000000004"), or with an exponent where the
// plain form would not be read back as a number (a whole number of more than 15 significant
// digits: "1.152921504606847e18").
void appendDoubleText(double value, std::string& out);
// The same for a single-precision value, with the shortest digits that give back that
// single ("0.1" for 0.1f).
void appendFloatText(float value, std::string& out);

void appendInteger(std::int64_t value, std::string& out);
void appendUnsigned(std::uint64_t value, std::string& out);

}  // namespace pelzor
