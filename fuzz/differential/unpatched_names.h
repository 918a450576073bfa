#pragma once
// Forced into the library's sources where the differential fuzz target compiles them a
// second time, on the unmodified parser (whose own names cmake/tinyxml_unpatched_names.h
// renames): the library's names that the linker sees are renamed as well.
#define pelzor pelzor_unpatched
#define XML UnpatchedXML
#define XMLExportAccess UnpatchedXMLExportAccess
// The side the parser view is compiled for (parser_view.h).
#define PELZOR_PARSER_SIDE unpatched_parser
