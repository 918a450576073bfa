#pragma once
// replaceAll: one substring replaced by another throughout a text, into a new buffer.

namespace pelzor {

// A new text on the library's heap (release it with heapFree): `source` with every
// occurrence of `pattern` replaced by `replacement`, matches taken from left to right and
// never overlapping. An empty pattern matches nothing, so the result is a copy. The buffer
// has exactly the result's length plus its terminating NUL; null when it cannot be
// allocated. The inputs are not changed.
char* replaceAll(const char* source, const char* pattern, const char* replacement);

}  // namespace pelzor
