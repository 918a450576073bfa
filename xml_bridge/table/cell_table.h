#pragma once
// A table read from a document: one header per column, then one row of cells per record.
// A cell is the text of the node its column selects in the record, or null (missing) when
// the column selects nothing there. Cells point into the document's tree, which outlives
// the table.

#include <cstddef>
#include <string>
#include <vector>

namespace pelzor {

struct CellTable {
    std::vector<std::string> headers;
    std::size_t rows = 0;            // one per record
    std::vector<const char*> cells;  // row after row

    std::size_t columns() const { return headers.size(); }
    const char* cell(std::size_t row, std::size_t column) const {
        return cells[row * headers.size() + column];
    }
};

// Whether each column is a number column: every cell of it that is not missing is a number
// written plainly (text/number_text.h). `values` gets the number of every cell of those
// columns, laid out as the cells.
std::vector<bool> findNumberColumns(const CellTable& table, std::vector<double>& values);

}  // namespace pelzor
