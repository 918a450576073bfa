#include "module_loader.h"

const char* const kNewestExport = sizeof(void*) == 8
                                      ? "?buildTable@XML@@CAPEA_WPEAD0PEAUtagVARIANT@@@Z"
                                      : "?buildTable@XML@@CGPA_WPAD0PAUtagVARIANT@@@Z";

namespace {

std::wstring withBackslash(const std::wstring& folder) {
    return !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/') ? folder
                                                                                : folder + L"\\";
}

bool startsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    const std::size_t length = wcslen(prefix);
    return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

// RefuseOlderBuild.
void refuseOlderBuild(HMODULE module, bool loadedHere) {
    const std::vector<char> exportName = utf8Bytes(
        std::wstring(kNewestExport, kNewestExport + std::char_traits<char>::length(kNewestExport)));
    if (GetProcAddress(module, exportName.data()) != nullptr) {
        return;
    }
    const std::string path = utf8Text(modulePath(module));
    if (loadedHere) {
        FreeLibrary(module);
        throw ModuleError(48, "Error in loading DLL: " + path +
                                  " is an older build of pelzor.dll, without functions this "
                                  "module declares; put the release's pelzor.dll in its place");
    }
    throw ModuleError(48,
                      "Error in loading DLL: an older build of pelzor.dll, without functions "
                      "this module declares, is loaded already from " +
                          path +
                          ". Another workbook loaded it, and it stays in use until the "
                          "spreadsheet application closes: close the application and open "
                          "this workbook first, or put the release's pelzor.dll in that "
                          "file's place");
}

}  // namespace

std::wstring modulePath(HMODULE module) {
    std::wstring units(32768, L'\0');
    const DWORD length = GetModuleFileNameW(module, units.data(), static_cast<DWORD>(units.size()));
    return units.substr(0, length);
}

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
        refuseOlderBuild(loaded, false);
        return loaded;
    }
    std::string looked;
    for (const std::wstring& place : pelzorPlaces(namedFolder, workbookPath)) {
        const std::wstring fullPath = place + L"pelzor.dll";
        if (HMODULE loaded = LoadLibraryW(fullPath.c_str())) {
            refuseOlderBuild(loaded, true);
            return loaded;
        }
        const DWORD failure = GetLastError();  // Err.LastDllError
        if (failure == ERROR_BAD_EXE_FORMAT) {
            throw ModuleError(
                48, "Error in loading DLL: " + utf8Text(fullPath) +
                        (sizeof(void*) == 8
                             ? " is not a 64-bit DLL: the other build, or a damaged file; this "
                               "64-bit Office needs the 64-bit build of pelzor.dll "
                               "(x64\\pelzor.dll in the release zip)"
                             : " is not a 32-bit DLL: the other build, or a damaged file; this "
                               "32-bit Office needs the 32-bit build of pelzor.dll "
                               "(x86\\pelzor.dll in the release zip)"));
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

HMODULE usePelzorFrom(const std::wstring& folder, const std::wstring& workbookPath) {
    if (HMODULE loaded = GetModuleHandleW(L"pelzor.dll")) {
        const std::wstring loadedFrom = modulePath(loaded);
        std::wstring named = folder;
        for (wchar_t& c : named) {
            c = c == L'/' ? L'\\' : c;
        }
        named = withBackslash(named);
        const std::wstring loadedFolder = loadedFrom.substr(0, loadedFrom.rfind(L'\\') + 1);
        if (_wcsicmp(loadedFolder.c_str(), named.c_str()) != 0) {
            throw ModuleError(48, "Error in loading DLL: pelzor.dll is loaded already, from " +
                                      utf8Text(loadedFrom) +
                                      ", and stays in use until the spreadsheet application "
                                      "closes; the one in " +
                                      utf8Text(named) + " cannot take its place before then");
        }
    }
    return loadPelzor(folder, workbookPath);
}
