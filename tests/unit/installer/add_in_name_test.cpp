#include "add_in_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NameCase {
    const char* label;
    std::string fullPath;
    std::string name;
};

TEST(AddInNameTest, CutsTheLastComponentUpToItsFirstDot) {
    const std::string longDirectory = "C:\\" + std::string(240, 'd');
    const NameCase cases[] = {
        {"plain file", "C:\\Temp\\Test.xla", "Test"},
        {"first dot of the last component", "C:\\Add ins\\My.Tools.xla", "My"},
        {"dot only before the extension", "C:\\Temp\\.xla", ""},
        {"dots in a directory are ignored", "C:\\My.Dir\\Test.xla", "Test"},
        {"no dot: the whole component", "C:\\Temp\\Test", "Test"},
        {"no dot after a dotted directory", "C:\\My.Dir\\Test", "Test"},
        {"trailing backslash: empty", "C:\\Temp\\", ""},
        {"drive root: empty", "C:\\", ""},
        {"forward slashes do not separate", "C:\\Temp/My.Dir/Test.xla", "Temp/My"},
        {"forward slash only path", "C:/Temp/Test.xla", "C:/Temp/Test"},
        {"non-ASCII bytes kept as they are", "C:\\Temp\\T\xE9st\xFC.xla", "T\xE9st\xFC"},
        {"UNC path", "\\\\server\\share\\Tools.xla", "Tools"},
        {"long path", longDirectory + "\\Long.Name.xla", "Long"},
        {"trailing dot", "C:\\Temp\\Test.", "Test"},
        {"position 0 is never examined", "\\Test.xla", "\\Test"},
        {"empty path", "", ""},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(addInNameFromPath(testCase.fullPath), testCase.name);
    }
}

}  // namespace
