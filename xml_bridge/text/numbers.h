#pragma once
// Number conversions of element texts. They never touch the C runtime: in the Windows
// builds that runtime is shared with the whole host process, whose code may change its
// locale at any time, and the results must not move with it.

namespace pelzor {

// The text read as a decimal integer, as strtol with base 10 reads it: leading white space
// (space, tab, line feed, vertical tab, form feed, carriage return) skipped, an optional
// sign, then decimal digits up to the first other byte. No digit gives 0; values outside
// the 32-bit range are clamped to it.
int parseInteger(const char* text);

// The text read as a decimal floating number, as atof in the classic "C" locale reads it:
// white space, an optional sign, digits with an optional '.' and fraction (at least one
// digit in all), then an optional exponent introduced by e, E, d or D. Correctly rounded.
// No number gives 0.0; "inf", "nan" and hexadecimal forms are not numbers. Overflow gives
// an infinity of the same sign, underflow a zero.
double parseDouble(const char* text);

}  // namespace pelzor
