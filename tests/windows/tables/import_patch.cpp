#include "import_patch.h"

#include <cstdint>
#include <cstring>

ImportPatch::ImportPatch(HMODULE module, const char* from, const char* function,
                         void* replacement) {
    HMODULE exporter = GetModuleHandleA(from);
    void* target =
        exporter != nullptr ? reinterpret_cast<void*>(GetProcAddress(exporter, function)) : nullptr;
    if (target == nullptr) {
        return;
    }
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        for (auto* thunk = reinterpret_cast<void**>(base + import->FirstThunk); *thunk != nullptr;
             ++thunk) {
            if (*thunk == target) {
                slot_ = thunk;
                original_ = target;
                write(replacement);
                return;
            }
        }
    }
}

ImportPatch::~ImportPatch() {
    if (slot_ != nullptr) {
        write(original_);
    }
}

void ImportPatch::write(void* address) {
    DWORD old = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
    *slot_ = address;
    VirtualProtect(slot_, sizeof(void*), old, &old);
}
