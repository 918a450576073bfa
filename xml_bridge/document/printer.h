#pragma once
// A tree printed as text the way appendXMLChild returns it: what the parser's own printer
// (TiXmlPrinter) writes, four spaces of indentation a level and "\n" after every line, but
// straight into the caller's buffer of the exact size, with one text node written by the
// caller. The tree is walked without recursion, so its depth costs no stack.
//
// One difference from the parser's printer: every '&' of a text or attribute value is written
// "&amp;". That printer writes a value's "&#x" and the bytes up to the next ';' as they are,
// so a text that holds the characters "&#x41;" (read from "&amp;#x41;") would read back as
// "A" on the next call.

#include <tinyxml.h>

#include <cstdint>

namespace pelzor {

// Writes the text that stands for `node` in the print; with a null `out` it only counts.
// Returns the number of bytes. A null `node` prints every text as it is held.
struct TextInPlace {
    const TiXmlText* node;
    std::uint64_t (*write)(const void* context, char* out);
    const void* context;
};

// Prints `document`, `inPlace.node` written by `inPlace.write`, into `out`; with a null
// `out` only counts. Returns the number of bytes.
std::uint64_t printDocument(const TiXmlDocument& document, const TextInPlace& inPlace, char* out);

}  // namespace pelzor
