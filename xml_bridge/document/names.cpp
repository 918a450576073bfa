#include "document/names.h"

namespace pelzor {

namespace {

bool isNameStart(unsigned char c) {
    return c >= 0x7F || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isNameByte(unsigned char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

}  // namespace

bool isParserName(const char* text) {
    if (text == nullptr || !isNameStart(static_cast<unsigned char>(*text))) {
        return false;
    }
    for (const char* p = text + 1; *p != '\0'; ++p) {
        if (!isNameByte(static_cast<unsigned char>(*p))) {
            return false;
        }
    }
    return true;
}

}  // namespace pelzor
