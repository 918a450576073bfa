#include "values/value_text.h"

#include <cmath>
#include <cstdint>

#include "text/number_text.h"
#include "text/utf16.h"

namespace pelzor {

namespace {

void appendTwoDigits(int value, std::string& out) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

// The civil date of a day counted from 1970-01-01 (the proleptic Gregorian calendar).
void civilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

// An OLE date: days since 1899-12-30 before the point, the time of day after it, also for
// dates before 1899-12-30 (-1.25 is 1899-12-29 06:00). The time is rounded to the second,
// which may carry into the next day.
bool appendDateText(double date, std::string& out) {
    // 100-01-01 to 9999-12-31 23:59:59, the dates VBA holds.
    if (!std::isfinite(date) || date < -657435.0 || date >= 2958466.0) {
        return false;
    }
    double whole = std::trunc(date);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(date - whole) * 86400.0));
    auto dayNumber = static_cast<std::int64_t>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++dayNumber;
    }
    constexpr std::int64_t kDaysFrom1970To1899_12_30 = -25569;
    std::int64_t year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(dayNumber + kDaysFrom1970To1899_12_30, year, month, day);
    if (year < 100 || year > 9999) {
        return false;
    }
    appendTwoDigits(static_cast<int>(year / 100), out);
    appendTwoDigits(static_cast<int>(year % 100), out);
    out += '-';
    appendTwoDigits(month, out);
    out += '-';
    appendTwoDigits(day, out);
    if (seconds != 0) {
        out += 'T';
        appendTwoDigits(static_cast<int>(seconds / 3600), out);
        out += ':';
        appendTwoDigits(static_cast<int>(seconds / 60 % 60), out);
        out += ':';
        appendTwoDigits(static_cast<int>(seconds % 60), out);
    }
    return true;
}

// An integer of up to 96 bits divided by 10^scale, exactly: the digits with the point put in,
// the zeros at the end of the fraction left out.
void appendScaled(std::uint32_t high, std::uint64_t low, unsigned scale, bool negative,
                  std::string& out) {
    std::uint32_t limbs[3] = {high, static_cast<std::uint32_t>(low >> 32),
                              static_cast<std::uint32_t>(low)};
    char reversed[40];
    std::size_t count = 0;
    while (limbs[0] != 0 || limbs[1] != 0 || limbs[2] != 0) {
        std::uint64_t remainder = 0;
        for (std::uint32_t& limb : limbs) {
            const std::uint64_t current = (remainder << 32) | limb;
            limb = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
        reversed[count++] = static_cast<char>('0' + remainder);
    }
    while (count <= scale) {
        reversed[count++] = '0';  // a zero before the point, and leading zeros of the fraction
    }
    std::size_t fractionEnd = 0;  // the fraction's zeros at the end are left out
    while (fractionEnd < scale && reversed[fractionEnd] == '0') {
        ++fractionEnd;
    }
    const bool zero = count == scale + 1 && fractionEnd == scale && reversed[scale] == '0';
    if (negative && !zero) {
        out += '-';
    }
    for (std::size_t i = count; i > scale; --i) {
        out += reversed[i - 1];
    }
    if (fractionEnd < scale) {
        out += '.';
        for (std::size_t i = scale; i > fractionEnd; --i) {
            out += reversed[i - 1];
        }
    }
}

NoText appendString(BSTR text, std::string& out) {
    if (text != nullptr) {
        appendUtf8(text, ole::stringLength(text), out);
    }
    return NoText::None;
}

}  // namespace

NoText appendValueText(const ValueRef& value, std::string& text) {
    if (value.isArray()) {
        return NoText::Array;
    }
    switch (value.type) {
        case VT_EMPTY:
            return NoText::None;
        case VT_NULL:
            return NoText::Null;
        case VT_ERROR:
            return NoText::ErrorValue;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return NoText::Object;
        case VT_BSTR:
            return appendString(value.as<BSTR>(), text);
        case VT_R8: {
            const double number = value.as<double>();
            if (!std::isfinite(number)) {
                return NoText::NotFinite;
            }
            appendDoubleText(number, text);
            return NoText::None;
        }
        case VT_R4: {
            const float number = value.as<float>();
            if (!std::isfinite(number)) {
                return NoText::NotFinite;
            }
            appendFloatText(number, text);
            return NoText::None;
        }
        case VT_DATE:
            return appendDateText(value.as<double>(), text) ? NoText::None : NoText::DateOutOfRange;
        case VT_BOOL:
            text += value.as<VARIANT_BOOL>() != 0 ? "true" : "false";
            return NoText::None;
        case VT_CY: {
            const std::int64_t units = value.as<CY>().int64;
            const std::uint64_t magnitude = units < 0 ? 0 - static_cast<std::uint64_t>(units)
                                                      : static_cast<std::uint64_t>(units);
            appendScaled(0, magnitude, 4, units < 0, text);
            return NoText::None;
        }
        case VT_DECIMAL: {
            const DECIMAL& number = value.as<DECIMAL>();
            if (number.scale > 28) {
                return NoText::UnknownType;
            }
            appendScaled(number.Hi32, number.Lo64, number.scale, (number.sign & 0x80) != 0, text);
            return NoText::None;
        }
        case VT_I1:
            appendInteger(value.as<std::int8_t>(), text);
            return NoText::None;
        case VT_UI1:
            appendUnsigned(value.as<std::uint8_t>(), text);
            return NoText::None;
        case VT_I2:
            appendInteger(value.as<std::int16_t>(), text);
            return NoText::None;
        case VT_UI2:
            appendUnsigned(value.as<std::uint16_t>(), text);
            return NoText::None;
        case VT_I4:
        case VT_INT:
            appendInteger(value.as<std::int32_t>(), text);
            return NoText::None;
        case VT_UI4:
        case VT_UINT:
            appendUnsigned(value.as<std::uint32_t>(), text);
            return NoText::None;
        case VT_I8:
            appendInteger(value.as<std::int64_t>(), text);
            return NoText::None;
        case VT_UI8:
            appendUnsigned(value.as<std::uint64_t>(), text);
            return NoText::None;
        default:
            return NoText::UnknownType;
    }
}

const char* describeNoText(NoText why) {
    switch (why) {
        case NoText::None:
            return "a value";
        case NoText::Null:
            return "Null";
        case NoText::ErrorValue:
            return "an error value (such as #N/A)";
        case NoText::Object:
            return "an object";
        case NoText::Array:
            return "an array";
        case NoText::NotFinite:
            return "a number that is not finite";
        case NoText::DateOutOfRange:
            return "a date outside the years 100 to 9999";
        case NoText::UnknownType:
            return "a value of a type that has no text";
    }
    return "a value of a type that has no text";
}

}  // namespace pelzor
