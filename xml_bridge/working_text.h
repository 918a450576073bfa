#pragma once
// A text on the library's heap that a chain of replacements rewrites step by step. Each
// step's output takes the place of its input, which is released at once; whatever the
// object holds at the end is released with it, also when an exception passes through.

#include <cstddef>

namespace pelzor {

class WorkingText {
public:
    // A copy of `text`; holds nothing when the copy cannot be allocated.
    explicit WorkingText(const char* text);
    ~WorkingText();

    WorkingText(const WorkingText&) = delete;
    WorkingText& operator=(const WorkingText&) = delete;

    // Null once memory ran out, in the copy or in a replacement.
    const char* text() const { return text_; }

    // Replaces every `pattern` (not empty) by `replacement`, left to right, without
    // overlaps. A text without the pattern is left as it is, with no new buffer. When the
    // new buffer cannot be allocated the text is released and the object holds nothing.
    void replace(const char* pattern, const char* replacement);

private:
    char* text_;
};

}  // namespace pelzor
