// The module's way of finding pelzor.dll (module_loader.h), run in a folder whose name is
// not ASCII and is not the current folder. This program lies in a folder without a
// pelzor.dll, so that Windows' own search finds none either; it copies its build's DLL
// (the one next to its folder), or the stand-in for an older build (older\pelzor.dll next to
// its folder), where each case needs it.
//
// usage: module_loader_steps.exe [OTHER-BITNESS-pelzor.dll]
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "module_loader.h"
#include "module_text_path.h"
#include "pelzor_dll.h"

namespace {

std::wstring gThisDll;   // this build's pelzor.dll
std::wstring gOtherDll;  // the other bitness's, when given
std::wstring gOlderDll;  // a pelzor.dll without the module's newest export
std::wstring gRoot;      // a fresh folder for this run

const wchar_t* const kBitnessFolder = sizeof(void*) == 8 ? L"x64\\" : L"x86\\";

std::wstring moduleFile(HMODULE module) {
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 2);
    return std::wstring(path, length);
}

// The workbook's folder and a folder the macro names, with pelzor.dll copied into the
// places a case asks for; everything is removed again at the end of the case.
class Places {
public:
    Places() : workbook_(gRoot + L"\\Bücher Ёлка 表"), named_(gRoot + L"\\Пелзор ツール") {
        for (const std::wstring& folder : {workbook_, workbook_ + L"\\" + kBitnessFolder, named_}) {
            CreateDirectoryW(folder.c_str(), nullptr);
        }
    }
    ~Places() {
        for (const std::wstring& copy : copies_) {
            DeleteFileW(copy.c_str());
        }
    }
    const std::wstring& workbook() const { return workbook_; }
    const std::wstring& named() const { return named_; }
    std::wstring bitness() const { return workbook_ + L"\\" + kBitnessFolder; }
    // Copies dll to folder\pelzor.dll and returns that path.
    std::wstring put(const std::wstring& folder, const std::wstring& dll) {
        std::wstring target = folder + (folder.back() == L'\\' ? L"" : L"\\") + L"pelzor.dll";
        EXPECT_TRUE(CopyFileW(dll.c_str(), target.c_str(), FALSE)) << GetLastError();
        copies_.push_back(target);
        return target;
    }

private:
    std::wstring workbook_, named_;
    std::vector<std::wstring> copies_;
};

// Loads as the module does, then checks that the name "pelzor.dll" (what the Declares bind
// to) reaches the loaded module and that a call through it works; unloads again.
std::wstring loadAndCall(const std::wstring& named, const std::wstring& workbook) {
    EXPECT_EQ(GetModuleHandleW(L"pelzor.dll"), nullptr) << "a pelzor.dll is loaded already";
    HMODULE loaded = loadPelzor(named, workbook);
    const std::wstring file = moduleFile(loaded);
    {
        PelzorDll dll;  // LoadLibraryA("pelzor.dll"), as a Declare binds
        EXPECT_EQ(dll.module(), loaded);
        EXPECT_EQ(getStringValue(dll, L"<a><b>Zoë 表</b></a>", L"b"), L"Zoë 表");
    }
    FreeLibrary(loaded);
    EXPECT_EQ(GetModuleHandleW(L"pelzor.dll"), nullptr);
    return file;
}

TEST(ModuleLoader, FindsTheZipLayoutNextToAWorkbookInANonAsciiFolder) {
    Places places;
    const std::wstring expected = places.put(places.bitness(), gThisDll);
    EXPECT_EQ(utf8Text(loadAndCall(L"", places.workbook())), utf8Text(expected));
}

