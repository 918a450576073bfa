#pragma once
// Which texts the parser reads as an element or attribute name: a letter, '_' or a byte of
// 0x7F and above first, then also digits, '-', '.' and ':'. A name given to a builder must be
// one, or the document it prints would read back differently.

namespace pelzor {

// Whether the whole of `text` (NUL-terminated) is such a name; false for null and "".
bool isParserName(const char* text);

}  // namespace pelzor
