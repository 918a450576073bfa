#pragma once
// The text of the element that appendXMLChild adds, as it stands in the printed document.

#include <cstdint>

namespace pelzor {

// Writes `text` as the printer writes the text of an element ("&amp;", "&lt;", "&gt;",
// "&quot;", "&apos;" for the special bytes and "&#x%02X;" for a byte below 32), except:
// - an '&' that starts a reference the caller wrote ("amp;", "lt;", "gt;", "quot;",
//   "apos;", '#' digits ';' or "#x" hex digits ';' behind it) stays a bare '&', so the
//   reference reads back as the caller meant it; every other '&' becomes "&amp;";
// - with `asMarkup`, the text is the caller's markup: '<' and '>' stay as they are; inside
//   a tag (from its '<' to its '>', quoted attribute values included) every byte stays as
//   it is but '&', which follows the rule above; comments, CDATA sections and processing
//   instructions stay as they are, '&' included.
// Returns the number of bytes; with a null `out` it only counts them. The printer's own
// output is kept everywhere else in the document, so only this text is written here.
std::uint64_t writeChildText(const char* text, bool asMarkup, char* out);

}  // namespace pelzor
