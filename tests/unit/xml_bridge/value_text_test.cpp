// The number rule of table cells, the text of doubles that reads back to the same bits, and
// the one conversion of a value into document text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "table_values.h"
#include "text/number_text.h"
#include "values/value_text.h"

namespace {

TEST(NumberRule, OnlyPlainlyWrittenNumbersAreNumbers) {
    const struct {
        const char* text;
        bool number;
        double value;
    } cases[] = {
        {"0", true, 0.0},
        {"-0", true, -0.0},
        {"0.5", true, 0.5},
        {"-12.25", true, -12.25},
        {"1.50", true, 1.5},
        {"1e5", true, 1e5},
        {"2.5E-3", true, 2.5e-3},
        {"1e+300", true, 1e300},
        {"123456789012345", true, 123456789012345.0},
        {"100000000000000000000", true, 1e20},  // one significant digit
        {"0.30000000000000004", true, 0.30000000000000004},
        {"1.2345678901234567e3", true, 1234.5678901234567},
        {"1e-400", true, 0.0},
        {"007", false, 0},
        {"00.5", false, 0},
        {"+1", false, 0},
        {"1,5", false, 0},
        {"1 000", false, 0},
        {" 5", false, 0},
        {"5 ", false, 0},
        {"0x1F", false, 0},
        {"NaN", false, 0},
        {"inf", false, 0},
        {".5", false, 0},
        {"5.", false, 0},
        {"1e", false, 0},
        {"1e+", false, 0},
        {"1d3", false, 0},
        {"-", false, 0},
        {"", false, 0},
        {"1e400", false, 0},
        {"1234567890123456", false, 0},       // 16 digits, an account number
        {"0.3000000000000000444", false, 0},  // more digits than the double's shortest form
        {"1.23456789012345678", false, 0},
    };
    for (const auto& c : cases) {
        double value = 99;
        EXPECT_EQ(pelzor::readPlainNumber(c.text, value), c.number) << c.text;
        if (c.number) {
            EXPECT_EQ(std::memcmp(&value, &c.value, sizeof value), 0) << c.text << " " << value;
        }
    }
}

std::string doubleText(double value) {
    std::string out;
    pelzor::appendDoubleText(value, out);
    return out;
}

TEST(DoubleText, IsTheShortestPlainTextOrAnExponentWhereThatWouldNotReadBack) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.5, "0.5"},
        {-0.0, "-0"},
        {1000, "1000"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1e-7, "0.0000001"},
        {123456789012345, "123456789012345"},
        {1e21, "1000000000000000000000"},
        {1152921504606846976.0, "1.152921504606847e18"},
        {-1234567890123456.0, "-1.234567890123456e15"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e308"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doubleText(c.value), c.text);
    }
    std::string single;
    pelzor::appendFloatText(0.1f, single);
    EXPECT_EQ(single, "0.1");
}

// Every finite double, whatever its bits, reads back as itself through the number rule.
TEST(DoubleText, ReadsBackBitForBit) {
    std::mt19937_64 random(32);
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) {
            continue;
        }
        const std::string text = doubleText(value);
        double back = 0;
        ASSERT_TRUE(pelzor::readPlainNumber(text.c_str(), back)) << text;
        ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
    }
}

VARIANT typed(VARTYPE type, std::uint64_t bits) {
    VARIANT v = ofType(type);
    v.ullVal = bits;
    return v;
}

VARIANT currency(std::int64_t units) {
    VARIANT v = ofType(VT_CY);
    v.cyVal.int64 = units;
    return v;
}

VARIANT decimal(std::uint32_t high, std::uint64_t low, std::uint8_t scale, bool negative) {
    VARIANT v{};
    v.decVal.Hi32 = high;
    v.decVal.Lo64 = low;
    v.decVal.scale = scale;
    v.decVal.sign = negative ? 0x80 : 0;
    v.vt = VT_DECIMAL;
    return v;
}

VARIANT date(double days) {
    VARIANT v = ofType(VT_DATE);
    v.date = days;
    return v;
}

std::string valueText(const VARIANT& value) {
    std::string out = "[";
    const pelzor::NoText why = pelzor::appendValueText(pelzor::valueOf(&value), out);
    return why == pelzor::NoText::None ? out.substr(1) : pelzor::describeNoText(why);
}

TEST(ValueText, IsTheSameInEveryLocale) {
    VARIANT nullString = ofType(VT_BSTR);
    VARIANT byRefDouble = ofType(VT_BYREF | VT_R8);
    double referenced = 2.5;
    byRefDouble.byref = &referenced;
    VARIANT inner = date(46363);
    VARIANT byRefVariant = ofType(VT_BYREF | VT_VARIANT);
    byRefVariant.pvarVal = &inner;
    VARIANT array = ofType(VT_ARRAY | VT_VARIANT);
    const struct {
        VARIANT value;
        const char* text;
    } cases[] = {
        {empty(), ""},
        {nullString, ""},
        {number(0.5), "0.5"},
        {byRefDouble, "2.5"},
        {typed(VT_I4, static_cast<std::uint32_t>(-42)), "-42"},
        {typed(VT_I2, 0x8000), "-32768"},
        {typed(VT_UI1, 255), "255"},
        {typed(VT_I8, 0x8000000000000000u), "-9223372036854775808"},
        {typed(VT_BOOL, 0xFFFF), "true"},
        {typed(VT_BOOL, 0), "false"},
        {currency(125000), "12.5"},
        {currency(-1), "-0.0001"},
        {currency(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808"},
        {decimal(0, 150, 2, false), "1.5"},
        {decimal(0, 5, 3, true), "-0.005"},
        {decimal(0, 0, 4, true), "0"},
        {decimal(0xFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 0, false), "79228162514264337593543950335"},
        {decimal(0xFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 28, false), "7.9228162514264337593543950335"},
        {date(46363), "2026-12-07"},
        {date(46363 + 32700.0 / 86400), "2026-12-07T09:05:00"},
        {date(46363.99999999), "2026-12-08"},  // to the nearest second
        {date(-1.25), "1899-12-29T06:00:00"},
        {date(-657434), "0100-01-01"},
        {date(2958465.5), "9999-12-31T12:00:00"},
        {byRefVariant, "2026-12-07"},
        {date(-657435), "a date outside the years 100 to 9999"},
        {date(2958466), "a date outside the years 100 to 9999"},
        {number(std::nan("")), "a number that is not finite"},
        {ofType(VT_NULL), "Null"},
        {typed(VT_ERROR, 0x800A07FA), "an error value (such as #N/A)"},
        {ofType(VT_DISPATCH), "an object"},
        {array, "an array"},
        {decimal(0, 1, 29, false), "a value of a type that has no text"},
        {ofType(VT_RECORD), "a value of a type that has no text"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(valueText(c.value), c.text) << c.text;
    }
    OwnedVariant greek;
    greek.value = text("\xCE\xB1\xF0\x9F\x98\x80");  // alpha, then an emoji's surrogate pair
    EXPECT_EQ(pelzor::ole::stringLength(greek.value.bstrVal), 3u);
    EXPECT_EQ(valueText(greek.value), "\xCE\xB1\xF0\x9F\x98\x80");
}

}  // namespace
