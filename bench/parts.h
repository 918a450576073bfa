#pragma once
// The pieces of a call measured on their own, to tell where the library's cost over the
// parser goes: the parse and destruction of the tree alone, the library's guarded copy of
// the text with its nesting scan, the scan alone, and a plain table-driven pass over the
// text for comparison.

namespace bench {

// Registers parts/<piece>/<document>/<bytes> for the settings and tree documents.
void registerParts();

}  // namespace bench
