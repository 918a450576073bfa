#pragma once
// How the macro module vba/Pelzor.bas finds pelzor.dll, step for step: its LoadPelzor,
// PelzorPlaces, RefuseOlderBuild and UsePelzorFrom, with the same system calls in the same
// order and the same messages. A failure is thrown as the ModuleError the module raises.

#include <windows.h>

#include <string>
#include <vector>

#include "module_text_path.h"

// The module's NEWEST_EXPORT in this bitness: the newest function it declares.
extern const char* const kNewestExport;

// The folders looked in, in order, each ending in "\"; "" stands for Windows' own search.
// workbookPath is ThisWorkbook.Path: "" for a workbook never saved.
std::vector<std::wstring> pelzorPlaces(const std::wstring& namedFolder,
                                       const std::wstring& workbookPath);

// LoadPelzor: keeps a pelzor.dll already loaded, else loads the first one found by full
// path; error 53 listing every place looked in, or 48 for a file that is not a DLL of this
// bitness or a pelzor.dll without kNewestExport (an older build; one loaded here is
// unloaded again). Returns the module that "pelzor.dll" now names in the process.
HMODULE loadPelzor(const std::wstring& namedFolder, const std::wstring& workbookPath);

// UsePelzorFrom: error 48 when a pelzor.dll is loaded already from another folder, else
// LoadPelzor with that folder named.
HMODULE usePelzorFrom(const std::wstring& folder, const std::wstring& workbookPath);

// GetModuleFileNameW: the full path of a loaded module's file.
std::wstring modulePath(HMODULE module);
