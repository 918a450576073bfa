#pragma once
// The one conversion of a value macro code hands over into document text, the same in every
// locale:
//   - strings as they are (UTF-16 to UTF-8, every character kept; a null string is "");
//   - Doubles as the shortest text that the table reader gives back as the same Double
//     (text/number_text.h); Singles likewise with a Single's shortest digits;
//   - Byte, Integer, Long, LongLong (and the other integer types) as their decimal digits;
//     Currency and Decimal as their exact decimal text, without trailing zeros after the point;
//   - dates as ISO 8601: "2026-12-07", or "2026-12-07T09:05:00" when there is a time of day
//     (to the nearest second);
//   - Booleans as "true" and "false";
//   - Empty as "".
// Null, error values (#N/A), objects, arrays, infinities and NaN, and dates outside the years
// 100 to 9999 have no text.

#include <string>

#include "values/value_ref.h"

namespace pelzor {

enum class NoText {
    None,  // the value has a text
    Null,
    ErrorValue,
    Object,
    Array,
    NotFinite,
    DateOutOfRange,
    UnknownType,
};

// Appends the text of `value` to `text` and returns NoText::None, or returns why it has none
// (and leaves `text` as it was).
NoText appendValueText(const ValueRef& value, std::string& text);

// What the value is, for a message: "Null", "an error value (such as #N/A)", ...
const char* describeNoText(NoText why);

}  // namespace pelzor
