#pragma once
// A document handed back to macro code: the tree printed as the building exports print it (the
// parser's printer, four spaces of indentation a level, "\n" after every line), as a result
// string. The one place where the exports that make or change a tree print it.

#include <tinyxml.h>

namespace pelzor {

// Null when memory runs out.
wchar_t* printedResult(const TiXmlDocument& document);

}  // namespace pelzor
