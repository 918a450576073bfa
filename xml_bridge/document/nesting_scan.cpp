#include "document/nesting_scan.h"

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
constexpr int utf8Step(Byte lead) {
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

// The bytes where each of the scan's loops has something to decide, as bit sets per byte
// value. Every other byte is one step that changes nothing, so the loops skip runs of them.
// NUL belongs to every set: the NUL behind the text ends every run without a bounds check.
enum StopSet : Byte {
    // Between elements: markup, references, and multi-byte sequences (which may swallow a
    // '<').
    kStopsInText = 1,
    // In a quoted value: either quote, references and multi-byte sequences.
    kStopsInQuotedValue = 2,
    // In a start tag outside its values: quotes, '>' and '/'.
    kStopsInStartTag = 4,
};

struct ByteClasses {
    Byte stops[256];
};

constexpr ByteClasses makeByteClasses() {
    ByteClasses classes{};
    constexpr Byte kEverySet = kStopsInText | kStopsInQuotedValue | kStopsInStartTag;
    classes.stops[0] = kEverySet;
    classes.stops[static_cast<Byte>('<')] |= kStopsInText;
    classes.stops[static_cast<Byte>('&')] |= kStopsInText | kStopsInQuotedValue;
    classes.stops[static_cast<Byte>('"')] |= kStopsInQuotedValue | kStopsInStartTag;
    classes.stops[static_cast<Byte>('\'')] |= kStopsInQuotedValue | kStopsInStartTag;
    classes.stops[static_cast<Byte>('>')] |= kStopsInStartTag;
    classes.stops[static_cast<Byte>('/')] |= kStopsInStartTag;
    for (int lead = 0x80; lead < 256; ++lead) {
        if (utf8Step(static_cast<Byte>(lead)) > 1)
            classes.stops[lead] |= kStopsInText | kStopsInQuotedValue;
    }
    return classes;
}

constexpr ByteClasses kByteClasses = makeByteClasses();

bool stopsAt(Byte c, StopSet set) {
    return (kByteClasses.stops[c] & set) != 0;
}

// The first byte from `p` on that is in `set`. It never reads past the first NUL.
const char* skipToStop(const char* p, StopSet set) {
    for (;; p += 4) {
        if (stopsAt(byteAt(p), set))
            return p;
        if (stopsAt(byteAt(p + 1), set))
            return p + 1;
        if (stopsAt(byteAt(p + 2), set))
            return p + 2;
        if (stopsAt(byteAt(p + 3), set))
            return p + 3;
    }
}

// Each reader below returns the position after what it read, at most `end` when the text
// runs out, or null where the parser gives up on the text. A reader may start at most
// three bytes past `end` (a multi-byte sequence at the very end steps over it), which the
// NUL bytes behind the text cover.
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
        while (p < end_) {
            p = skipToStop(p, kStopsInQuotedValue);
            if (p == end_)
                return end_;
            if (*p == quote)
                return p + 1;
            p = character(p);
            if (p == nullptr)
                return nullptr;
        }
        return end_;
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
            p = skipToStop(p, kStopsInStartTag);
            if (p == end_)
                return end_;
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

    // `p` is at a '<' that opens no element: an end tag, a declaration, a comment, a CDATA
    // section, a document type declaration, or other markup that the parser keeps unread up
    // to its '>' ("<?pi", a '<' before no name). Counts an end tag off `depth` while it is
    // above zero.
    const char* otherMarkup(const char* p, int& depth) const {
        if (p[1] == '/' && depth > 0) {
            --depth;
            return pastByte(p + 2, '>');
        }
        if (p[1] == '?' && startsWithIgnoringCase(p + 2, "xml"))
            return declaration(p + 5);
        if (p[1] == '!' && startsWith(p + 2, "--"))
            return past(p + 4, "-->");
        if (p[1] == '!' && startsWith(p + 2, "[CDATA["))
            return past(p + 9, "]]>");
        if (p[1] == '!' && startsWith(p + 2, "DOCTYPE"))
            return documentType(p + 9);
        return pastByte(p + 1, '>');
    }

    // `p` follows "<!DOCTYPE". Up to the first '>' or an unquoted '[' that opens an internal
    // subset; the subset up to its ']', with its quoted strings, comments and processing
    // instructions whole (the '<' and '>' inside it open and close nothing); then up to the
    // next '>'. An unclosed subset, string, comment or instruction runs to the end.
    const char* documentType(const char* p) const {
        char quote = 0;
        for (; *p != 0 && *p != '>' && (quote != 0 || *p != '['); ++p) {
            if (*p == quote)
                quote = 0;
            else if (quote == 0 && (*p == '"' || *p == '\''))
                quote = *p;
        }
        if (*p != '[')
            return pastByte(p, '>');
        for (++p; *p != 0 && *p != ']';) {
            if (*p == '"' || *p == '\'')
                p = pastByte(p + 1, *p);
            else if (startsWith(p, "<!--"))
                p = past(p + 4, "-->");
            else if (startsWith(p, "<?"))
                p = past(p + 2, "?>");
            else
                ++p;
        }
        return pastByte(p, '>');
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

// Every level of nesting takes at least three bytes ("<a>"), and the first element beyond
// the limit needs its '<' and a name byte, so a text shorter than 3 * limit + 2 bytes
// cannot nest beyond the limit.

}  // namespace

bool canNestBeyond(std::size_t length, int depthLimit) {
    if (length < 2)
        return false;
    return depthLimit <= 0 || (length - 2) / 3 >= static_cast<std::size_t>(depthLimit);
}

std::size_t nestingCutOffset(const char* text, std::size_t length, int depthLimit) {
    if (!canNestBeyond(length, depthLimit))
        return length;
    const Scanner scan(text, length);
    const char* p = text;
    int depth = 0;
    while (p != nullptr && p < scan.end()) {
        p = skipToStop(p, kStopsInText);
        if (p == scan.end())
            break;
        if (*p != '<') {
            p = scan.character(p);
        } else if (isNameStart(byteAt(p + 1))) {
            if (depth >= depthLimit)
                return static_cast<std::size_t>(p - text);
            bool opened = false;
            p = scan.startTag(p + 2, opened);
            if (opened)
                ++depth;
        } else {
            p = scan.otherMarkup(p, depth);
        }
    }
    return length;
}

}  // namespace pelzor
