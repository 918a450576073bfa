#pragma once
// Where the internal subsets of document type declarations lie, read here on their own and
// not by the parser: the differential target's account of what the patched parser must read
// over. A declaration runs from "<!DOCTYPE" to the first '>' or an unquoted '['; a '[' opens
// the subset, which ends at its ']' (its quoted strings, comments and processing instructions
// taken whole) or runs to the end of the text.

#include <cstddef>
#include <string>
#include <vector>

#include "parser_view.h"

struct SubsetSpan {
    std::size_t begin;  // the '['
    std::size_t end;    // past the ']', or the text's size when the subset is unclosed
};

// The internal subset of the declaration in `text` whose keyword "DOCTYPE" ends right before
// `afterKeyword`, if the declaration has one.
bool findInternalSubset(const std::string& text, std::size_t afterKeyword, SubsetSpan& span);

// A byte that stands for a taken-out subset: one from 0xF8 up (the parser steps over it as
// one byte, and no character reference in UTF-8 makes it) that `text` does not hold, or 0
// when it holds all of them.
char subsetPlaceholderFor(const std::string& text);

struct PlaceholderText {
    std::string text;                  // the text with each subset replaced by the placeholder
    std::vector<std::string> subsets;  // the subsets taken out, in order
};

// `text` with the internal subset of each document type declaration that the parser reads
// as markup (not inside a comment, a value or text) replaced by `placeholder`. Where that is
// is asked of the unmodified parser, reading `encoding`: it reads the same as the patched
// parser up to the first declaration with a subset, and once that subset is replaced, up to
// the next one.
PlaceholderText withSubsetsReplaced(const std::string& text, ViewEncoding encoding,
                                    char placeholder);
