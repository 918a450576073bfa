#pragma once
// selectTable: the records a path selects, one row each, with a column per column path (or
// automatic columns), into a two-dimensional array of Variants for macro code.

#include "values/ole.h"

namespace pelzor {

// Clears `table` first (VariantClear), then puts the table into it (table/table_result.h) and
// returns the number of records. `columnPaths` names the columns ("sku | qty | @no"); null,
// empty or blank gives automatic columns (table/automatic_columns.h). Returns 0 with `table`
// Empty when no element is selected, and -1 with `table` Empty when a path is not understood
// (a column path must be relative), `table` is null or memory ran out.
int selectTable(const char* xmlText, const char* recordPath, const char* columnPaths,
                VARIANT* table);

}  // namespace pelzor
