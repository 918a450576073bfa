#include "module_files.h"

#include <windows.h>

#include <cwctype>
#include <vector>

ReplaceFileCall gReplaceFile = ReplaceFileW;

namespace {

const std::wstring kBlanks = L" \t\r\n";

// DeclarationEnd: the index of "?>" when the text starts with an XML declaration (after a
// byte-order mark if there is one), else npos.
std::size_t declarationEnd(const std::wstring& text) {
    const std::size_t first = !text.empty() && text[0] == 0xFEFF ? 1 : 0;
    if (text.compare(first, 5, L"<?xml") != 0 || text.size() <= first + 5 ||
        kBlanks.find(text[first + 5]) == std::wstring::npos) {
        return std::wstring::npos;
    }
    return text.find(L"?>", first);
}

// FindPseudoAttribute: the place of name's quoted value in the declaration head.
bool findPseudoAttribute(const std::wstring& head, const std::wstring& name, std::size_t& start,
                         std::size_t& length) {
    std::size_t at = std::wstring::npos;
    for (wchar_t blank : kBlanks) {
        if (at == std::wstring::npos) {
            at = head.find(blank + name);
        }
    }
    if (at == std::wstring::npos) {
        return false;
    }
    at += 1 + name.size();
    while (at < head.size() && kBlanks.find(head[at]) != std::wstring::npos)
        ++at;
    if (at >= head.size() || head[at] != L'=') {
        return false;
    }
    ++at;
    while (at < head.size() && kBlanks.find(head[at]) != std::wstring::npos)
        ++at;
    if (at >= head.size() || (head[at] != L'"' && head[at] != L'\'')) {
        return false;
    }
    const std::size_t closing = head.find(head[at], at + 1);
    if (closing == std::wstring::npos) {
        return false;
    }
    start = at + 1;
    length = closing - at - 1;
    return true;
}

UINT codePageOf(const std::wstring& name) {
    std::wstring upper = name;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(c));
    struct Entry {
        const wchar_t* names[8];
        UINT codePage;
    };
    static const Entry table[] = {
        {{L"", L"UTF-8", L"UTF8", L"UTF-16", L"UTF-16LE", L"UTF-16BE", L"UCS-2",
          L"ISO-10646-UCS-2"},
         CP_UTF8},
        {{L"US-ASCII", L"ASCII", L"ANSI_X3.4-1968"}, 20127},
        {{L"ISO-8859-11", L"TIS-620"}, 874},
        {{L"ISO-8859-13"}, 28603},
        {{L"ISO-8859-15"}, 28605},
        {{L"SHIFT_JIS", L"SHIFT-JIS", L"SJIS", L"MS_KANJI", L"WINDOWS-31J", L"CP932"}, 932},
        {{L"EUC-JP"}, 20932},
        {{L"GB2312", L"GBK", L"CP936"}, 936},
        {{L"GB18030"}, 54936},
        {{L"BIG5", L"BIG-5", L"CP950"}, 950},
        {{L"EUC-KR", L"KS_C_5601-1987", L"CP949"}, 949},
        {{L"KOI8-R"}, 20866},
        {{L"KOI8-U"}, 21866},
    };
    for (const Entry& entry : table) {
        for (const wchar_t* known : entry.names) {
            if (known != nullptr && upper == known)
                return entry.codePage;
        }
    }
    if (upper.size() == 10 && upper.compare(0, 9, L"ISO-8859-") == 0 && upper[9] >= L'1' &&
        upper[9] <= L'9') {
        return 28590 + static_cast<UINT>(upper[9] - L'0');
    }
    if (upper.size() == 12 && upper.compare(0, 11, L"WINDOWS-125") == 0 && upper[11] >= L'0' &&
        upper[11] <= L'8') {
        return 1250 + static_cast<UINT>(upper[11] - L'0');
    }
    throw ModuleError(5, "The XML declaration names an encoding this module cannot read");
}

std::wstring declaredEncoding(const std::vector<unsigned char>& bytes) {
    std::wstring head;
    for (std::size_t i = 0; i < bytes.size() && i < 512; ++i)
        head += static_cast<wchar_t>(bytes[i]);
    const std::size_t ending = declarationEnd(head);
    std::size_t start = 0, length = 0;
    if (ending != std::wstring::npos &&
        findPseudoAttribute(head.substr(0, ending), L"encoding", start, length)) {
        return head.substr(start, length);
    }
    return std::wstring();
}

