#include "installer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_console.h"
#include "fake_file_system.h"
#include "recording_automation.h"

namespace {

const std::string kUsage =
    "\nThis utility adds Excel Addins from *.xla file\n"
    "Usage:\n"
    "Tressvold                       - Displays this text\n"
    "Tressvold ?                     - Displays this text\n"
    "Tressvold help                  - Displays this text\n"
    "Tressvold Path to *.xla File    - Add to Excel given Addin \n"
    "Tressvold Path to *.xla File 1  - Add to Excel given Addin \n"
    "Tressvold Path to *.xla File 0  - Remove from Excel given Addin\n"
    "Note: FilePath must be full, for example c:\\Temp\\Test.xla \n"
    "Press enter to exit...\n";
const std::string kAnnouncement = "Addition the add-in component 'Razir1' to Excel. \n";

enum class Automation { Completes, NoApplication, Fails };

struct FlowCase {
    const char* label;
    std::vector<const char*> arguments;  // after the program name
    Automation automation;
    std::string transcript;
    bool automationRuns;
};

struct InstallerRun {
    int status;
    std::string transcript;
    RecordingAutomation automation;
};

void runCase(const FlowCase& testCase, FakeFileSystem& fileSystem, InstallerRun& run) {
    if (testCase.automation == Automation::NoApplication) {
        run.automation.absentResults.insert("createApplication");
    } else if (testCase.automation == Automation::Fails) {
        run.automation.failures["getAddInItem"] =
            AutomationError{0x800A03EC, "Add-in not found.", "Microsoft Excel"};
    }
    std::vector<const char*> argv{"C:\\Tools\\Tressvold.exe"};
    argv.insert(argv.end(), testCase.arguments.begin(), testCase.arguments.end());
    argv.push_back(nullptr);
    FakeConsole console;
    run.status = runInstaller(static_cast<int>(argv.size() - 1), argv.data(), console, fileSystem,
                              run.automation);
    run.transcript = console.transcript;
}

TEST(InstallerFlowTest, PrintsTheMessagesOfEachOutcome) {
    const std::string longName(300, 'x');
    const std::string longPath = "C:\\" + longName + ".xla";
    const FlowCase cases[] = {
        {"no argument", {}, Automation::Completes, kUsage + "<wait>", false},
        {"question mark", {"?", "0"}, Automation::Completes, kUsage + "<wait>", false},
        {"help", {"help"}, Automation::Completes, kUsage + "<wait>", false},
        {"addition by full path",
         {"C:\\Temp\\Test.xla"},
         Automation::Completes,
         kAnnouncement + "Addition of C:\\Temp\\Test.xla is success\n",
         true},
        {"addition by relative path prints the full path",
         {"Test.xla", "1"},
         Automation::Completes,
         kAnnouncement + "Addition of C:\\Temp\\Test.xla is success\n",
         true},
        {"removal prints the name",
         {"C:\\Temp\\Test.xla", "0"},
         Automation::Completes,
         kAnnouncement + "Disconnection of Test is success\n",
         true},
        {"removal with an empty name",
         {"C:\\Temp\\.xla", "0"},
         Automation::Completes,
         kAnnouncement + "Disconnection of  is success\n",
         true},
        {"existing directory passes the existence test",
         {"C:\\Data\\Set.old"},
         Automation::Completes,
         kAnnouncement + "Addition of C:\\Data\\Set.old is success\n",
         true},
        {"HELP is a missing path",
         {"HELP"},
         Automation::Completes,
         kAnnouncement + "File HELP is not exist!",
         false},
        {"missing file names the argument as typed, no line feed",
         {"nofile.xla", "0"},
         Automation::Completes,
         kAnnouncement + "File nofile.xla is not exist!",
         false},
        {"path too long for the buffer",
         {longPath.c_str()},
         Automation::Completes,
         kAnnouncement + "The full path of " + longPath +
             " is too long: at most 259 characters are possible.\n",
         false},
        {"no application",
         {"C:\\Temp\\Test.xla"},
         Automation::NoApplication,
         kAnnouncement + "Excel isn't installed or can't run!\n<wait>",
         true},
        {"failure report then a wait without prompt",
         {"C:\\Temp\\Test.xla", "0"},
         Automation::Fails,
         kAnnouncement +
             "_com_error:\nError       : 800A03EC\nErrorMessage: Unknown error 0x800A03EC\n"
             "Description : Add-in not found.\nSource      : Microsoft Excel\n<wait>",
         true},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        FakeFileSystem fileSystem;
        fileSystem.existing = {"C:\\Temp\\Test.xla", "C:\\Temp\\.xla", "C:\\Data\\Set.old",
                               longPath};
        InstallerRun run;
        runCase(testCase, fileSystem, run);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.transcript, testCase.transcript);
        EXPECT_EQ(!run.automation.calls.empty(), testCase.automationRuns);
    }
}

