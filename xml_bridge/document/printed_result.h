#pragma once
// A whole tree handed back to macro code as a result string.

#include <tinyxml.h>

namespace pelzor {

// `document` printed as appendXMLChild prints a document (see document/printer.h), in a new
// result string of exactly the printed length; null when memory runs out. The caller of the
// export owns it.
wchar_t* printedResult(const TiXmlDocument& document);

}  // namespace pelzor
