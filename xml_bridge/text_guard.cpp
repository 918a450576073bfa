#include "text_guard.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "heap.h"
#include "nesting_scan.h"

namespace pelzor {

GuardedText::GuardedText(const char* text, int depthLimit) : copy_(nullptr) {
    if (text == nullptr) {
        text = "";
    }
    const std::size_t length = std::strlen(text);
    if (length > SIZE_MAX - kGuardPadding) {
        throw std::bad_alloc();
    }
    copy_ = static_cast<char*>(heapAllocate(length + kGuardPadding));
    if (copy_ == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(copy_, text, length);
    std::memset(copy_ + length, 0, kGuardPadding);
    // The whole padding goes to the cut as well, so the parser finds the text's end there
    // however it steps.
    const std::size_t cut = nestingCutOffset(copy_, length, depthLimit);
    std::memset(copy_ + cut, 0, kGuardPadding);
}

GuardedText::~GuardedText() {
    heapFree(copy_);
}

}  // namespace pelzor
