#pragma once
// What a parsed path selects in a parsed document, with XPath's meaning of every step and
// predicate: the nodes in document order, each once.

#include <tinyxml.h>

#include <vector>

#include "paths/path.h"

namespace pelzor {

// One selected node: an element, or one attribute of an element.
struct SelectedNode {
    const TiXmlElement* element;
    const TiXmlAttribute* attribute;  // null when the element itself is selected
};

// The value of a selected node: an element's text as the scalar readers read it (its first
// child's text, "" when it has none), an attribute's value as the parser read it.
const char* selectedValue(const SelectedNode& node);

// The nodes `path` selects in `document`, starting at the document itself (a path with or
// without a leading '/' alike), in document order without duplicates: for a union, the
// nodes of all its operands. Only elements and attributes are ever selected; where XPath
// would also select the document itself or texts (".", "//."), those are left out.
// `document` is not changed, but its nodes' user data may be used as scratch space.
// Iterative: neither the depth of the document nor the length of the path makes it recurse.
// Throws std::bad_alloc when memory runs out.
std::vector<SelectedNode> selectNodes(TiXmlDocument& document, const Path& path);

// The nodes one location path selects starting at `context`, as XPath selects them with
// `context` as its context node (a leading '/' is not taken as the document here), in
// document order without duplicates. The same conditions as above.
std::vector<SelectedNode> selectNodesFrom(TiXmlElement& context, const LocationPath& path);

// The first child element of `parent` that `step` (a child step: not "//", ".", or "@")
// selects, or null. Reads no user data and allocates nothing for up to four position tests.
const TiXmlElement* firstSelectedChild(const TiXmlElement& parent, const PathStep& step);

}  // namespace pelzor
