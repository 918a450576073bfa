#pragma once
// What the readers take from a found element: the text of its first child when that child
// is a text node (CDATA included), and that text as a number.

#include <tinyxml.h>

namespace pelzor {

// The element's text, or null when its first child is not a text (or it has none).
inline const char* elementText(const TiXmlElement& element) {
    return element.GetText();
}

// The element's text read as a floating number; 0.0 when it has no text.
double elementDouble(const TiXmlElement& element);

// The element's text read as an integer; 0 when it has no text.
int elementInteger(const TiXmlElement& element);

}  // namespace pelzor
