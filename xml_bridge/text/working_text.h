#pragma once
// A text that a chain of replacements rewrites step by step. It starts as the caller's text
// itself, unchanged and uncopied; the first replacement that matches makes the first buffer
// on the library's heap. Each later step's output takes the place of its input, which is
// released at once; whatever the object holds at the end is released with it, also when an
// exception passes through.

#include <cstddef>

namespace pelzor {

class WorkingText {
public:
    // Reads `text` in place; it must outlive the object and is never changed or freed.
    explicit WorkingText(const char* text);
    ~WorkingText();

    WorkingText(const WorkingText&) = delete;
    WorkingText& operator=(const WorkingText&) = delete;

    // The text so far: the caller's own text while no replacement has matched. Null once
    // memory ran out in a replacement.
    const char* text() const { return current_; }

    // Replaces every `pattern` (not empty) by `replacement`, left to right, without
    // overlaps. A text without the pattern is left as it is, with no new buffer. When the
    // new buffer cannot be allocated the text is released and the object holds nothing.
    void replace(const char* pattern, const char* replacement);

private:
    const char* current_;  // the caller's text, `rewritten_`, or null after a failure
    char* rewritten_;      // the latest replacement's output; null until one matched
};

}  // namespace pelzor
