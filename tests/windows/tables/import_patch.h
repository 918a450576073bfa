#pragma once
// Replaces, in one loaded module, the address its import table holds for a function of
// another DLL: calls the module makes to that function then reach the replacement. The old
// address comes back when the object goes.

#include <windows.h>

class ImportPatch {
public:
    // `function` is found by its address in `from` (oleaut32.dll, say), so imports by name
    // and by ordinal are both found. `original()` is the address it had; null when the
    // module does not import it.
    ImportPatch(HMODULE module, const char* from, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    void* original() const { return original_; }

private:
    void write(void* address);

    void** slot_ = nullptr;
    void* original_ = nullptr;
};
