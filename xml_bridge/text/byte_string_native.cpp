// Byte strings for builds without OLE Automation, laid out like a BSTR: the returned
// pointer addresses the payload, the byte count sits in the four bytes right before it,
// and two NUL bytes follow the payload.
#include <cstddef>
#include <cstring>

#include "memory/call_memory.h"
#include "text/byte_string.h"

namespace pelzor {

namespace {
constexpr std::size_t kCountBytes = sizeof(std::uint32_t);
constexpr std::size_t kTerminatorBytes = 2;
// The payload is handed out as wchar_t*, so it keeps the heap block's alignment; the count
// sits at the end of this header.
constexpr std::size_t kHeaderBytes = alignof(std::max_align_t);
static_assert(kHeaderBytes >= kCountBytes, "the header must hold the byte count");

unsigned char* payloadOf(const wchar_t* text) {
    return const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(text));
}
}  // namespace

wchar_t* allocByteString(const char* bytes, std::uint32_t length) {
    auto* block = static_cast<unsigned char*>(
        heapAllocate(std::size_t{kHeaderBytes} + length + kTerminatorBytes));
    if (block == nullptr) {
        return nullptr;
    }
    unsigned char* payload = block + kHeaderBytes;
    std::memcpy(payload - kCountBytes, &length, kCountBytes);
    if (bytes != nullptr && length != 0) {
        std::memcpy(payload, bytes, length);
    }
    payload[length] = 0;
    payload[length + 1] = 0;
    return reinterpret_cast<wchar_t*>(payload);
}

void freeByteString(wchar_t* text) {
    if (text != nullptr) {
        heapFree(payloadOf(text) - kHeaderBytes);
    }
}

std::uint32_t byteStringLength(const wchar_t* text) {
    if (text == nullptr) {
        return 0;
    }
    std::uint32_t length;
    std::memcpy(&length, payloadOf(text) - kCountBytes, kCountBytes);
    return length;
}

}  // namespace pelzor
