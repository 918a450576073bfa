#include "text_guard.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "heap.h"
#include "nesting_scan.h"

namespace pelzor {

namespace {

// A copy of the `length` bytes of `text` followed by kGuardPadding NUL bytes. Throws
// std::bad_alloc when it cannot be allocated.
char* paddedCopy(const char* text, std::size_t length) {
    if (length > SIZE_MAX - kGuardPadding) {
        throw std::bad_alloc();
    }
    auto* copy = static_cast<char*>(heapAllocate(length + kGuardPadding));
    if (copy == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(copy, text, length);
    std::memset(copy + length, 0, kGuardPadding);
    return copy;
}

// Ends the copy before the first element nested deeper than `depthLimit`. The scan reads
// the copy right after it was written, while it is still in the cache. The whole padding
// goes to the cut as well, so the parser finds the text's end there however it steps.
void cutAtNestingLimit(char* copy, std::size_t length, int depthLimit) {
    const std::size_t cut = nestingCutOffset(copy, length, depthLimit);
    if (cut < length) {
        std::memset(copy + cut, 0, kGuardPadding);
    }
}

}  // namespace

GuardedText::GuardedText(const char* text, int depthLimit) : copy_(nullptr) {
    if (text == nullptr) {
        text = "";
    }
    const std::size_t length = std::strlen(text);
    copy_ = paddedCopy(text, length);
    cutAtNestingLimit(copy_, length, depthLimit);
}

GuardedText::~GuardedText() {
    heapFree(copy_);
}

}  // namespace pelzor
