#pragma once
// Result strings: BSTRs whose payload is 8-bit bytes and whose length prefix counts bytes.
// On Windows these are the OLE Automation calls. Elsewhere a small layer of our own keeps
// the same layout (a 32-bit byte count, the payload, a terminating NUL pair) so that the
// library's logic can be built and tested natively.

#include <cstdint>

namespace pelzor {

// A new byte string holding `length` bytes copied from `bytes`, or with a null `bytes` the
// `length` bytes left for the caller to write (its terminator written); null if it cannot be
// allocated.
wchar_t* allocByteString(const char* bytes, std::uint32_t length);
void freeByteString(wchar_t* text);
std::uint32_t byteStringLength(const wchar_t* text);

}  // namespace pelzor
