#pragma once
// Generated documents of the kinds that macros pass to the library: a flat list of
// settings, a matrix of rows of ten numeric cells, and a nested project tree. Each is laid
// out the way appendXMLChild prints it (declaration line, one element per line, four
// spaces per level), except the matrix, which holds one row per line.

#include <cstddef>
#include <string>

namespace bench {

// Names that the benchmarks look up. In the settings list and in the tree they stand at
// the very end, so every lookup walks the whole document before it finds them.
inline constexpr char kTextName[] = "title";       // holds a short text
inline constexpr char kIntegerName[] = "retries";  // holds an integer
inline constexpr char kDoubleName[] = "ratio";     // holds a floating number
inline constexpr char kSettingsRoot[] = "settings";
inline constexpr char kMatrixName[] = "matrix";
inline constexpr char kTreeParent[] = "summary";  // the tree's last group, where children go

inline constexpr char kListName[] = "list";  // the list of values that paths read
inline constexpr char kListItem[] = "v";

inline constexpr int kMatrixColumns = 10;

// `<settings>` holding one element per setting (integers, floating numbers and short texts
// in turn) until the text is about `targetBytes` long, then title, retries and ratio.
std::string settingsDocument(std::size_t targetBytes);

// The number of settings (child elements of the root) in a settings document.
int settingsCount(const std::string& document);

// `<workbook><matrix>` holding `rows` rows of kMatrixColumns cells, each a number written
// with nine characters ("01234.567", "-1234.567").
std::string matrixDocument(int rows);

// The value of the cell in `row` and `column` of matrixDocument, as written there.
double matrixCell(int row, int column);

// `<list>` holding `count` elements `<v>`, one per line, each a number written with nine
// characters as in the matrix.
std::string listDocument(int count);

// `<records>` holding `count` `<record>` elements of kRecordFields fields each (integers,
// decimal numbers, texts and a date), laid out as the parser's printer lays it out, so that
// a document built from its table prints the same bytes.
inline constexpr char kRecordsRoot[] = "records";
inline constexpr char kRecordName[] = "record";
inline constexpr int kRecordFields = 10;
std::string recordsDocument(int count);
// The fields of record `index` as markup (`<id>7</id><sku>...`), as a macro writes a record
// for appendXMLChild with unescapeTags.
std::string recordMarkup(int index);

// `<project>` holding sections of groups of items (a key and a value each) until the text
// is about `targetBytes` long, then a last section whose `<summary>`, four levels below
// the root, holds title, retries and ratio.
std::string treeDocument(std::size_t targetBytes);

}  // namespace bench
