#pragma once
// The scalar readers: the text, integer or floating value of the first element with a
// given name.

namespace pelzor {

extern const char kElementMissing[];  // "Element does not exist"

// The element's text as a result string: kElementMissing when there is no such element,
// an empty string when it has no text; null when the result cannot be allocated.
wchar_t* readStringValue(const char* xmlText, const char* elementName);
// The element's text as an integer; 0 when the element or its text is missing.
int readIntegerValue(const char* xmlText, const char* elementName);
// The element's text as a floating number; 0.0 when the element or its text is missing.
double readDoubleValue(const char* xmlText, const char* elementName);

}  // namespace pelzor
