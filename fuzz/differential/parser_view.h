#pragma once
// What one build of the parser makes of a text, as comparable strings. parser_view.cpp is
// compiled twice: against the parser the library ships (namespace patched_parser) and against
// the unmodified one (namespace unpatched_parser, see unpatched_names.h), each time with the
// library's own code built on that parser.

#include <string>
#include <vector>

// How the parser is told to read a text: as UTF-8, or deciding from its declaration.
enum class ViewEncoding { utf8, unknown };

struct ParseView {
    std::string description;                // everything observable, one line per fact
    std::vector<std::string> elementNames;  // the first three distinct element names, in order
    // With a placeholder: the internal subsets it stands for in the tree, in document order.
    std::vector<std::string> subsets;
};

// The exports' answers: the two appended documents apart, as they print the document type
// declarations of the tree.
struct ExportAnswers {
    std::string values;  // every other export's answer, one per line
    std::string appended;
    std::string appendedUnescaped;
};

namespace patched_parser {
// The parse of `text`, which ends in enough NUL bytes for the parser's known overrun. With a
// nonzero `subsetPlaceholder`, every document type declaration in the tree that holds an
// internal subset has the subset replaced by that one byte before the tree is described and
// printed; the subsets go into `subsets`.
ParseView viewParse(const char* text, ViewEncoding encoding, char subsetPlaceholder);
// The values of the unknown nodes (markup the parser keeps unread) of the parse of `text`.
std::vector<std::string> unknownValues(const char* text, ViewEncoding encoding);
// An element the library's builder might make, with `text` as its attribute and its text,
// as printed.
std::string viewMadeElement(const char* text);
// Every export's answer for `text` and the element name `name`.
ExportAnswers viewExports(const char* text, const char* name);
}  // namespace patched_parser

namespace unpatched_parser {
ParseView viewParse(const char* text, ViewEncoding encoding, char subsetPlaceholder);
std::vector<std::string> unknownValues(const char* text, ViewEncoding encoding);
std::string viewMadeElement(const char* text);
ExportAnswers viewExports(const char* text, const char* name);
}  // namespace unpatched_parser
