#pragma once
// The attributes macro code gives a new element: names and values taken alternately from a
// one-dimensional array, what a ParamArray gives.

#include <tinyxml.h>

#include <string>

#include "values/ole.h"

namespace pelzor {

// Sets on `element`, in order, the attributes `attributes` holds, directly or by reference:
// Empty (or an array that was never sized, or one without items) holds none; otherwise a
// one-dimensional array whose items are names (Strings, each an XML name, none given twice) and
// values (anything values/value_text.h makes text) taken alternately. False with `problem`
// saying what is wrong (naming the item by its index in the array where it has no name yet),
// the element then holding what came before. Throws std::bad_alloc when memory runs out.
bool addAttributes(const VARIANT* attributes, TiXmlElement& element, std::string& problem);

}  // namespace pelzor
