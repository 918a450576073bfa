#pragma once
// A value macro code handed over, made the text an edit writes into a document.

#include <string>

#include "values/value_ref.h"

namespace pelzor {

// Appends the text of `value` (values/value_text.h) to `text` and returns true; or sets
// `problem` to "<what> is <the value>, which cannot become document text" and returns false,
// `text` as it was. A text holding a NUL character is refused too: no document can hold one,
// and the parser's strings would cut the text there.
bool appendDocumentText(const ValueRef& value, const std::string& what, std::string& text,
                        std::string& problem);

}  // namespace pelzor
