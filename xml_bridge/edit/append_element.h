#pragma once
// appendElement: a new element, with attributes and a text, appended under every element a
// path selects.

#include "values/ole.h"

namespace pelzor {

// The document with <name a="v" ...>text</name> appended as the last child of every element
// `parentPath` selects in the document as given, printed as the building exports print it.
// `name` is written as given, prefix included; `text` "" (or null) gives an element without
// text; `attributes` as edit/attribute_list.h reads them. kParentMissing when the path is not
// understood or selects no element; a text that does not start with '<' when the name or the
// attributes are refused; null when memory runs out.
wchar_t* appendElement(const char* xmlText, const char* parentPath, const char* name,
                       const char* text, const VARIANT* attributes);

}  // namespace pelzor
