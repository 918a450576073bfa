#pragma once
// A BSTR of UTF-16 characters made from document text (UTF-8), every character kept.

#include <cstddef>

#include "values/ole.h"

namespace pelzor {

// Null when memory runs out.
BSTR newOleString(const char* text, std::size_t length);

}  // namespace pelzor
