// Hostile texts through the real DLL: texts whose terminating NUL is the last readable byte
// before an inaccessible page, and a million-deep document on a thread with a 1 MiB stack.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "pelzor_dll.h"

namespace {

// A text placed so that its NUL is the last byte before a PAGE_NOACCESS page; reading one
// byte further faults.
class TextBeforeGuardPage {
public:
    explicit TextBeforeGuardPage(const std::string& text) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const std::size_t page = info.dwPageSize;
        const std::size_t pages = (text.size() + 1 + page - 1) / page;
        base_ = static_cast<char*>(
            VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD previous;
        VirtualProtect(base_ + pages * page, page, PAGE_NOACCESS, &previous);
        text_ = base_ + pages * page - (text.size() + 1);
        std::memcpy(text_, text.c_str(), text.size() + 1);
    }
    ~TextBeforeGuardPage() { VirtualFree(base_, 0, MEM_RELEASE); }
    const char* get() const { return text_; }

private:
    char* base_;
    char* text_;
};

// Everything the exports say about `text`, as one comparable string.
std::string everyExportOn(PelzorDll& dll, const char* text, const char* name) {
    std::string out = Bstr(dll.getStringValue(text, name)).bytes() + "|";
    out += std::to_string(dll.getIntegerValue(text, name)) + "|";
    out += std::to_string(dll.getDoubleValue(text, name)) + "|";
    out += std::to_string(dll.getDoubleArrayRows(text, name)) + "|";
    out += std::to_string(dll.getDoubleArrayColumns(text, name)) + "|";
    double values[4] = {9, 9, 9, 9};
    dll.getDouble1DArray(text, name, values, 4);
    for (double v : values)
        out += std::to_string(v) + ",";
    dll.getDouble2DArray(text, name, values, 4);
    for (double v : values)
        out += std::to_string(v) + ",";
    out += "|" + Bstr(dll.appendXMLChild(text, "n", name, "t", false)).bytes();
    const std::string path = std::string("//") + name;
    out += "|" + Bstr(dll.selectTexts(text, path.c_str())).bytes();
    out += "|" + std::to_string(dll.selectDoubles(text, (path + "/*").c_str(), values, 4));
    return out;
}

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<d>";
    text += "<v>7</v>";
    for (int i = 0; i < depth; ++i)
        text += "</d>";
    return text;
}

TEST(HostileInput, TextsEndingRightBeforeAnInaccessiblePage) {
    PelzorDll dll;
    const char* const texts[] = {
        "<a>x\xC3",
        "<a>x\xE2\x82",
        "<a>x\xF0\x9F\x98",
        "<a>\xEF",
        "<a><b>1</b><c>\xF4",
        "<a><!-- open",
        "<a><!--",
        "<a><![CDATA[ open",
        "<a><![CDATA[",
        "<a b=\"open",
        "<a b='x\xC3",
        "<a b=\"&#x4",
        "<a>&#x41",
        "<a>&#65",
        "<a>&am",
        "<a>&",
        "<?xml version=\"1.0",
        "<?xml version='\xE2",
        "<!DOCTYPE x [",
        "<!DOCTYPE x [<!ENTITY e \"open",
        "<!DOCTYPE x [<!ENTITY e 'open",
        "<!DOCTYPE x [<!-- open",
        "<!DOCTYPE x [<?pi open",
        "<!DOCTYPE x [<!ELEMENT x ANY>]",
        "<!DOCTYPE x SYSTEM \"x[",
        "<a>5</a",
        "<a",
        "<",
    };
    // Each also behind a prefix long enough to nest beyond the limit, which the nesting scan
    // reads where it stands.
    const std::string longPrefix = "<a>" + std::string(4000, 'x') + "</a>";
    for (const char* text : texts) {
        for (const std::string& ordinary : {std::string(text), longPrefix + text}) {
            TextBeforeGuardPage placed(ordinary);
            EXPECT_EQ(everyExportOn(dll, placed.get(), "a"),
                      everyExportOn(dll, ordinary.c_str(), "a"))
                << ordinary.size() << " " << text;
        }
    }
    // Paths that end right before the page, in the middle of every part of the language.
    for (const char* path : {"//a[@b='x", "//a[@b=\"", "//a[1", "//a[@", "a/", "//", "a[b='\xC3",
                             "\xE2\x82", "a:", "*"}) {
        TextBeforeGuardPage placed(path);
        EXPECT_EQ(dll.checkPath(placed.get()), dll.checkPath(std::string(path).c_str())) << path;
        EXPECT_EQ(dll.selectCount("<a b='x'>1</a>", placed.get()),
                  dll.selectCount("<a b='x'>1</a>", std::string(path).c_str()))
            << path;
    }
    TextBeforeGuardPage truncated("<a>x\xC3");
    EXPECT_EQ(Bstr(dll.getStringValue(truncated.get(), "a")).bytes(), "x\xC3");
}

