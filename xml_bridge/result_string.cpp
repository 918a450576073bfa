#include "result_string.h"

#include <cstring>
#include <limits>

#include "byte_string.h"

namespace pelzor {

wchar_t* makeResultString(const char* text) {
    const std::size_t length = std::strlen(text);
    // A BSTR counts its bytes in 32 bits; a longer text cannot be represented.
    if (length > std::numeric_limits<std::uint32_t>::max() - 2) {
        return nullptr;
    }
    return allocByteString(text, static_cast<std::uint32_t>(length));
}

}  // namespace pelzor
