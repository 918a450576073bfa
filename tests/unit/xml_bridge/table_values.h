#pragma once
// Tables as VARIANTs for the native tests: a two-dimensional array of Variants made from rows
// of cells, and a table that selectTable returned shown as text, one line per row:
//   "sku" | "qty"        a String in quotes
//   "A-1" | #2           a Double after '#', in the shortest digits that give its bits
//   "B" | -              '-' for Empty
// followed by a line "bounds 1 1" when the lower bounds are not 1 and 1. Making a table
// throws std::bad_alloc when memory runs out, as the test's own allocations do.

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "text/number_text.h"
#include "text/utf16.h"
#include "values/ole.h"
#include "values/ole_string.h"

// A Variant that the test owns, cleared when it goes out of scope.
struct OwnedVariant {
    VARIANT value{};
    OwnedVariant() { value.vt = VT_EMPTY; }
    ~OwnedVariant() { pelzor::ole::clearVariant(&value); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    VARIANT* get() { return &value; }
};

inline VARIANT text(const std::string& utf8) {
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = pelzor::newOleString(utf8.data(), utf8.size());
    if (v.bstrVal == nullptr) {
        throw std::bad_alloc();
    }
    return v;
}

inline VARIANT number(double value) {
    VARIANT v{};
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

inline VARIANT empty() {
    VARIANT v{};
    v.vt = VT_EMPTY;
    return v;
}

inline VARIANT ofType(VARTYPE type) {
    VARIANT v{};
    v.vt = type;
    return v;
}

// A VT_ARRAY | VT_VARIANT of rows by columns with the given lower bounds, taking over the
// cells' strings.
inline void makeTable(VARIANT* out, const std::vector<std::vector<VARIANT>>& rows,
                      std::int32_t lowerRow = 1, std::int32_t lowerColumn = 1) {
    const std::size_t columns = rows.empty() ? 0 : rows.front().size();
    SAFEARRAYBOUND bounds[2] = {{static_cast<std::uint32_t>(rows.size()), lowerRow},
                                {static_cast<std::uint32_t>(columns), lowerColumn}};
    SAFEARRAY* array = pelzor::ole::createArray(VT_VARIANT, 2, bounds);
    if (array == nullptr) {
        throw std::bad_alloc();
    }
    auto* cells = static_cast<VARIANT*>(pelzor::ole::lockData(array));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            cells[c * rows.size() + r] = rows[r][c];
        }
    }
    pelzor::ole::unlockData(array);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array;
}

// Puts `value` into a cell of a table made by makeTable, which owns it from then on.
inline void setCell(VARIANT& table, std::size_t row, std::size_t column, const VARIANT& value) {
    std::int32_t lower, rows;
    pelzor::ole::bounds(table.parray, 1, lower, rows);
    rows = rows - lower + 1;
    auto* cells = static_cast<VARIANT*>(pelzor::ole::lockData(table.parray));
    pelzor::ole::clearVariant(&cells[column * static_cast<std::size_t>(rows) + row]);
    cells[column * static_cast<std::size_t>(rows) + row] = value;
    pelzor::ole::unlockData(table.parray);
}

// A table of rows of texts, numbers (as "#2.5") and Empty cells (as "-"), made cell by cell
// so that a failing allocation leaves nothing behind but the table, which the caller owns.
inline void makeTableOf(VARIANT* out, const std::vector<std::vector<std::string>>& rows) {
    makeTable(out, std::vector<std::vector<VARIANT>>(
                       rows.size(), std::vector<VARIANT>(rows.empty() ? 0 : rows[0].size())));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const std::string& cell = rows[r][c];
            if (cell == "-") {
                continue;
            }
            setCell(*out, r, c,
                    cell[0] == '#' ? number(std::strtod(cell.c_str() + 1, nullptr)) : text(cell));
        }
    }
}

inline std::string utf8Of(BSTR text) {
    std::string out;
    pelzor::appendUtf8(text, pelzor::ole::stringLength(text), out);
    return out;
}

inline std::string cellText(const VARIANT& cell) {
    switch (cell.vt) {
        case VT_EMPTY:
            return "-";
        case VT_R8: {
            std::string shown = "#";
            pelzor::appendDoubleText(cell.dblVal, shown);
            return shown;
        }
        case VT_BSTR:
            return "\"" + utf8Of(cell.bstrVal) + "\"";
        default:
            return "?" + std::to_string(cell.vt);
    }
}

// The table selectTable returned, as text; "not an array" for anything else.
inline std::string tableText(const VARIANT& table) {
    if (table.vt != (VT_ARRAY | VT_VARIANT) || pelzor::ole::dimensions(table.parray) != 2) {
        return table.vt == VT_EMPTY ? "Empty" : "not a table";
    }
    std::int32_t lowerRow, upperRow, lowerColumn, upperColumn;
    pelzor::ole::bounds(table.parray, 1, lowerRow, upperRow);
    pelzor::ole::bounds(table.parray, 2, lowerColumn, upperColumn);
    const std::size_t rows = static_cast<std::size_t>(upperRow - lowerRow + 1);
    const std::size_t columns = static_cast<std::size_t>(upperColumn - lowerColumn + 1);
    const auto* cells = static_cast<const VARIANT*>(pelzor::ole::lockData(table.parray));
    std::string out;
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            out += (c == 0 ? "" : " | ") + cellText(cells[c * rows + r]);
        }
        out += "\n";
    }
    pelzor::ole::unlockData(table.parray);
    if (lowerRow != 1 || lowerColumn != 1) {
        out += "bounds " + std::to_string(lowerRow) + " " + std::to_string(lowerColumn) + "\n";
    }
    return out;
}