TEST(ModuleLoader, LooksInTheNamedFolderThenTheBitnessFolderThenTheWorkbookFolder) {
    struct Case {
        bool named, bitness, workbook;
        int expected;  // 0 named, 1 bitness, 2 workbook
    } cases[] = {{true, true, true, 0},
                 {false, true, true, 1},
                 {false, false, true, 2},
                 {true, false, true, 0}};
    for (const Case& c : cases) {
        Places places;
        std::vector<std::wstring> copies(3);
        if (c.named)
            copies[0] = places.put(places.named(), gThisDll);
        if (c.bitness)
            copies[1] = places.put(places.bitness(), gThisDll);
        if (c.workbook)
            copies[2] = places.put(places.workbook(), gThisDll);
        EXPECT_EQ(utf8Text(loadAndCall(c.named ? places.named() : L"", places.workbook())),
                  utf8Text(copies[static_cast<std::size_t>(c.expected)]))
            << "case " << (&c - cases);
    }
}

TEST(ModuleLoader, NotFoundIsError53ListingEveryPlaceLookedIn) {
    Places places;  // folders without a pelzor.dll
    const std::string search = "Windows' own search";
    struct Case {
        std::wstring named, workbook;
        std::vector<std::string> listed, unlisted;
    } cases[] = {
        {places.named(),
         places.workbook(),
         {utf8Text(places.named()) + "\\", utf8Text(places.bitness()),
          utf8Text(places.workbook()) + "\\\n", search},
         {}},
        // Never saved, or at a web address: no workbook folder to look in.
        {places.named(), L"", {utf8Text(places.named()) + "\\", search}, {"x86", "x64"}},
        {L"", L"https://d.docs.live.net/5a1b/Books", {search}, {"https", "x86", "x64"}},
    };
    for (const Case& c : cases) {
        try {
            loadPelzor(c.named, c.workbook);
            ADD_FAILURE() << "no error " << (&c - cases);
        } catch (const ModuleError& error) {
            const std::string message = error.what();
            EXPECT_EQ(error.number(), 53);
            EXPECT_EQ(message.rfind("File not found: pelzor.dll. Looked in:\n", 0), 0u) << message;
            for (const std::string& place : c.listed) {
                EXPECT_NE(message.find(place), std::string::npos) << place << " in " << message;
            }
            for (const std::string& place : c.unlisted) {
                EXPECT_EQ(message.find(place), std::string::npos) << place << " in " << message;
            }
        }
    }
}

TEST(ModuleLoader, OtherBitnessIsError48NamingTheFileAndTheBuildNeeded) {
    ASSERT_FALSE(gOtherDll.empty()) << "run with the other bitness's pelzor.dll";
    Places places;
    const std::wstring wrong = places.put(places.bitness(), gOtherDll);
    places.put(places.workbook(), gThisDll);  // never reached: the wrong one stops the search
    SetLastError(0);
    try {
        loadPelzor(L"", places.workbook());
        ADD_FAILURE() << "the other bitness's DLL was loaded";
    } catch (const ModuleError& error) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
        EXPECT_EQ(error.number(), 48);
        EXPECT_NE(std::string(error.what()).find(utf8Text(wrong)), std::string::npos)
            << error.what();
        EXPECT_NE(
            std::string(error.what())
                .find(sizeof(void*) == 8 ? "needs the 64-bit build" : "needs the 32-bit build"),
            std::string::npos)
            << error.what();
    }
    EXPECT_EQ(GetModuleHandleW(L"pelzor.dll"), nullptr);
}

// The message of the ModuleError that `step` throws, which must be error 48.
template <typename Step>
std::string error48(Step step) {
    try {
        step();
    } catch (const ModuleError& error) {
        EXPECT_EQ(error.number(), 48) << error.what();
        return error.what();
    }
    ADD_FAILURE() << "no error";
    return std::string();
}

bool holds(const std::string& message, const std::string& part) {
    return message.find(part) != std::string::npos;
}

