#include "values/ole_string.h"

#include <limits>

#include "text/utf16.h"

namespace pelzor {

BSTR newOleString(const char* text, std::size_t length) {
    const std::size_t units = utf16Length(text, length);
    if (units > std::numeric_limits<std::uint32_t>::max() / 2 - 2) {
        return nullptr;
    }
    BSTR string = ole::allocString(nullptr, static_cast<std::uint32_t>(units));
    if (string != nullptr) {
        utf8ToUtf16(text, length, string);
    }
    return string;
}

}  // namespace pelzor