std::wstring textInCodePage(UINT codePage, const unsigned char* bytes, int byteLength) {
    const char* start = reinterpret_cast<const char*>(bytes);
    if (codePage == CP_UTF8) {
        return textFromUtf8(start, byteLength, true);
    }
    const int units =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, start, byteLength, nullptr, 0);
    if (units == 0) {
        throw ModuleError(5, "The bytes are not valid in the file's encoding");
    }
    std::wstring decoded(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, start, byteLength, decoded.data(), units);
    return decoded;
}

std::wstring textOfUtf16(std::vector<unsigned char>& bytes, std::size_t first, bool bigEndian) {
    if ((bytes.size() - first) % 2 != 0) {
        throw ModuleError(5, "Text is not UTF-16: its length is odd");
    }
    std::wstring units;
    for (std::size_t i = first; i + 1 < bytes.size(); i += 2) {
        units += static_cast<wchar_t>(bigEndian ? bytes[i] << 8 | bytes[i + 1]
                                                : bytes[i + 1] << 8 | bytes[i]);
    }
    return units;
}

std::wstring textOfFileBytes(std::vector<unsigned char>& bytes) {
    const int count = static_cast<int>(bytes.size());
    if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        return count > 3 ? textFromUtf8(reinterpret_cast<const char*>(&bytes[3]), count - 3, true)
                         : std::wstring();
    }
    if (count >= 2) {
        if (bytes[0] == 0xFF && bytes[1] == 0xFE)
            return textOfUtf16(bytes, 2, false);
        if (bytes[0] == 0xFE && bytes[1] == 0xFF)
            return textOfUtf16(bytes, 2, true);
        if (bytes[0] != 0 && bytes[1] == 0)
            return textOfUtf16(bytes, 0, false);
        if (bytes[0] == 0 && bytes[1] != 0)
            return textOfUtf16(bytes, 0, true);
        return textInCodePage(codePageOf(declaredEncoding(bytes)), bytes.data(), count);
    }
    return textInCodePage(CP_UTF8, bytes.data(), count);
}

// TemporaryName: ~pz<process>-<attempt>.tmp, in hexadecimal, in the target's folder.
std::wstring temporaryName(const std::wstring& target, int attempt) {
    const std::size_t folderEnd = target.find_last_of(L"\\/:");
    wchar_t name[40];
    swprintf(name, 40, L"~pz%lX-%X.tmp", GetCurrentProcessId(), attempt);
    return target.substr(0, folderEnd == std::wstring::npos ? 0 : folderEnd + 1) + name;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// UnusedNameNextTo.
std::wstring unusedNameNextTo(const std::wstring& target) {
    std::wstring name;
    int attempt = 0;
    do {
        name = temporaryName(target, ++attempt);
    } while (exists(name) && attempt < 1000);
    return name;
}

// CreateNewFile: a new file with a temporary name next to the target, opened for writing.
HANDLE createNewFile(const std::wstring& target, std::wstring& newPath) {
    DWORD failure = 0;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        newPath = temporaryName(target, attempt);
        HANDLE file = CreateFileW(newPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return file;
        }
        failure = GetLastError();
        if (failure != ERROR_FILE_EXISTS)
            break;
    }
    if (failure == ERROR_PATH_NOT_FOUND)
        throw ModuleError(76, "Path not found");
    if (failure == ERROR_ACCESS_DENIED)
        throw ModuleError(70, "Permission denied");
    throw ModuleError(75, "Cannot create a file next to the target");
}

