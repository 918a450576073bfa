// The DLL's export table, imports and resources, read from the loaded image: exactly the
// decorated names of the export table with their ordinals 1 to 16, only system imports, only a
// manifest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "pelzor_dll.h"

namespace {

const IMAGE_NT_HEADERS* ntHeaders(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
}

template <typename T>
const T* at(HMODULE module, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

BOOL CALLBACK collectType(HMODULE, LPSTR type, LONG_PTR sink) {
    auto* types = reinterpret_cast<std::set<std::uintptr_t>*>(sink);
    types->insert(IS_INTRESOURCE(type) ? reinterpret_cast<std::uintptr_t>(type)
                                       : ~std::uintptr_t{0});
    return TRUE;
}

}  // namespace

TEST(ExportTable, HoldsExactlyTheDecoratedNamesWithTheirOrdinals) {
    PelzorDll dll;
    const auto& directory =
        ntHeaders(dll.module())->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports = at<IMAGE_EXPORT_DIRECTORY>(dll.module(), directory.VirtualAddress);
    EXPECT_EQ(exports->Base, 1u);
    ASSERT_EQ(exports->NumberOfFunctions, static_cast<DWORD>(kExportCount));
    ASSERT_EQ(exports->NumberOfNames, static_cast<DWORD>(kExportCount));
    const DWORD* names = at<DWORD>(dll.module(), exports->AddressOfNames);
    const WORD* ordinals = at<WORD>(dll.module(), exports->AddressOfNameOrdinals);
    // The name table is sorted by name, which is not the ordinal order.
    std::set<std::string> seen;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        const std::string name = at<char>(dll.module(), names[i]);
        const ExportEntry* expected = nullptr;
        for (const ExportEntry& entry : kExports) {
            expected = name == decoratedName(entry) ? &entry : expected;
        }
        ASSERT_NE(expected, nullptr) << name;
        EXPECT_EQ(ordinals[i] + exports->Base, static_cast<DWORD>(expected->ordinal)) << name;
        seen.insert(name);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kExportCount));
}

TEST(ExportTable, NameAndOrdinalResolveToTheSameFunction) {
    PelzorDll dll;
    for (const ExportEntry& entry : kExports) {
        FARPROC byName = dll.byName(decoratedName(entry));
        ASSERT_NE(byName, nullptr) << entry.function;
        EXPECT_EQ(byName, dll.byOrdinal(entry.ordinal)) << entry.function;
        // No undecorated alias.
        EXPECT_EQ(dll.byName(entry.function), nullptr) << entry.function;
    }
}

TEST(ExportTable, ImportsOnlyFromTheSystem) {
    PelzorDll dll;
    const auto& directory =
        ntHeaders(dll.module())->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const std::set<std::string> allowed = {"KERNEL32.DLL", "MSVCRT.DLL", "OLEAUT32.DLL"};
    int count = 0;
    for (auto* import = at<IMAGE_IMPORT_DESCRIPTOR>(dll.module(), directory.VirtualAddress);
         import->Name != 0; ++import, ++count) {
        const std::string name = upper(at<char>(dll.module(), import->Name));
        const bool ucrt = name.rfind("API-MS-WIN-CRT-", 0) == 0;
        EXPECT_TRUE(allowed.count(name) == 1 || ucrt) << name;
    }
    EXPECT_GT(count, 0);
}

TEST(ExportTable, CarriesOnlyAManifestResource) {
    PelzorDll dll;
    std::set<std::uintptr_t> types;
    EnumResourceTypesA(dll.module(), collectType, reinterpret_cast<LONG_PTR>(&types));
    EXPECT_EQ(types, (std::set<std::uintptr_t>{24}));  // RT_MANIFEST
    HRSRC manifest = FindResourceA(dll.module(), MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(dll.module(), manifest)));
    const std::string body(text, SizeofResource(dll.module(), manifest));
    EXPECT_NE(body.find("level=\"asInvoker\""), std::string::npos);
}
