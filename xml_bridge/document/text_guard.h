#pragma once
// The caller's text as the parser gets to see it: cut off right before the first element that
// would nest deeper than the parser's recursion can safely go on a 1 MiB stack, and ending in
// enough NUL bytes that the parser never reads beyond it. Only a text that ends inside a
// multi-byte character makes the parser step past its terminating NUL, and only a text that
// nests too deep needs a cut: such a text is read from a private copy, every other one where
// it stands.

#include <cstddef>

namespace pelzor {

// The deepest element nesting that is parsed. Parsing and destroying a tree recurse once per
// level; at this depth every export stays below half of a 1 MiB stack in every build (see
// the stack-use tests).
constexpr int kMaxNestingDepth = 1000;

// NUL bytes behind the copied text. The parser steps over up to three bytes behind the lead
// byte of a UTF-8 sequence, so a text that ends inside one makes it step past the first NUL.
constexpr std::size_t kGuardPadding = 8;

class GuardedText {
public:
    // Keeps `text` (null reads as empty), or copies it up to nestingCutOffset with NUL bytes
    // behind. Throws std::bad_alloc when a copy cannot be allocated.
    explicit GuardedText(const char* text, int depthLimit = kMaxNestingDepth);
    ~GuardedText();

    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;

    const char* c_str() const { return copy_ != nullptr ? copy_ : text_; }

private:
    const char* text_;
    char* copy_;
};

}  // namespace pelzor