TEST(InstallerFlowTest, HandsTheResolvedPathAndNameToTheAutomation) {
    const struct {
        const char* label;
        std::vector<const char*> arguments;
        const char* existing;
        const char* addAddInCall;
        const char* itemCall;
        const char* installedCall;
    } cases[] = {
        {"relative path against the current directory",
         {"Test.xla"},
         "C:\\Temp\\Test.xla",
         "addAddIn addIns C:\\Temp\\Test.xla missing",
         "getAddInItem addIns text:Test",
         "setInstalled addIn true"},
        {"first dot of the last component",
         {"C:\\Add ins\\My.Tools.xla", "0"},
         "C:\\Add ins\\My.Tools.xla",
         "addAddIn addIns C:\\Add ins\\My.Tools.xla missing",
         "getAddInItem addIns text:My",
         "setInstalled addIn false"},
        {"no dot in the last component",
         {"C:\\My.Dir\\Test", "00"},
         "C:\\My.Dir\\Test",
         "addAddIn addIns C:\\My.Dir\\Test missing",
         "getAddInItem addIns text:Test",
         "setInstalled addIn false"},
        {"empty argument resolves to the current directory",
         {""},
         "C:\\Temp",
         "addAddIn addIns C:\\Temp missing",
         "getAddInItem addIns text:Temp",
         "setInstalled addIn true"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        FakeFileSystem fileSystem;
        fileSystem.existing = {testCase.existing};
        InstallerRun run;
        runCase({testCase.label, testCase.arguments, Automation::Completes, "", true}, fileSystem,
                run);
        const auto& calls = run.automation.calls;
        ASSERT_GE(calls.size(), 11u);
        EXPECT_EQ(calls[7], testCase.addAddInCall);
        EXPECT_EQ(calls[9], testCase.itemCall);
        EXPECT_EQ(calls[10], testCase.installedCall);
    }
}

TEST(InstallerFlowTest, MissingFileTouchesNothingOfCom) {
    FakeFileSystem fileSystem;
    InstallerRun run;
    runCase({"missing", {"nofile.xla"}, Automation::Completes, "", false}, fileSystem, run);
    EXPECT_TRUE(run.automation.calls.empty());
    EXPECT_EQ(fileSystem.existenceQueries, std::set<std::string>{"C:\\Temp\\nofile.xla"});
}

}  // namespace

namespace {

TEST(InstallerFlowTest, FullPathOf259CharactersIsTheLongestAccepted) {
    const struct {
        std::size_t length;
        bool accepted;
    } cases[] = {{258, true}, {259, true}, {260, false}};
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.length);
        const std::string path = "C:\\" + std::string(testCase.length - 7, 'p') + ".xla";
        ASSERT_EQ(path.size(), testCase.length);
        FakeFileSystem fileSystem;
        fileSystem.existing = {path};
        InstallerRun run;
        runCase({"boundary", {path.c_str()}, Automation::Completes, "", true}, fileSystem, run);
        EXPECT_EQ(run.transcript.find("is success") != std::string::npos, testCase.accepted);
        EXPECT_EQ(run.transcript.find("too long") != std::string::npos, !testCase.accepted);
    }
}

}  // namespace
