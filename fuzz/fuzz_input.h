#pragma once
// Splits a fuzzer input into an element name (up to the first NUL, at most 16 bytes) and a
// document text (the rest), each NUL-terminated in storage of its own exact size, so that
// AddressSanitizer sees any read beyond them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

struct FuzzInput {
    FuzzInput(const std::uint8_t* data, std::size_t size) {
        const auto* bytes = reinterpret_cast<const char*>(data);
        const void* nul = std::memchr(bytes, 0, size < 16 ? size : 16);
        const std::size_t nameLength = nul ? static_cast<const char*>(nul) - bytes : 0;
        const std::size_t textStart = nul ? nameLength + 1 : 0;
        name.reset(copy(bytes, nameLength));
        text.reset(copy(bytes + textStart, size - textStart));
    }
    static char* copy(const char* bytes, std::size_t length) {
        char* out = new char[length + 1];
        std::memcpy(out, bytes, length);
        out[length] = 0;
        return out;
    }
    std::unique_ptr<char[]> name;
    std::unique_ptr<char[]> text;
};
