#include "nesting_scan.h"

#include <cstring>

namespace pelzor {

namespace {

using Byte = unsigned char;

Byte byteAt(const char* p) {
    return static_cast<Byte>(*p);
}

bool isSpace(Byte c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isAsciiLetter(Byte c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The parser takes every byte from 127 up for a letter.
bool isNameStart(Byte c) {
    return c >= 127 || isAsciiLetter(c) || c == '_';
}

bool isNameByte(Byte c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

bool isHexDigit(Byte c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

Byte lower(Byte c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Byte>(c - 'A' + 'a') : c;
}

// How many bytes the parser takes for a character starting with `lead` in UTF-8 mode.
int utf8Step(Byte lead) {
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 1;
}

bool startsWith(const char* p, const char* literal) {
    for (; *literal != 0; ++p, ++literal) {
        if (*p != *literal)
            return false;
    }
    return true;
}

bool startsWithIgnoringCase(const char* p, const char* literal) {
    for (; *literal != 0; ++p, ++literal) {
        if (lower(byteAt(p)) != lower(static_cast<Byte>(*literal)))
            return false;
    }
    return true;
}

// Each reader below returns the position after what it read, at most `end` when the text
// runs out, or null where the parser gives up on the text.
class Scanner {
public:
    Scanner(const char* text, std::size_t length) : end_(text + length) {}

    const char* end() const { return end_; }

    const char* past(const char* p, const char* terminator) const {
        const char* found = std::strstr(p, terminator);
        return found != nullptr ? found + std::strlen(terminator) : end_;
    }

    const char* pastByte(const char* p, char terminator) const {
        const char* found = std::strchr(p, terminator);
        return found != nullptr ? found + 1 : end_;
    }

    // One character of text or of a quoted value: a character reference as a whole, a
    // multi-byte sequence as a whole (even when it takes in markup), anything else one byte.
    const char* character(const char* p) const {
        if (*p == '&' && p[1] == '#' && p[2] != 0)
            return characterReference(p);
        return p + utf8Step(byteAt(p));
    }

    // The parser reads "&#...;" back from the first ';': all digits down to the '#' (or hex
    // digits down to the last 'x' for "&#x"), or it gives up on the text.
    const char* characterReference(const char* p) const {
        const bool hex = p[2] == 'x';
        if (hex && p[3] == 0)
            return nullptr;
        const char* semicolon = std::strchr(hex ? p + 3 : p + 2, ';');
        if (semicolon == nullptr)
            return nullptr;
        for (const char* q = semicolon - 1; *q != (hex ? 'x' : '#'); --q) {
            const bool digit = hex ? isHexDigit(byteAt(q)) : (*q >= '0' && *q <= '9');
            if (!digit)
                return nullptr;
        }
        return semicolon + 1;
    }

    // `p` follows the opening quote.
    const char* quotedValue(const char* p, char quote) const {
        while (p < end_ && *p != quote) {
            p = character(p);
            if (p == nullptr)
                return nullptr;
        }
        return p < end_ ? p + 1 : end_;
    }

    // White space as the parser skips it, byte-order marks included.
    const char* spaces(const char* p) const {
        while (p < end_) {
            if (startsWith(p, "\xEF\xBB\xBF") || startsWith(p, "\xEF\xBF\xBE") ||
                startsWith(p, "\xEF\xBF\xBF")) {
                p += 3;
            } else if (isSpace(byteAt(p))) {
                ++p;
            } else {
                break;
            }
        }
        return p;
    }

    // `p` follows the element's "<" and first name byte. Sets `opened` when the tag ends in
    // ">" (the element holds content) rather than "/>".
    const char* startTag(const char* p, bool& opened) const {
        while (p < end_) {
            if (*p == '"' || *p == '\'') {
                p = quotedValue(p + 1, *p);
                if (p == nullptr)
                    return nullptr;
            } else if (*p == '>') {
                opened = true;
                return p + 1;
            } else if (*p == '/' && p[1] == '>') {
                opened = false;
                return p + 2;
            } else {
                ++p;
            }
        }
        return end_;
    }

    // `p` follows "<?xml". Only the values of version, encoding and standalone are read as
    // attribute values; anything else runs to white space or '>'.
    const char* declaration(const char* p) const {
        while (p < end_) {
            if (*p == '>')
                return p + 1;
            p = spaces(p);
            if (startsWithIgnoringCase(p, "version") || startsWithIgnoringCase(p, "encoding") ||
                startsWithIgnoringCase(p, "standalone")) {
                p = declarationAttribute(p);
                if (p == nullptr)
                    return nullptr;
            } else {
                while (p < end_ && *p != '>' && !isSpace(byteAt(p)))
                    ++p;
            }
        }
        return end_;
    }

    const char* declarationAttribute(const char* p) const {
        while (isNameByte(byteAt(p)))
            ++p;
        p = spaces(p);
        if (*p != '=')
            return nullptr;
        p = spaces(p + 1);
        if (p >= end_)
            return nullptr;
        if (*p == '"' || *p == '\'')
            return quotedValue(p + 1, *p);
        for (; p < end_ && !isSpace(byteAt(p)) && *p != '/' && *p != '>'; ++p) {
            if (*p == '"' || *p == '\'')
                return nullptr;
        }
        return p;
    }

private:
    const char* end_;
};

}  // namespace

std::size_t nestingCutOffset(const char* text, std::size_t length, int depthLimit) {
    const Scanner scan(text, length);
    const char* p = text;
    int depth = 0;
    while (p != nullptr && p < scan.end()) {
        if (*p != '<') {
            p = scan.character(p);
        } else if (p[1] == '/' && depth > 0) {
            --depth;
            p = scan.pastByte(p + 2, '>');
        } else if (startsWithIgnoringCase(p, "<?xml")) {
            p = scan.declaration(p + 5);
        } else if (startsWith(p, "<!--")) {
            p = scan.past(p + 4, "-->");
        } else if (startsWith(p, "<![CDATA[")) {
            p = scan.past(p + 9, "]]>");
        } else if (isNameStart(byteAt(p + 1))) {
            if (depth >= depthLimit)
                return static_cast<std::size_t>(p - text);
            bool opened = false;
            p = scan.startTag(p + 2, opened);
            if (opened)
                ++depth;
        } else {
            // "<!DOCTYPE", "<?pi" and other markup the parser keeps unread up to its '>'.
            p = scan.pastByte(p + 1, '>');
        }
    }
    return length;
}

}  // namespace pelzor
