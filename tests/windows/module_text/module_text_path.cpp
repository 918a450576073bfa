#include "module_text_path.h"

#include <windows.h>

#include <oleauto.h>

std::vector<char> utf8Bytes(const std::wstring& text) {
    if (text.find(L'\0') != std::wstring::npos) {
        throw ModuleError(5, "Text holds a NUL character");
    }
    const int wideLength = static_cast<int>(text.size());  // Len(text), a Long
    int length = 0;
    if (wideLength > 0) {
        length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), wideLength,
                                     nullptr, 0, nullptr, nullptr);
        if (length == 0) {
            throw ModuleError(5,
                              "Text holds a lone surrogate (half of a character beyond U+FFFF), "
                              "which UTF-8 cannot hold");
        }
    }
    std::vector<char> bytes(static_cast<std::size_t>(length) + 1, '\0');  // ReDim (0 To length)
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), wideLength, bytes.data(),
                            length, nullptr, nullptr);
    }
    return bytes;
}

std::string utf8Text(const std::wstring& text) {
    return utf8Bytes(text).data();
}

std::wstring textFromUtf8(const char* bytes, int byteLength, bool strict) {
    if (byteLength == 0) {
        return std::wstring();
    }
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int length = MultiByteToWideChar(CP_UTF8, flags, bytes, byteLength, nullptr, 0);
    if (length == 0) {
        throw ModuleError(5, "Text is not UTF-8");
    }
    std::wstring text(static_cast<std::size_t>(length), L'\0');  // String$(length, vbNullChar)
    MultiByteToWideChar(CP_UTF8, flags, bytes, byteLength, text.data(), length);
    return text;
}

std::wstring libraryText(wchar_t* result) {
    if (result == nullptr) {
        throw ModuleError(7, "Out of memory");
    }
    // On Error GoTo Release ... Release: the result is freed on both paths.
    std::wstring text;
    int failure = 0;
    std::string description;
    try {
        const int byteLength = static_cast<int>(SysStringByteLen(result));  // As Long
        text = textFromUtf8(reinterpret_cast<const char*>(result), byteLength, false);
    } catch (const ModuleError& error) {
        failure = error.number();
        description = error.what();
    }
    SysFreeString(result);
    if (failure != 0) {
        throw ModuleError(failure, description);
    }
    return text;
}

std::wstring getStringValue(PelzorDll& dll, const std::wstring& xmlText,
                            const std::wstring& elementName) {
    std::vector<char> xml = utf8Bytes(xmlText);
    std::vector<char> name = utf8Bytes(elementName);
    return libraryText(dll.getStringValue(xml.data(), name.data()));
}

std::wstring appendXMLChild(PelzorDll& dll, const std::wstring& xmlText,
                            const std::wstring& childName, const std::wstring& parentName,
                            const std::wstring& childText, bool unescapeTags) {
    std::vector<char> xml = utf8Bytes(xmlText);
    std::vector<char> child = utf8Bytes(childName);
    std::vector<char> parent = utf8Bytes(parentName);
    std::vector<char> text = utf8Bytes(childText);
    return libraryText(
        dll.appendXMLChild(xml.data(), child.data(), parent.data(), text.data(), unescapeTags));
}
