#pragma once
// The same jobs as the exports, done by using the parser directly, the way a program that
// links TinyXML itself would: parse the caller's text in place, walk to the first element
// with the name, convert its text with the C runtime, destroy the tree. These are the
// baselines that the library's calls are measured against.

namespace bench::direct {

// The element's text copied into a new result string (freed with pelzor::freeByteString);
// "Element does not exist" when it is missing.
wchar_t* stringValue(const char* xmlText, const char* name);
int integerValue(const char* xmlText, const char* name);
double doubleValue(const char* xmlText, const char* name);

// One value per child element (1D) or per cell of each row (2D), the rest of `values` zero.
void double1DArray(const char* xmlText, const char* name, double* values, int count);
void double2DArray(const char* xmlText, const char* name, double* values, int count);
int arrayRows(const char* xmlText, const char* name);
int arrayColumns(const char* xmlText, const char* name);

// The texts of the child elements of the first element `name`, each followed by a NUL
// byte, in a new result string.
wchar_t* childTexts(const char* xmlText, const char* name);

// Parse, add `<childName>childText</childName>` under the first element `parentName`, print,
// copy the printed text into a new result string; "Parent element does not exist" when the
// parent is missing.
wchar_t* appendChild(const char* xmlText, const char* childName, const char* parentName,
                     const char* childText);

}  // namespace bench::direct
