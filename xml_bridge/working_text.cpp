#include "working_text.h"

#include <cstring>

#include "heap.h"
#include "replace_all.h"

namespace pelzor {

WorkingText::WorkingText(const char* text) {
    const std::size_t bytes = std::strlen(text) + 1;
    text_ = static_cast<char*>(heapAllocate(bytes));
    if (text_ != nullptr) {
        std::memcpy(text_, text, bytes);
    }
}

WorkingText::~WorkingText() {
    heapFree(text_);
}

void WorkingText::replace(const char* pattern, const char* replacement) {
    if (text_ == nullptr || std::strstr(text_, pattern) == nullptr) {
        return;
    }
    char* replaced = replaceAll(text_, pattern, replacement);
    heapFree(text_);
    text_ = replaced;
}

}  // namespace pelzor
