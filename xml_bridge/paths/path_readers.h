#pragma once
// The path readers: what a path selects in a document, as a text, a list of texts, a count
// or numbers. A path that is not understood selects nothing, and the document is then not
// parsed at all.

namespace pelzor {

// -1 when `path` is understood, otherwise the byte offset of the first thing that is not
// (at most INT_MAX). No document is involved.
int checkPathText(const char* path);

// The value of the first selected node: kElementMissing when nothing is selected; null
// when the result cannot be allocated.
wchar_t* readSelectedText(const char* xmlText, const char* path);
// The values of all selected nodes in document order, each followed by one NUL byte (a
// value holding a NUL byte is cut at it); an empty string when nothing is selected.
wchar_t* readSelectedTexts(const char* xmlText, const char* path);
// The number of selected nodes (at most INT_MAX).
int countSelected(const char* xmlText, const char* path);
// The values of the selected nodes read as numbers into values[0 .. count), zeros behind
// the last one; a count of zero or less writes nothing. Returns the number of selected
// nodes, which may be more than `count`.
int readSelectedDoubles(const char* xmlText, const char* path, double* values, int count);

}  // namespace pelzor
