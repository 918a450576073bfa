#pragma once
// Elements by name: the test of a tag name, and the one element search that every reading
// export uses.

#include <tinyxml.h>

#include <cstring>
#include <string>

#include "document/document.h"

namespace pelzor {

// Whether the element's tag name equals `name` byte for byte. Inline: every search calls it
// once an element.
inline bool hasName(const TiXmlElement& element, const std::string& name) {
    const TiXmlString& value = element.ValueTStr();
    return value.length() == name.size() &&
           std::memcmp(value.c_str(), name.data(), name.size()) == 0;
}

// The first element whose tag name equals `name` byte for byte, in depth-first pre-order
// starting at the root (the document's first element), or null. Once the root's own
// descendants are exhausted the search ends, so later top-level elements are only reached
// when the root has no child element. Iterative: no recursion, no stack, no allocation.
TiXmlElement* findNamedNode(TiXmlDocument& document, const std::string& name);

// The same search in one call's document. A null name finds nothing.
TiXmlElement* findNamedNode(CallDocument& document, const char* name);

}  // namespace pelzor
