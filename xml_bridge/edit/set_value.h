#pragma once
// setValue: a value written where a path says, as the text of every element it selects or as
// an attribute of them.

#include "values/ole.h"

namespace pelzor {

// The document with `value`'s text (values/value_text.h) written into every node the path
// selects in the document as given, printed as the building exports print it. A selected
// element gets it as its text (edit/element_text.h), its other children kept; a location path
// ending in "/@name" sets the attribute `name` of every element the part before it selects,
// adding it where it is missing. kElementMissing when the path is not understood or names no
// element; a text that does not start with '<' when the value cannot become text; null when
// memory runs out.
wchar_t* setValue(const char* xmlText, const char* path, const VARIANT* value);

}  // namespace pelzor
