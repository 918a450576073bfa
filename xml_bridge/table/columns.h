#pragma once
// The columns of a table read from records: each a relative path read from the record under
// the rule for table cells. A step without a position test takes only its first match, as if
// [1] followed it, so that a column selects at most one node in each record and a record
// that lacks a field gets a missing cell instead of shifting later values up.

#include <tinyxml.h>

#include <string>
#include <vector>

#include "paths/path.h"

namespace pelzor {

struct Column {
    std::string header;     // the path as written, without the white space around it
    LocationPath path;      // with [1] after every element step that has no position test
    bool anyDepth = false;  // some step is "//"
};

// The columns `columnPaths` names: the operands of its union, in the order written. False when
// it is not a path or an operand is not relative (starts with '/').
bool readColumns(const char* columnPaths, std::vector<Column>& columns);

// The column of a header that is known to be a relative path (one the library wrote).
Column columnOf(std::string header);

// The value of the node `column` selects in `record` (the first in document order), as the
// path readers give values; null when it selects nothing. The record's subtree may be numbered
// in its nodes' user data.
const char* cellOf(TiXmlElement& record, const Column& column);

}  // namespace pelzor
