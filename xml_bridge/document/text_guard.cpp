#include "document/text_guard.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "document/nesting_scan.h"
#include "memory/call_memory.h"

namespace pelzor {

namespace {

// A copy of the `length` bytes of `text` followed by kGuardPadding NUL bytes, in the call's
// memory (a large copy takes a chunk the pool kept, instead of fresh pages from the system
// on every call). Throws std::bad_alloc when it cannot be allocated.
char* paddedCopy(const char* text, std::size_t length) {
    if (length > SIZE_MAX - kGuardPadding) {
        throw std::bad_alloc();
    }
    auto* copy = static_cast<char*>(CallMemory::allocate(length + kGuardPadding));
    if (copy == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(copy, text, length);
    std::memset(copy + length, 0, kGuardPadding);
    return copy;
}

// Whether the text ends inside a multi-byte UTF-8 sequence: a lead byte in its last three
// bytes whose sequence reaches beyond the end. The parser steps over a whole sequence
// without looking for the end of the text, so only such a text makes it read beyond its
// terminating NUL.
bool endsInsideACharacter(const char* text, std::size_t length) {
    const std::size_t tail = length < 3 ? length : 3;
    for (std::size_t i = length - tail; i < length; ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t sequence = lead >= 0xF0 && lead <= 0xF4   ? 4
                                     : lead >= 0xE0 && lead <= 0xEF ? 3
                                     : lead >= 0xC2 && lead <= 0xDF ? 2
                                                                    : 1;
        if (i + sequence > length) {
            return true;
        }
    }
    return false;
}

}  // namespace

// A text that ends inside a character is copied before it is scanned, since the scan steps
// over a whole sequence as the parser does; any other is scanned where it stands, and copied
// only up to the cut when it nests too deep. The copy's padding makes the parser find its end
// however it steps.
GuardedText::GuardedText(const char* text, int depthLimit)
    : text_(text != nullptr ? text : ""), copy_(nullptr) {
    const std::size_t length = std::strlen(text_);
    const bool mayNestTooDeep = canNestBeyond(length, depthLimit);
    if (endsInsideACharacter(text_, length)) {
        copy_ = paddedCopy(text_, length);
        if (mayNestTooDeep) {
            std::memset(copy_ + nestingCutOffset(copy_, length, depthLimit), 0, kGuardPadding);
        }
    } else if (mayNestTooDeep) {
        const std::size_t cut = nestingCutOffset(text_, length, depthLimit);
        if (cut < length) {
            copy_ = paddedCopy(text_, cut);
        }
    }
}

GuardedText::~GuardedText() {
    CallMemory::release(copy_);
}

}  // namespace pelzor
