#pragma once
// Finds where a text nests deeper than a limit, reading it the way the parser does.

#include <cstddef>

namespace pelzor {

// The offset in `text` (which holds `length` bytes without a NUL and then a NUL; at least
// four NUL bytes when it ends inside a multi-byte UTF-8 sequence, which the scan steps over
// as a whole, as the parser does) of the '<' of the first element that would stand deeper than
// `depthLimit` (the root stands at depth 1), or `length` when there is none. It follows the
// parser's reading: comments, CDATA sections, declarations, document type declarations with their
// internal subsets, other markup and quoted attribute values hold no elements, and in text and
// quoted values a multi-byte UTF-8 sequence or a character reference is one step, as the parser
// takes it, even where it swallows a '<' or a quote. Where the parser would give up, nothing later
// can nest, and `length` comes back.
std::size_t nestingCutOffset(const char* text, std::size_t length, int depthLimit);

// Whether a text of `length` bytes can hold an element deeper than `depthLimit` at all:
// every level takes at least three bytes ("<a>").
bool canNestBeyond(std::size_t length, int depthLimit);

}  // namespace pelzor
