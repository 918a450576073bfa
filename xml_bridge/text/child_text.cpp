#include "text/child_text.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace pelzor {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether the bytes at `at`, behind an '&', complete one of XML's references: a named
// entity of the five or a decimal or hexadecimal character reference.
bool completesReference(const char* at) {
    for (const char* name : {"amp;", "lt;", "gt;", "quot;", "apos;"}) {
        if (std::strncmp(at, name, std::strlen(name)) == 0) {
            return true;
        }
    }
    if (*at != '#') {
        return false;
    }
    ++at;
    const bool hexadecimal = *at == 'x';
    if (hexadecimal) {
        ++at;
    }
    const char* digits = at;
    while (hexadecimal ? isHexDigit(*at) : isDigit(*at)) {
        ++at;
    }
    return at != digits && *at == ';';
}

// Counts the bytes written, and writes them when it has somewhere to.
class ByteOutput {
public:
    explicit ByteOutput(char* out) : out_(out) {}
    std::uint64_t length() const { return length_; }

    void put(const char* bytes) { put(bytes, std::strlen(bytes)); }

    void put(const char* bytes, std::size_t count) {
        if (out_ != nullptr) {
            std::memcpy(out_ + length_, bytes, count);
        }
        length_ += count;
    }

    void put(char c) {
        if (out_ != nullptr) {
            out_[length_] = c;
        }
        ++length_;
    }

private:
    char* out_;
    std::uint64_t length_ = 0;
};

// Parts of markup whose bytes are all literal, "&" included: comments, CDATA sections and
// processing instructions, from their start to their end.
struct LiteralSection {
    const char* start;
    const char* end;
};

const LiteralSection kLiteralSections[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};

// The length of the literal section that starts at `at`, up to and with its end (or the
// text's end when it has none); 0 when none starts there.
std::size_t literalSectionAt(const char* at) {
    for (const LiteralSection& section : kLiteralSections) {
        const std::size_t startLength = std::strlen(section.start);
        if (std::strncmp(at, section.start, startLength) == 0) {
            const char* end = std::strstr(at + startLength, section.end);
            return end != nullptr ? static_cast<std::size_t>(end - at) + std::strlen(section.end)
                                  : std::strlen(at);
        }
    }
    return 0;
}

// A byte of text outside the caller's tags, as the printer escapes it; '>' stays as it is
// in markup.
void putTextByte(ByteOutput& output, char c, bool asMarkup) {
    switch (c) {
        case '<':
            output.put("&lt;");
            return;
        case '>':
            output.put(asMarkup ? ">" : "&gt;");
            return;
        case '"':
            output.put("&quot;");
            return;
        case '\'':
            output.put("&apos;");
            return;
        default:
            break;
    }
    if (static_cast<unsigned char>(c) < 32) {
        char reference[8];
        std::snprintf(reference, sizeof reference, "&#x%02X;", static_cast<unsigned char>(c));
        output.put(reference);
        return;
    }
    output.put(c);
}

}  // namespace

std::uint64_t writeChildText(const char* text, bool asMarkup, char* out) {
    ByteOutput output(out);
    enum class Place { Text, Tag, QuotedValue } place = Place::Text;
    char quote = '\0';
    for (const char* at = text; *at != '\0'; ++at) {
        const char c = *at;
        if (c == '&') {
            output.put(completesReference(at + 1) ? "&" : "&amp;");
        } else if (place == Place::Text) {
            const std::size_t literal = asMarkup && c == '<' ? literalSectionAt(at) : 0;
            if (literal > 0) {
                output.put(at, literal);
                at += literal - 1;
            } else if (asMarkup && c == '<') {
                output.put(c);
                place = Place::Tag;
            } else {
                putTextByte(output, c, asMarkup);
            }
        } else if (place == Place::Tag) {
            output.put(c);
            if (c == '>') {
                place = Place::Text;
            } else if (c == '"' || c == '\'') {
                quote = c;
                place = Place::QuotedValue;
            }
        } else {
            output.put(c);
            if (c == quote) {
                place = Place::Tag;
            }
        }
    }
    return output.length();
}

}  // namespace pelzor
