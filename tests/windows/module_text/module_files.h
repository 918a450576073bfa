#pragma once
// The macro module's ReadXMLFile and WriteXMLFile (vba/Pelzor.bas), step for step: the
// same system calls in the same order, the same encoding detection, declaration rewrite and
// replacement of the old file only once the new one is complete (with ReplaceFileW when
// there is an old file, MoveFileExW when there is none or ReplaceFileW refuses). An error the
// module raises is thrown as ModuleError; texts are UTF-16, as a VBA String holds them.

#include <windows.h>

#include <string>

#include "module_text_path.h"

std::wstring readXMLFile(const std::wstring& path);
void writeXMLFile(const std::wstring& path, const std::wstring& text);

// The ReplaceFileW that writeXMLFile calls: the system's, unless a test puts a wrapper in
// its place to see the calls or to make them fail as a network share or a failing disk does.
using ReplaceFileCall = BOOL(WINAPI*)(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup,
                                      DWORD flags, LPVOID exclude, LPVOID reserved);
extern ReplaceFileCall gReplaceFile;

// DeclaredAsUtf8: the text with its XML declaration, if any, saying encoding="UTF-8".
std::wstring declaredAsUtf8(const std::wstring& text);
