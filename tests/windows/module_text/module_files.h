#pragma once
// The macro module's ReadXMLFile and WriteXMLFile (vba/Pelzor.bas), step for step: the
// same system calls in the same order, the same encoding detection, declaration rewrite and
// replacement of the old file only once the new one is complete. An error the module
// raises is thrown as ModuleError; texts are UTF-16, as a VBA String holds them.

#include <string>

#include "module_text_path.h"

std::wstring readXMLFile(const std::wstring& path);
void writeXMLFile(const std::wstring& path, const std::wstring& text);

// DeclaredAsUtf8: the text with its XML declaration, if any, saying encoding="UTF-8".
std::wstring declaredAsUtf8(const std::wstring& text);
