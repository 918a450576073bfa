#pragma once
// removeNodes: the elements and attributes a path selects, taken out of the document.

namespace pelzor {

// The document without every node `path` selects in it, printed as the building exports print
// it: a selected element goes with all it holds, a selected attribute from its element. The
// root element stays: a selection that holds it (or another element at the top of the
// document) is refused whole, with a text that does not start with '<'. Nothing selected gives
// the document unchanged, printed; a path not understood kElementMissing. Null when memory runs
// out.
wchar_t* removeNodes(const char* xmlText, const char* path);

}  // namespace pelzor
