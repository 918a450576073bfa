// The module's ReadXMLFile and WriteXMLFile (module_files.h) under Wine: files in many
// encodings read to the same text as their UTF-8 twin, bytes that are not text refused,
// the declaration made to say UTF-8 on writing, and an old file replaced only by a complete
// new one, never lost when the write fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "module_files.h"

namespace {

std::wstring gFolder;  // a fresh folder with a name that is not ASCII

std::string fileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    std::string bytes(1 << 16, '\0');
    DWORD done = 0;
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(file);
    return bytes.substr(0, done);
}

void putBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(file);
}

// The names of the files in the folder, to see that no new file is left behind.
std::vector<std::wstring> filesInFolder() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((gFolder + L"\\*").c_str(), &found);
    while (search != INVALID_HANDLE_VALUE) {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
        if (!FindNextFileW(search, &found))
            break;
    }
    FindClose(search);
    return names;
}

std::string utf16(const std::wstring& text, bool bigEndian) {
    std::string bytes;
    for (wchar_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

std::wstring declared(const std::wstring& encoding, const std::wstring& content) {
    return L"<?xml version=\"1.0\" encoding=\"" + encoding + L"\"?>\n<r>" + content + L"</r>";
}

std::string ascii(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// A document declaring encoding, in ASCII but for content's bytes.
std::string encodedFile(const std::wstring& encoding, const std::string& content) {
    std::string file = ascii(declared(encoding, L""));
    return file.insert(file.find("</r>"), content);
}

// What follows the declaration, where a file and its UTF-8 twin must agree.
std::wstring afterDeclaration(const std::wstring& text) {
    return text.substr(text.find(L"?>"));
}

TEST(ModuleFiles, EveryEncodingReadsToTheTextOfItsUtf8Twin) {
    const std::wstring twin = gFolder + L"\\twin.xml";
    const std::wstring path = gFolder + L"\\encoded.xml";
    const std::wstring world = L"Zoë Ёлка ツール 😀";
    const std::wstring utf16Text = declared(L"UTF-16", world);
    const std::vector<char> utf8Declared16 = utf8Bytes(utf16Text);
    const struct {
        const char* label;
        std::wstring encoding, content;
        std::string bytes;  // the whole file
    } cases[] = {
        {"UTF-16 LE with a mark", L"UTF-16", world, "\xFF\xFE" + utf16(utf16Text, false)},
        {"UTF-16 BE with a mark", L"UTF-16", world, "\xFE\xFF" + utf16(utf16Text, true)},
        {"UTF-16 LE without a mark", L"UTF-16", world, utf16(utf16Text, false)},
        {"UTF-16 BE without a mark", L"UTF-16", world, utf16(utf16Text, true)},
        {"UTF-8 still declared UTF-16", L"UTF-16", world,
         std::string(utf8Declared16.data(), utf8Declared16.size() - 1)},
        {"ISO-8859-1", L"iso-8859-1", L"café naïve",
         encodedFile(L"iso-8859-1", "caf\xE9 na\xEFve")},
        {"windows-1251", L"WINDOWS-1251", L"Ёлка",
         encodedFile(L"WINDOWS-1251", "\xA8\xEB\xEA\xE0")},
        {"Shift_JIS", L"Shift_JIS", L"ツール",
         encodedFile(L"Shift_JIS", "\x83\x63\x81\x5B\x83\x8B")},
    };
    for (const auto& c : cases) {
        const std::vector<char> twinBytes = utf8Bytes(declared(L"UTF-8", c.content));
        putBytes(twin, std::string(twinBytes.data(), twinBytes.size() - 1));
        putBytes(path, c.bytes);
        try {
            const std::wstring text = readXMLFile(path);
            EXPECT_TRUE(text == declared(c.encoding, c.content)) << c.label;
            EXPECT_TRUE(afterDeclaration(text) == afterDeclaration(readXMLFile(twin))) << c.label;
        } catch (const ModuleError& error) {
            ADD_FAILURE() << c.label << ": error " << error.number() << " " << error.what();
        }
    }
}

TEST(ModuleFiles, BytesThatAreNotTextInTheirEncodingAreError5) {
    const std::wstring path = gFolder + L"\\refused.xml";
    const struct {
        const char* label;
        std::string bytes;
    } cases[] = {
        {"a Shift_JIS lead byte without its second", encodedFile(L"Shift_JIS", "\x83")},
        {"UTF-8 that is not", "<r>\xC3\x28</r>"},
        {"an encoding nobody knows", encodedFile(L"x-klingon", "a")},
        {"UTF-16 of odd length", std::string("\xFF\xFE<\0r", 5)},
    };
    for (const auto& c : cases) {
        putBytes(path, c.bytes);
        int number = 0;
        try {
            readXMLFile(path);
        } catch (const ModuleError& error) {
            number = error.number();
        }
        EXPECT_EQ(number, 5) << c.label;
    }
}

TEST(ModuleFiles, WritingMakesTheDeclarationSayUtf8AndChangesNothingElse) {
    const struct {
        std::wstring text, written;
    } cases[] = {
        {L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<r>ё</r>",
         L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>ё</r>"},
        {L"<?xml version='1.0' encoding = 'Shift_JIS' standalone='yes'?><r/>",
         L"<?xml version='1.0' encoding = 'UTF-8' standalone='yes'?><r/>"},
        {L"<?xml version='1.0' standalone='yes'?><r/>",
         L"<?xml version='1.0' encoding=\"UTF-8\" standalone='yes'?><r/>"},
        {L"\xFEFF<?xml\tversion=\"1.0\"?><r/>",
         L"\xFEFF<?xml\tversion=\"1.0\" encoding=\"UTF-8\"?><r/>"},
        {L"<r>encoding=\"UTF-16\"</r>", L"<r>encoding=\"UTF-16\"</r>"},
        {L"<?xml-stylesheet href=\"a.xsl\"?><r/>", L"<?xml-stylesheet href=\"a.xsl\"?><r/>"},
    };
    const std::wstring path = gFolder + L"\\written.xml";
    for (const auto& c : cases) {
        writeXMLFile(path, c.text);
        const std::vector<char> expected = utf8Bytes(c.written);
        EXPECT_EQ(fileBytes(path), std::string(expected.data(), expected.size() - 1));
        // A leading U+FEFF is written as the UTF-8 mark, which reading takes away again.
        const std::size_t mark = c.written[0] == 0xFEFF ? 1 : 0;
        EXPECT_TRUE(readXMLFile(path) == c.written.substr(mark)) << (&c - cases);
    }
}

TEST(ModuleFiles, TheOldFileIsReplacedOnlyByACompleteNewOne) {
    const std::wstring path = gFolder + L"\\kept.xml";
    writeXMLFile(path, L"<r>old</r>");
    writeXMLFile(path, L"<r>new</r>");
    EXPECT_EQ(fileBytes(path), "<r>new</r>");

    // Held open by a program that shares nothing: the old bytes stay, the new file goes.
    const std::vector<std::wstring> before = filesInFolder();
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    int number = 0;
    try {
        writeXMLFile(path, L"<r>lost</r>");
    } catch (const ModuleError& error) {
        number = error.number();
    }
    CloseHandle(held);
    EXPECT_EQ(number, 70);
    EXPECT_EQ(fileBytes(path), "<r>new</r>");
    EXPECT_EQ(filesInFolder(), before);

    // A folder that does not exist: error 76, nothing made.
    number = 0;
    try {
        writeXMLFile(gFolder + L"\\missing\\x.xml", L"<r/>");
    } catch (const ModuleError& error) {
        number = error.number();
    }
    EXPECT_EQ(number, 76);
    EXPECT_EQ(filesInFolder(), before);
}

// ReplaceFileW as writeXMLFile calls it, seen and, for a case, made to fail.
enum class ReplaceFault {
    none,             // the system's ReplaceFileW
    refuses,          // fails at once, as on some network shares
    failsMidway,      // moves the old file aside, then cannot move the new one in
    failsMidwayStuck  // the same, and the new file stays open in another program
};

struct ReplaceCalls {
    ReplaceFault fault = ReplaceFault::none;
    int count = 0;
    std::wstring replaced, replacement, backup;
    HANDLE held = INVALID_HANDLE_VALUE;  // the new file, held open by failsMidwayStuck
} gReplaceCalls;

BOOL WINAPI seenReplaceFile(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                            LPVOID exclude, LPVOID reserved) {
    ReplaceCalls& calls = gReplaceCalls;
    ++calls.count;
    calls.replaced = replaced;
    calls.replacement = replacement;
    calls.backup = backup != nullptr ? backup : L"<none>";
    switch (calls.fault) {
        case ReplaceFault::none:
            return ReplaceFileW(replaced, replacement, backup, flags, exclude, reserved);
        case ReplaceFault::refuses:
            SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
        case ReplaceFault::failsMidwayStuck:
            calls.held =
                CreateFileW(replacement, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            [[fallthrough]];
        case ReplaceFault::failsMidway:
            MoveFileW(replaced, backup);
            SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
            return FALSE;
    }
    return FALSE;
}

// An old file is replaced through ReplaceFileW (which keeps its ACL, creation time,
// attributes and streams on Windows; Wine's keeps none of them), with temporary names that
// are short and in the file's folder, and keeps its bytes whenever the new file cannot
// take its place. Nothing is left behind.
TEST(ModuleFiles, AnOldFileIsReplacedThroughReplaceFileWAndKeptWhenThatFails) {
    const std::wstring path = gFolder + L"\\replaced.xml";
    const std::wstring temporary = gFolder + L"\\~pz" + [] {
        wchar_t pid[16];
        swprintf(pid, 16, L"%lX-", GetCurrentProcessId());
        return std::wstring(pid);
    }();
    const struct {
        const char* label;
        bool oldFile;
        DWORD oldAttributes;
        ReplaceFault fault;
        int error;             // 0: written
        const char* expected;  // the file's bytes afterwards
        int replaceCalls;
    } cases[] = {
        {"an old file", true, FILE_ATTRIBUTE_NORMAL, ReplaceFault::none, 0, "<r>new</r>", 1},
        {"no old file", false, 0, ReplaceFault::none, 0, "<r>new</r>", 0},
        {"ReplaceFileW refuses", true, FILE_ATTRIBUTE_NORMAL, ReplaceFault::refuses, 0,
         "<r>new</r>", 1},
        {"ReplaceFileW fails midway", true, FILE_ATTRIBUTE_NORMAL, ReplaceFault::failsMidway, 0,
         "<r>new</r>", 1},
        {"ReplaceFileW fails midway, then the fallback", true, FILE_ATTRIBUTE_NORMAL,
         ReplaceFault::failsMidwayStuck, 70, "<r>old</r>", 1},
        {"a read-only old file", true, FILE_ATTRIBUTE_READONLY, ReplaceFault::none, 70,
         "<r>old</r>", 0},
    };
    gReplaceFile = seenReplaceFile;
    for (const auto& c : cases) {
        if (c.oldFile) {
            putBytes(path, "<r>old</r>");
            SetFileAttributesW(path.c_str(), c.oldAttributes);
        }
        const std::vector<std::wstring> before = filesInFolder();
        gReplaceCalls = ReplaceCalls();
        gReplaceCalls.fault = c.fault;
        int error = 0;
        try {
            writeXMLFile(path, L"<r>new</r>");
        } catch (const ModuleError& e) {
            error = e.number();
        }
        if (gReplaceCalls.held != INVALID_HANDLE_VALUE) {
            // The new file the module could neither place nor remove, once the program lets go.
            CloseHandle(gReplaceCalls.held);
            EXPECT_TRUE(DeleteFileW(gReplaceCalls.replacement.c_str())) << c.label;
        }
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(error, c.error) << c.label;
        EXPECT_EQ(fileBytes(path), c.expected) << c.label;
        EXPECT_EQ(gReplaceCalls.count, c.replaceCalls) << c.label;
        if (gReplaceCalls.count > 0) {
            EXPECT_TRUE(gReplaceCalls.replaced == path) << c.label;
            for (const std::wstring* name : {&gReplaceCalls.replacement, &gReplaceCalls.backup}) {
                EXPECT_EQ(utf8Text(name->substr(0, temporary.size())), utf8Text(temporary))
                    << c.label;
                EXPECT_LE(name->size(), temporary.size() + 8) << c.label;  // "<n>.tmp"
            }
            EXPECT_FALSE(gReplaceCalls.replacement == gReplaceCalls.backup) << c.label;
        }
        std::vector<std::wstring> after = filesInFolder();
        if (!c.oldFile) {
            after.erase(std::remove(after.begin(), after.end(), L"replaced.xml"), after.end());
        }
        EXPECT_EQ(after, before) << c.label << ": a temporary file is left behind";
        DeleteFileW(path.c_str());
    }
    gReplaceFile = ReplaceFileW;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    gFolder =
        std::wstring(temp) + L"pelzor files Ёлка 表 " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(gFolder.c_str(), nullptr);
    const int result = RUN_ALL_TESTS();
    for (const std::wstring& name : filesInFolder())
        DeleteFileW((gFolder + L"\\" + name).c_str());
    RemoveDirectoryW(gFolder.c_str());
    return result;
}
