#pragma once
// The selection hands out the nodes of a tree for reading (paths/node_selection.h); an edit
// changes them in the tree it parsed itself and holds as its own.

#include <tinyxml.h>

namespace pelzor {

inline TiXmlElement* editable(const TiXmlElement* element) {
    return const_cast<TiXmlElement*>(element);
}

}  // namespace pelzor