// PutInPlace.
void putInPlace(const std::wstring& newPath, const std::wstring& target) {
    const DWORD oldAttributes = GetFileAttributesW(target.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
        if (oldAttributes & FILE_ATTRIBUTE_READONLY) {
            throw ModuleError(70, "Permission denied: the file is read-only");
        }
        const std::wstring backup = unusedNameNextTo(target);
        if (gReplaceFile(target.c_str(), newPath.c_str(), backup.c_str(),
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                         nullptr)) {
            DeleteFileW(backup.c_str());
            return;
        }
        if (exists(target)) {
            DeleteFileW(backup.c_str());
        } else if (!MoveFileExW(backup.c_str(), target.c_str(), 0)) {
            throw ModuleError(75,
                              "Cannot put the new file in the old one's place; the old file "
                              "is kept as " +
                                  utf8Text(backup));
        }
    }
    if (!MoveFileExW(newPath.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD failure = GetLastError();
        if (failure == ERROR_ACCESS_DENIED || failure == ERROR_SHARING_VIOLATION) {
            throw ModuleError(70, "Permission denied");
        }
        throw ModuleError(75, "Cannot put the new file in the old one's place");
    }
}

}  // namespace

std::wstring readXMLFile(const std::wstring& path) {
    if (path.empty())
        throw ModuleError(52, "Bad file name: the path is empty");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        if (failure == ERROR_FILE_NOT_FOUND)
            throw ModuleError(53, "File not found");
        if (failure == ERROR_PATH_NOT_FOUND)
            throw ModuleError(76, "Path not found");
        throw ModuleError(75, "Cannot open");
    }
    // On Error GoTo Release ... Release: the handle is closed on every path.
    std::wstring decoded;
    int failure = 0;
    std::string message;
    try {
        DWORD sizeHigh = 0;
        const LONG byteCount = static_cast<LONG>(GetFileSize(file, &sizeHigh));
        if (byteCount == -1 && GetLastError() != 0)
            throw ModuleError(75, "Cannot read the size");
        if (sizeHigh != 0 || byteCount < 0)
            throw ModuleError(7, "File too large");
        if (byteCount > 0) {
            std::vector<unsigned char> bytes(static_cast<std::size_t>(byteCount));
            DWORD done = 0;
            if (!ReadFile(file, bytes.data(), static_cast<DWORD>(byteCount), &done, nullptr)) {
                throw ModuleError(75, "Cannot read the file");
            }
            if (done != static_cast<DWORD>(byteCount))
                throw ModuleError(75, "Cut short");
            decoded = textOfFileBytes(bytes);
        }
    } catch (const ModuleError& error) {
        failure = error.number();
        message = error.what();
    }
    CloseHandle(file);
    if (failure != 0)
        throw ModuleError(failure, message);
    return decoded;
}

std::wstring declaredAsUtf8(const std::wstring& text) {
    const std::size_t ending = declarationEnd(text);
    if (ending == std::wstring::npos)
        return text;
    const std::wstring head = text.substr(0, ending);
    std::size_t start = 0, length = 0;
    if (findPseudoAttribute(head, L"encoding", start, length)) {
        return text.substr(0, start) + L"UTF-8" + text.substr(start + length);
    }
    if (findPseudoAttribute(head, L"version", start, length)) {
        return text.substr(0, start + length + 1) + L" encoding=\"UTF-8\"" +
               text.substr(start + length + 1);
    }
    return text;
}

void writeXMLFile(const std::wstring& path, const std::wstring& text) {
    if (path.empty())
        throw ModuleError(52, "Bad file name: the path is empty");
    const std::vector<char> bytes = utf8Bytes(declaredAsUtf8(text));
    const DWORD byteCount = static_cast<DWORD>(bytes.size() - 1);  // without the closing NUL
    std::wstring newPath;
    HANDLE file = createNewFile(path, newPath);
    try {
        DWORD done = 0;
        if (byteCount > 0) {
            if (!WriteFile(file, bytes.data(), byteCount, &done, nullptr)) {
                throw ModuleError(75, "Cannot write the file");
            }
            if (done != byteCount)
                throw ModuleError(75, "The disk took only part of the text");
        }
        if (!FlushFileBuffers(file))
            throw ModuleError(75, "Cannot write the file to the disk");
        const BOOL closed = CloseHandle(file);
        file = nullptr;
        if (!closed)
            throw ModuleError(75, "Cannot finish writing the file");
        putInPlace(newPath, path);
    } catch (const ModuleError&) {
        if (file != nullptr)
            CloseHandle(file);
        DeleteFileW(newPath.c_str());
        throw;
    }
}
