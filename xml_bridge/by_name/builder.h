#pragma once
// Building a document one call at a time.

namespace pelzor {

extern const char kParentMissing[];  // "Parent element does not exist"

// "<?xml version='1.0' encoding='utf-8'?><root></root>" with `rootName` copied unchanged
// between the angle brackets, as a result string; null when memory runs out.
wchar_t* buildBlankDocument(const char* rootName);

// The document with a new element `childName`, holding the text `childText`, appended as
// the last child of the first element named `parentName`, printed anew. The printer's
// output stays as it is but for the new element's text, which keeps the references the
// caller wrote and, with `unescapeTags`, the caller's markup (writeChildText).
// kParentMissing when there is no such element (or a name is null); a null `childText`
// counts as empty; null when memory runs out.
wchar_t* appendChildElement(const char* xmlText, const char* childName, const char* parentName,
                            const char* childText, bool unescapeTags);

}  // namespace pelzor
