#include "module_loader.h"

namespace {

std::wstring withBackslash(const std::wstring& folder) {
    return !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/') ? folder
                                                                                : folder + L"\\";
}

bool startsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    const std::size_t length = wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

}  // namespace

std::vector<std::wstring> pelzorPlaces(const std::wstring& namedFolder,
                                       const std::wstring& workbookPath) {
    std::vector<std::wstring> places;
    if (!namedFolder.empty()) {
        places.push_back(withBackslash(namedFolder));
    }
    std::wstring book = workbookPath;  // WorkbookFolder
    if (startsWithNoCase(book, L"http://") || startsWithNoCase(book, L"https://")) {
        book.clear();
    }
    if (!book.empty()) {
        places.push_back(withBackslash(book) + (sizeof(void*) == 8 ? L"x64\\" : L"x86\\"));
        places.push_back(withBackslash(book));
    }
    places.push_back(L"");
    return places;
}

HMODULE loadPelzor(const std::wstring& namedFolder, const std::wstring& workbookPath) {
    if (HMODULE loaded = GetModuleHandleW(L"pelzor.dll")) {
        return loaded;
    }
    std::string looked;
    for (const std::wstring& place : pelzorPlaces(namedFolder, workbookPath)) {
        const std::wstring fullPath = place + L"pelzor.dll";
        if (HMODULE loaded = LoadLibraryW(fullPath.c_str())) {
            return loaded;
        }
        const DWORD failure = GetLastError();  // Err.LastDllError
        if (failure == ERROR_BAD_EXE_FORMAT) {
            throw ModuleError(
                48, "Error in loading DLL: " + utf8Text(fullPath) +
                        (sizeof(void*) == 8 ? " is a 32-bit build; this 64-bit Office needs the "
                                              "64-bit build of pelzor.dll (x64\\pelzor.dll in the "
                                              "release zip)"
                                            : " is a 64-bit build; this 32-bit Office needs the "
                                              "32-bit build of pelzor.dll (x86\\pelzor.dll in the "
                                              "release zip)"));
        }
        if (failure != ERROR_MOD_NOT_FOUND && failure != ERROR_FILE_NOT_FOUND &&
            failure != ERROR_PATH_NOT_FOUND) {
            throw ModuleError(48, "Error in loading DLL: " + utf8Text(fullPath) +
                                      " (Windows error " + std::to_string(failure) + ")");
        }
        looked += place.empty() ? "\n  Windows' own search (the application's folder, the system "
                                  "folders, the current folder, PATH)"
                                : "\n  " + utf8Text(place);
    }
    throw ModuleError(53, "File not found: pelzor.dll. Looked in:" + looked);
}
