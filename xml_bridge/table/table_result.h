#pragma once
// A table handed to macro code: a two-dimensional array of Variants made with oleaut32, so
// that VBA owns it and frees it. Lower bounds 1 and 1, so that t(r, c) is row r, column c;
// row 1 holds the headers as Strings and each record is one row after it. A missing cell is
// Empty, a cell of a number column a Double (VT_R8), any other cell a String (UTF-16).

#include "table/cell_table.h"
#include "values/ole.h"

namespace pelzor {

// Puts the table into `out`, which must hold nothing. False when memory ran out; then
// everything made on the way is freed again and `out` is left as it was.
bool putTable(const CellTable& table, VARIANT* out);

}  // namespace pelzor
