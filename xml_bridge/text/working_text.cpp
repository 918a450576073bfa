#include "text/working_text.h"

#include <cstring>

#include "memory/call_memory.h"
#include "text/replace_all.h"

namespace pelzor {

WorkingText::WorkingText(const char* text) : current_(text), rewritten_(nullptr) {}

WorkingText::~WorkingText() {
    heapFree(rewritten_);
}

void WorkingText::replace(const char* pattern, const char* replacement) {
    if (current_ == nullptr || std::strstr(current_, pattern) == nullptr) {
        return;
    }
    char* replaced = replaceAll(current_, pattern, replacement);
    heapFree(rewritten_);
    rewritten_ = replaced;
    current_ = replaced;
}

}  // namespace pelzor
