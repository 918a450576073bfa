#include "table/table_result.h"

#include <cstring>
#include <limits>

#include "values/ole_string.h"

namespace pelzor {

namespace {

bool putString(VARIANT& cell, const char* text, std::size_t length) {
    BSTR string = newOleString(text, length);
    if (string == nullptr) {
        return false;
    }
    cell.vt = VT_BSTR;
    cell.bstrVal = string;
    return true;
}

}  // namespace

bool putTable(const CellTable& table, VARIANT* out) {
    const std::size_t rows = table.rows + 1;
    const std::size_t columns = table.columns();
    constexpr std::size_t kLargest = std::numeric_limits<std::int32_t>::max();
    if (rows > kLargest || columns > kLargest) {
        return false;
    }
    std::vector<double> values;
    const std::vector<bool> numbers = findNumberColumns(table, values);

    SAFEARRAYBOUND bounds[2] = {{static_cast<std::uint32_t>(rows), 1},
                                {static_cast<std::uint32_t>(columns), 1}};
    ole::OwnedArray array(ole::createArray(VT_VARIANT, 2, bounds));
    if (array == nullptr) {
        return false;
    }
    {
        ole::LockedData data(array.get());
        auto* cells = static_cast<VARIANT*>(data.data());
        if (cells == nullptr) {
            return false;
        }
        // Column-major: the row changes fastest. Every element starts out Empty.
        for (std::size_t column = 0; column < columns; ++column) {
            VARIANT* cellsOfColumn = cells + column * rows;
            const std::string& header = table.headers[column];
            if (!putString(cellsOfColumn[0], header.data(), header.size())) {
                return false;
            }
            for (std::size_t row = 0; row < table.rows; ++row) {
                const char* text = table.cell(row, column);
                VARIANT& cell = cellsOfColumn[row + 1];
                if (text == nullptr) {
                    continue;
                }
                if (numbers[column]) {
                    cell.vt = VT_R8;
                    cell.dblVal = values[row * columns + column];
                } else if (!putString(cell, text, std::strlen(text))) {
                    return false;
                }
            }
        }
    }
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array.release();
    return true;
}

}  // namespace pelzor
