#pragma once
// findNamedNode: the one element search that every reading export uses.

#include <tinyxml.h>

#include <string>

namespace pelzor {

// The first element whose tag name equals `name` byte for byte, in depth-first pre-order
// starting at the root (the document's first element), or null. Once the root's own
// descendants are exhausted the search ends, so later top-level elements are only reached
// when the root has no child element. Iterative: no recursion, no stack, no allocation.
TiXmlElement* findNamedNode(TiXmlDocument& document, const std::string& name);

}  // namespace pelzor
