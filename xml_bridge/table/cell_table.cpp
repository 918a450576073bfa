#include "table/cell_table.h"

#include "text/number_text.h"

namespace pelzor {

std::vector<bool> findNumberColumns(const CellTable& table, std::vector<double>& values) {
    const std::size_t columns = table.columns();
    std::vector<bool> numbers(columns, true);
    values.assign(table.cells.size(), 0.0);
    for (std::size_t column = 0; column < columns; ++column) {
        for (std::size_t row = 0; row < table.rows; ++row) {
            const char* text = table.cell(row, column);
            if (text != nullptr && !readPlainNumber(text, values[row * columns + column])) {
                numbers[column] = false;
                break;
            }
        }
    }
    return numbers;
}

}  // namespace pelzor
