#pragma once
// Numeric arrays: the values under a named element copied into the caller's buffer of
// doubles, and the shape of a matrix.

namespace pelzor {

// The array getters write exactly values[0 .. count): the values found, in order, then
// zeros; all zeros when the element is missing; values beyond the count-th are ignored.
// A count of zero or less writes nothing. The result is false only when the working array
// cannot be allocated, in which case values[0 .. count) are set to zero.

// One value per child element of the named element.
bool readDouble1DArray(const char* xmlText, const char* elementName, double* values, int count);
// One value per cell (child of a child), row after row, packed without gaps.
bool readDouble2DArray(const char* xmlText, const char* elementName, double* values, int count);
// The number of child elements of the named element; 0 when it is missing.
int countArrayRows(const char* xmlText, const char* elementName);
// The number of child elements of the named element's first child element; 0 when either
// is missing.
int countArrayColumns(const char* xmlText, const char* elementName);

// Sets values[0 .. count) to 0.0; does nothing for a count of 0 or less.
void zeroDoubles(double* values, int count);

}  // namespace pelzor
