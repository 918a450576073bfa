#pragma once
// The text path of the macro module vba/Pelzor.bas, step for step: the same system calls in
// the same order, with arguments of the same widths, as the module's Utf8Bytes,
// TextFromUtf8, LibraryText, GetStringValue and AppendXMLChild make them. Texts are UTF-16,
// as a VBA String holds them; an error the module raises is thrown as ModuleError.

#include <stdexcept>
#include <string>
#include <vector>

#include "pelzor_dll.h"

// Err.Raise number, description.
class ModuleError : public std::runtime_error {
public:
    ModuleError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

// Utf8Bytes: the UTF-8 bytes of text followed by one NUL; a NUL or a lone surrogate in the
// text raises error 5.
std::vector<char> utf8Bytes(const std::wstring& text);

// The same bytes without the NUL, for messages and comparisons.
std::string utf8Text(const std::wstring& text);

// TextFromUtf8: the text of byteLength UTF-8 bytes; with strict, bytes that are not UTF-8
// raise error 5 instead of becoming U+FFFD.
std::wstring textFromUtf8(const char* bytes, int byteLength, bool strict);

// LibraryText: decodes a result string of the library and frees it, exactly once; a null
// result raises error 7.
std::wstring libraryText(wchar_t* result);

// The module's public GetStringValue and AppendXMLChild.
std::wstring getStringValue(PelzorDll& dll, const std::wstring& xmlText,
                            const std::wstring& elementName);
std::wstring appendXMLChild(PelzorDll& dll, const std::wstring& xmlText,
                            const std::wstring& childName, const std::wstring& parentName,
                            const std::wstring& childText, bool unescapeTags = false);
