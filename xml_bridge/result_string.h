#pragma once
// makeResultString: the one way the library hands text back to macro code.

namespace pelzor {

// A new byte string holding the bytes of `text` (without its terminating NUL), unchanged;
// null when it cannot be allocated. The caller of the export owns it. `text` stays the
// caller's: it is neither kept nor freed.
wchar_t* makeResultString(const char* text);

}  // namespace pelzor
