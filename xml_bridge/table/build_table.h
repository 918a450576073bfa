#pragma once
// buildTable: a document of records made from a table that macro code holds (a worksheet
// range's values, or any two-dimensional array), in one parse-free pass.

#include "values/ole.h"

namespace pelzor {

// `<rootName>` holding one `<recordName>` per row of `table` after its first, in order, as a
// result string printed as the building exports print (the parser's printer, four spaces of
// indentation). `table` holds, directly or by reference, a two-dimensional array of Variants,
// Strings, Doubles, Longs, Dates or Booleans, with any lower bounds; its first row holds the
// headers, texts that are column paths of the writable kind (table/writable_header.h). In each
// row, every cell that is not Empty makes what its header names in that record, its value as
// values/value_text.h writes it; elements along the way are made once per record, in header
// order. Instead of a document, a text that does not start with '<' and says what is wrong
// (naming the row and column, as indices of the array): a name or header that is not one, an
// array of other than two dimensions, a cell that has no text (Null, an error value, an
// object, an array). Null when memory runs out.
wchar_t* buildTable(const char* rootName, const char* recordName, const VARIANT* table);

}  // namespace pelzor
