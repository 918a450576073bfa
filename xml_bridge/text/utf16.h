#pragma once
// UTF-8 and UTF-16, converted both ways without the C runtime or the system's code pages.
// Every character is kept, those beyond the Basic Multilingual Plane as surrogate pairs. A
// byte that does not start a valid UTF-8 sequence, and a lone surrogate, become U+FFFD, as
// the system's own conversions make them. `Unit` is the 16-bit character type of the caller
// (OLECHAR).

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelzor {

namespace utf8 {

// The code point of the sequence at `p` (before `end`) and its length in bytes; a byte that
// does not start a valid, shortest sequence of a code point gives U+FFFD and length 1.
inline char32_t decode(const unsigned char* p, const unsigned char* end, std::size_t& length) {
    const unsigned char lead = *p;
    length = 1;
    if (lead < 0x80) {
        return lead;
    }
    std::size_t trail = 0;
    char32_t point = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        point = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        point = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        point = lead & 0x07;
        least = 0x10000;
    } else {
        return 0xFFFD;
    }
    if (static_cast<std::size_t>(end - p) <= trail) {
        return 0xFFFD;
    }
    for (std::size_t i = 1; i <= trail; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0xFFFD;
        }
        point = (point << 6) | (p[i] & 0x3F);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return 0xFFFD;
    }
    length = trail + 1;
    return point;
}

}  // namespace utf8

// The number of UTF-16 units the UTF-8 text of `length` bytes becomes.
inline std::size_t utf16Length(const char* text, std::size_t length) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = p + length;
    std::size_t units = 0;
    // ASCII, one unit a byte, as far as it goes.
    while (p < end && *p < 0x80) {
        ++p;
        ++units;
    }
    while (p < end) {
        std::size_t bytes;
        units += utf8::decode(p, end, bytes) >= 0x10000 ? 2 : 1;
        p += bytes;
    }
    return units;
}

// Writes the UTF-16 form of the UTF-8 text into `out`, which holds utf16Length units.
template <typename Unit>
void utf8ToUtf16(const char* text, std::size_t length, Unit* out) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = p + length;
    while (p < end && *p < 0x80) {
        *out++ = static_cast<Unit>(*p++);
    }
    while (p < end) {
        std::size_t bytes;
        const char32_t point = utf8::decode(p, end, bytes);
        p += bytes;
        if (point >= 0x10000) {
            *out++ = static_cast<Unit>(0xD800 + ((point - 0x10000) >> 10));
            *out++ = static_cast<Unit>(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            *out++ = static_cast<Unit>(point);
        }
    }
}

// Appends the UTF-8 form of `count` UTF-16 units to `out`.
template <typename Unit>
void appendUtf8(const Unit* units, std::size_t count, std::string& out) {
    for (std::size_t i = 0; i < count; ++i) {
        char32_t point = static_cast<std::uint16_t>(units[i]);
        if (point >= 0xD800 && point <= 0xDBFF && i + 1 < count &&
            static_cast<std::uint16_t>(units[i + 1]) >= 0xDC00 &&
            static_cast<std::uint16_t>(units[i + 1]) <= 0xDFFF) {
            point = 0x10000 + ((point - 0xD800) << 10) +
                    (static_cast<std::uint16_t>(units[++i]) - 0xDC00);
        } else if (point >= 0xD800 && point <= 0xDFFF) {
            point = 0xFFFD;
        }
        if (point < 0x80) {
            out += static_cast<char>(point);
        } else if (point < 0x800) {
            out += static_cast<char>(0xC0 | (point >> 6));
            out += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            out += static_cast<char>(0xE0 | (point >> 12));
            out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (point >> 18));
            out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
}

}  // namespace pelzor
