#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "com_holders.h"

// A BSTR holding the 8-bit text converted through the given code page; null when the text
// cannot be converted or no memory is left.
BSTR newBstrFromText(const std::string& text, UINT codePage);

// The UTF-16 text converted to 8-bit text in the ANSI code page; absent for a null BSTR.
std::optional<std::string> ansiTextFromBstr(BSTR text);
