#include "command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct CommandLineCase {
    const char* label;
    std::vector<const char*> arguments;  // after the program name
    bool showUsage;
    const char* pathArgument;
    bool install;
};

CommandLine parse(const std::vector<const char*>& arguments) {
    std::vector<const char*> argv{"Tressvold.exe"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    argv.push_back(nullptr);
    return parseCommandLine(static_cast<int>(argv.size() - 1), argv.data());
}

TEST(CommandLineTest, ChoosesUsageAdditionOrRemoval) {
    const CommandLineCase cases[] = {
        {"no argument", {}, true, "", true},
        {"question mark", {"?"}, true, "", true},
        {"help", {"help"}, true, "", true},
        {"help ignores a second argument", {"help", "0"}, true, "", true},
        {"question mark ignores a second argument", {"?", "1"}, true, "", true},
        {"HELP is a path", {"HELP"}, false, "HELP", true},
        {"Help is a path", {"Help"}, false, "Help", true},
        {"double question mark is a path", {"??"}, false, "??", true},
        {"path alone adds", {"C:\\Temp\\Test.xla"}, false, "C:\\Temp\\Test.xla", true},
        {"1 adds", {"Test.xla", "1"}, false, "Test.xla", true},
        {"2 adds", {"Test.xla", "2"}, false, "Test.xla", true},
        {"yes adds", {"Test.xla", "yes"}, false, "Test.xla", true},
        {"empty second argument adds", {"Test.xla", ""}, false, "Test.xla", true},
        {"0 removes", {"Test.xla", "0"}, false, "Test.xla", false},
        {"00 removes", {"Test.xla", "00"}, false, "Test.xla", false},
        {"0x removes", {"Test.xla", "0x"}, false, "Test.xla", false},
        {"0abc removes", {"Test.xla", "0abc"}, false, "Test.xla", false},
        {"leading blank before 0 adds", {"Test.xla", " 0"}, false, "Test.xla", true},
        {"third argument ignored", {"Test.xla", "1", "0"}, false, "Test.xla", true},
        {"empty path is a path", {""}, false, "", true},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        const CommandLine commandLine = parse(testCase.arguments);
        EXPECT_EQ(commandLine.showUsage, testCase.showUsage);
        if (!testCase.showUsage) {
            EXPECT_EQ(commandLine.pathArgument, testCase.pathArgument);
            EXPECT_EQ(commandLine.install, testCase.install);
        }
    }
}

}  // namespace
