#pragma once
// makeResultString: the one way the library hands text back to macro code.

#include <cstddef>
#include <cstdint>

namespace pelzor {

// A new byte string holding the bytes of `text` (without its terminating NUL), unchanged;
// null when it cannot be allocated. The caller of the export owns it. `text` stays the
// caller's: it is neither kept nor freed.
wchar_t* makeResultString(const char* text);

// The same for `length` bytes that may include NUL bytes.
wchar_t* makeResultBytes(const char* bytes, std::size_t length);

// A new byte string of `length` bytes for the caller to write, at `bytes`; null when it
// cannot be allocated or a byte string cannot count that many.
wchar_t* makeResultToWrite(std::uint64_t length, char*& bytes);

}  // namespace pelzor
