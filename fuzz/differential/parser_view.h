#pragma once
// What one build of the parser makes of a text, as comparable strings. parser_view.cpp is
// compiled twice: against the parser the library ships (namespace patched_parser) and against
// the unmodified one (namespace unpatched_parser, see unpatched_names.h), each time with the
// library's own code built on that parser.

#include <string>
#include <vector>

struct ParseView {
    std::string description;                // everything observable, one line per fact
    std::vector<std::string> elementNames;  // the first three distinct element names, in order
};

namespace patched_parser {
// The parse of `text`, which ends in enough NUL bytes for the parser's known overrun.
ParseView viewParse(const char* text);
// Every export's answer for `text` and the element name `name`.
std::string viewExports(const char* text, const char* name);
}  // namespace patched_parser

namespace unpatched_parser {
ParseView viewParse(const char* text);
std::string viewExports(const char* text, const char* name);
}  // namespace unpatched_parser