struct DeepWork {
    PelzorDll* dll;
    const std::string* text;
    std::string result;
    std::size_t paintedBytes;
    std::size_t stackUsed;
};

constexpr unsigned char kPaint = 0xA5;

// Fills most of the thread's stack below the caller with a pattern and records its lowest
// address; frames of later calls overwrite it as far down as they reach.
__attribute__((noinline)) void paintStack(std::uintptr_t* lowest) {
    volatile unsigned char area[768 * 1024];
    for (std::size_t i = 0; i < sizeof area; ++i)
        area[i] = kPaint;
    *lowest = reinterpret_cast<std::uintptr_t>(&area[0]);
}

DWORD WINAPI runDeep(void* argument) {
    auto* work = static_cast<DeepWork*>(argument);
    unsigned char top;
    std::uintptr_t lowest = 0;
    paintStack(&lowest);
    auto* low = reinterpret_cast<unsigned char*>(lowest);
    work->result = everyExportOn(*work->dll, work->text->c_str(), "v");
    unsigned char* touched = low;
    while (touched < &top && *touched == kPaint)
        ++touched;
    work->stackUsed = static_cast<std::size_t>(&top - touched);
    return 0;
}

// Runs every export on `text` on a new thread created with a 1 MiB stack.
DeepWork onOneMebibyteStack(PelzorDll& dll, const std::string& text) {
    DeepWork work{&dll, &text, "", 0, 0};
    HANDLE thread =
        CreateThread(nullptr, 1 << 20, runDeep, &work, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    EXPECT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    EXPECT_EQ(exitCode, 0u);
    return work;
}

TEST(HostileInput, AMillionLevelsDeepOnAOneMebibyteStack) {
    PelzorDll dll;
    const int limit = 1000;
    const DeepWork shallow = onOneMebibyteStack(dll, nested(10));
    const DeepWork atLimit = onOneMebibyteStack(dll, nested(limit - 1));
    const DeepWork million = onOneMebibyteStack(dll, nested(1000000));
    std::printf(
        "stack: %zu bytes at depth 10, %zu at depth %d, %zu a million deep; %.0f bytes "
        "per level\n",
        shallow.stackUsed, atLimit.stackUsed, limit, million.stackUsed,
        static_cast<double>(atLimit.stackUsed - shallow.stackUsed) / (limit - 11));
    EXPECT_NE(atLimit.result.find("7|7|"), std::string::npos) << "the limit moved";
    // A million deep reads like the text broken off before the first element beyond the limit.
    std::string brokenOff;
    for (int i = 0; i < limit; ++i)
        brokenOff += "<d>";
    EXPECT_EQ(million.result, everyExportOn(dll, brokenOff.c_str(), "v"));
    EXPECT_LE(atLimit.stackUsed, 512u * 1024);
    EXPECT_LE(million.stackUsed, 512u * 1024);
}

}  // namespace
