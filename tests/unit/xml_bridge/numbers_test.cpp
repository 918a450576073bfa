// The integer and floating grammars of element texts, independent of the C runtime.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "text/numbers.h"

namespace {

struct IntegerCase {
    const char* text;
    int expected;
};

const IntegerCase kIntegerCases[] = {
    {"42", 42},
    {"42abc", 42},
    {"-0", 0},
    {"+17", 17},
    {" \t\n\v\f\r8", 8},
    {"007", 7},
    {"0x1F", 0},
    {"12.9", 12},
    {"1e3", 1},
    {"", 0},
    {"abc", 0},
    {"-", 0},
    {"+-3", 0},
    {"- 3", 0},
    {"2147483647", 2147483647},
    {"2147483648", 2147483647},
    {"-2147483648", -2147483647 - 1},
    {"-2147483649", -2147483647 - 1},
    {"99999999999", 2147483647},
    {"-99999999999", -2147483647 - 1},
    {"000000000000000000000000000000000000012", 12},
    {"99999999999999999999999999999999999999999", 2147483647},
};

class IntegerGrammar : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerGrammar, ReadsLikeStrtolClampedTo32Bits) {
    EXPECT_EQ(pelzor::parseInteger(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, IntegerGrammar, ::testing::ValuesIn(kIntegerCases));

struct DoubleCase {
    const char* text;
    double expected;
};

const double kInfinity = std::numeric_limits<double>::infinity();

const DoubleCase kDoubleCases[] = {
    {"2.5e3", 2500.0},
    {"2.5E3", 2500.0},
    {"2.5d3", 2500.0},
    {"2.5D3", 2500.0},
    {".5", 0.5},
    {"5.", 5.0},
    {"-.5", -0.5},
    {"+1.5", 1.5},
    {"1,5", 1.0},
    {"inf", 0.0},
    {"nan", 0.0},
    {"-infinity", 0.0},
    {"0x1p3", 0.0},
    {".", 0.0},
    {"", 0.0},
    {"-", 0.0},
    {"e5", 0.0},
    {" \t\n\v\f\r3.25", 3.25},
    {"1e", 1.0},
    {"1e+", 1.0},
    {"1d-", 1.0},
    {"1.5e-2x", 0.015},
    {"12abc", 12.0},
    {"0.1", 0.1},
    {"1e999", kInfinity},
    {"-1e999", -kInfinity},
    {"1e-999", 0.0},
    {"4.9406564584124654e-324", 4.9406564584124654e-324},
    {"2.2250738585072011e-308", 2.2250738585072011e-308},
    {"1.7976931348623157e308", 1.7976931348623157e308},
    {"9007199254740993", 9007199254740992.0},  // a tie: rounds to even
    {"9007199254740993.0000000000000000000001", 9007199254740994.0},
    {"123456789012345678901234567890", 1.2345678901234568e29},
    {"1e99999999999999999999", kInfinity},
    {"0e99999999999999999999", 0.0},
};

class DoubleGrammar : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleGrammar, ReadsLikeAtofCorrectlyRounded) {
    EXPECT_EQ(pelzor::parseDouble(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, DoubleGrammar, ::testing::ValuesIn(kDoubleCases));

TEST(DoubleGrammarLimits, NegativeZeroKeepsItsSign) {
    EXPECT_TRUE(std::signbit(pelzor::parseDouble("-0")));
    EXPECT_TRUE(std::signbit(pelzor::parseDouble("-1e-999")));
}

TEST(DoubleGrammarLimits, AgreesWithStrtodOnManyShortDecimals) {
    // glibc's strtod is correctly rounded in the "C" locale; compare over a spread of
    // mantissas and exponents, in both spellings of the exponent.
    std::srand(7);
    for (int i = 0; i < 20000; ++i) {
        const std::string mantissa =
            std::to_string(std::rand()) + "." + std::to_string(std::rand());
        const std::string exponent = std::to_string(std::rand() % 640 - 320);
        const std::string text = mantissa + "e" + exponent;
        const double expected = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(pelzor::parseDouble(text.c_str()), expected) << text;
        ASSERT_EQ(pelzor::parseDouble((mantissa + "D" + exponent).c_str()), expected) << text;
    }
}

TEST(DoubleGrammarLimits, IgnoresTheProcessLocale) {
    const char* chosen = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    if (chosen == nullptr) {
        GTEST_SKIP() << "no German locale on this machine";
    }
    EXPECT_EQ(pelzor::parseDouble("1.25"), 1.25);
    EXPECT_EQ(pelzor::parseDouble("1,25"), 1.0);
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
