#pragma once
// The table of records with automatic columns: the union of what the records hold, in the
// order first seen. For each record in document order:
//   - each of its attributes, as "@name";
//   - its own text as ".", when it has no child element and some record without child
//     elements has a text that is not empty (records made only of attributes get no "."
//     column);
//   - each descendant element that has no child element, as its path from the record,
//     followed right after by that element's attributes ("path/@name");
//   - the attributes of each descendant element that has child elements, at that element's
//     place in document order.
// A step is written "name", or "name[k]" for the k-th child of that name (k >= 2), so every
// header is a column path that selects exactly its cell. An element whose name no path can
// spell (the parser also reads names like "a:b:c") is written "*[n]", the n-th child
// element; an attribute with such a name is left out, since no column can name it.

#include <tinyxml.h>

#include <vector>

#include "table/cell_table.h"

namespace pelzor {

CellTable automaticTable(const std::vector<TiXmlElement*>& records);

}  // namespace pelzor