// Another workbook loaded an older build, which stays loaded: the module refuses it by its
// file, whichever folder it is asked to load from, instead of failing at a first call.
TEST(ModuleLoader, AnOlderBuildLoadedAlreadyIsError48NamingItsFile) {
    Places places;
    places.put(places.bitness(), gThisDll);  // the right build, where the module would look
    const std::wstring older = places.put(places.named(), gOlderDll);
    HMODULE another = LoadLibraryW(older.c_str());
    ASSERT_NE(another, nullptr) << GetLastError();
    const struct {
        const wchar_t* label;
        std::wstring named;  // "" for a first call without UsePelzorFrom
        const char* says;
    } cases[] = {
        {L"a first call", L"", "Another workbook loaded it"},
        {L"UsePelzorFrom its own folder", places.named(), "Another workbook loaded it"},
        {L"UsePelzorFrom another folder", places.bitness(), "cannot take its place"},
    };
    for (const auto& c : cases) {
        const std::string message = error48([&] {
            if (c.named.empty()) {
                loadPelzor(L"", places.workbook());
            } else {
                usePelzorFrom(c.named, places.workbook());
            }
        });
        EXPECT_TRUE(holds(message, utf8Text(older))) << utf8Text(c.label) << ": " << message;
        EXPECT_TRUE(holds(message, c.says)) << utf8Text(c.label) << ": " << message;
        EXPECT_EQ(GetModuleHandleW(L"pelzor.dll"), another) << utf8Text(c.label);
    }
    FreeLibrary(another);
}

// An older build in one of the places is refused and unloaded again, so that the release's
// pelzor.dll put in its place loads on the next call.
TEST(ModuleLoader, AnOlderBuildFoundInAPlaceIsRefusedAndUnloaded) {
    Places places;
    const std::wstring older = places.put(places.bitness(), gOlderDll);
    places.put(places.workbook(), gThisDll);  // never reached: the older one stops the search
    const std::string message = error48([&] { loadPelzor(L"", places.workbook()); });
    EXPECT_TRUE(holds(message, utf8Text(older) + " is an older build")) << message;
    EXPECT_EQ(GetModuleHandleW(L"pelzor.dll"), nullptr);
    places.put(places.bitness(), gThisDll);
    EXPECT_EQ(utf8Text(loadAndCall(L"", places.workbook())), utf8Text(older));
}

TEST(ModuleLoader, UsePelzorFromAnotherFolderThanTheLoadedOneIsError48) {
    Places places;
    const std::wstring used = places.put(places.bitness(), gThisDll);
    places.put(places.named(), gThisDll);
    HMODULE loaded = loadPelzor(L"", places.workbook());
    const std::string message = error48([&] { usePelzorFrom(places.named(), places.workbook()); });
    EXPECT_TRUE(holds(message, "loaded already, from " + utf8Text(used))) << message;
    EXPECT_TRUE(holds(message, utf8Text(places.named()))) << message;
    // The loaded module's own folder, written with "/" and without the last one, is no change.
    std::wstring sameFolder = places.bitness().substr(0, places.bitness().size() - 1);
    for (wchar_t& c : sameFolder) {
        c = c == L'\\' ? L'/' : c;
    }
    EXPECT_EQ(usePelzorFrom(sameFolder, places.workbook()), loaded);
    FreeLibrary(loaded);
    EXPECT_EQ(GetModuleHandleW(L"pelzor.dll"), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    wchar_t path[MAX_PATH * 2];
    std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 2));
    std::wstring folder = self.substr(0, self.find_last_of(L'\\'));
    gThisDll = folder.substr(0, folder.find_last_of(L'\\')) + L"\\pelzor.dll";
    gOlderDll = folder.substr(0, folder.find_last_of(L'\\')) + L"\\older\\pelzor.dll";
    if (argc > 1) {
        const std::string other = argv[1];
        gOtherDll.assign(other.begin(), other.end());
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    gRoot = std::wstring(temp) + L"pelzor loader " + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(gRoot.c_str(), nullptr);
    const std::wstring elsewhere = gRoot + L"\\elsewhere";
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    SetCurrentDirectoryW(elsewhere.c_str());  // not the workbook's folder, and no DLL in it
    const int result = RUN_ALL_TESTS();
    SetCurrentDirectoryW(temp);
    for (const wchar_t* folder :
         {L"\\elsewhere", L"\\Bücher Ёлка 表\\x64", L"\\Bücher Ёлка 表\\x86", L"\\Bücher Ёлка 表",
          L"\\Пелзор ツール", L""}) {
        RemoveDirectoryW((gRoot + folder).c_str());
    }
    return result;
}
