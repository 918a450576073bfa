#pragma once
// An element's text as the readers see it: the text of its first child, when that child is a
// text.

#include <tinyxml.h>

#include <string>

namespace pelzor {

// The element's text becomes `text`: its first child, when that is a text, is replaced (a CDATA
// section becomes a plain text, so that no value can end it early); otherwise a text is put
// first. Its other children stay. "" leaves the element without a text first. Throws
// std::bad_alloc when memory runs out.
void setElementText(TiXmlElement& element, const std::string& text);

}  // namespace pelzor
