#include "text/result_string.h"

#include <cstring>
#include <limits>

#include "text/byte_string.h"

namespace pelzor {

wchar_t* makeResultString(const char* text) {
    return makeResultBytes(text, std::strlen(text));
}

wchar_t* makeResultBytes(const char* bytes, std::size_t length) {
    // A BSTR counts its bytes in 32 bits; a longer text cannot be represented.
    if (length > std::numeric_limits<std::uint32_t>::max() - 2) {
        return nullptr;
    }
    return allocByteString(bytes, static_cast<std::uint32_t>(length));
}

wchar_t* makeResultToWrite(std::uint64_t length, char*& bytes) {
    if (length > std::numeric_limits<std::uint32_t>::max() - 2) {
        return nullptr;
    }
    wchar_t* result = allocByteString(nullptr, static_cast<std::uint32_t>(length));
    bytes = reinterpret_cast<char*>(result);
    return result;
}

}  // namespace pelzor
