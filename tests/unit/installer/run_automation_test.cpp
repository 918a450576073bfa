#include "run_automation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_console.h"
#include "recording_automation.h"

namespace {

using Calls = std::vector<std::string>;

InstallRequest requestFor(const char* fullPath, const char* addInName, bool install) {
    InstallRequest request;
    request.pathArgument = fullPath;
    std::strcpy(request.fullPath, fullPath);
    request.addInName = addInName;
    request.install = install;
    return request;
}

const InstallRequest kAddition = requestFor("C:\\Temp\\Test.xla", "Test", true);

TEST(RunAutomationTest, CompletesAdditionAndRemovalInOrder) {
    const struct {
        const char* label;
        InstallRequest request;
        Calls calls;
    } cases[] = {
        {"addition",
         kAddition,
         {"initializeCom", "createApplication Excel.Application 23", "getWorkbooks application",
          "addWorkbook workbooks missing 0", "release workbook", "release workbooks",
          "getAddIns application", "addAddIn addIns C:\\Temp\\Test.xla missing",
          "release registeredAddIn", "getAddInItem addIns text:Test", "setInstalled addIn true",
          "release addIn", "release addIns", "quitApplication application", "release application",
          "uninitializeCom"}},
        {"removal registers the file too and switches it off",
         requestFor("C:\\Add ins\\My.Tools.xla", "My", false),
         {"initializeCom", "createApplication Excel.Application 23", "getWorkbooks application",
          "addWorkbook workbooks missing 0", "release workbook", "release workbooks",
          "getAddIns application", "addAddIn addIns C:\\Add ins\\My.Tools.xla missing",
          "release registeredAddIn", "getAddInItem addIns text:My", "setInstalled addIn false",
          "release addIn", "release addIns", "quitApplication application", "release application",
          "uninitializeCom"}},
        {"empty name is looked up as it is",
         requestFor("C:\\Temp\\.xla", "", true),
         {"initializeCom", "createApplication Excel.Application 23", "getWorkbooks application",
          "addWorkbook workbooks missing 0", "release workbook", "release workbooks",
          "getAddIns application", "addAddIn addIns C:\\Temp\\.xla missing",
          "release registeredAddIn", "getAddInItem addIns text:", "setInstalled addIn true",
          "release addIn", "release addIns", "quitApplication application", "release application",
          "uninitializeCom"}},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        RecordingAutomation automation;
        FakeConsole console;
        EXPECT_EQ(runAutomation(testCase.request, automation, console),
                  AutomationOutcome::Completed);
        EXPECT_EQ(automation.calls, testCase.calls);
        EXPECT_TRUE(automation.liveObjects.empty());
        EXPECT_EQ(console.transcript, "");
    }
}

TEST(RunAutomationTest, NoApplicationEndsTheRunAtOnce) {
    const struct {
        const char* label;
        bool comInitializes;
        Calls calls;
    } cases[] = {
        {"COM initialised",
         true,
         {"initializeCom", "createApplication Excel.Application 23", "uninitializeCom"}},
        {"COM initialisation failed",
         false,
         {"initializeCom", "createApplication Excel.Application 23"}},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        RecordingAutomation automation;
        automation.comInitializes = testCase.comInitializes;
        automation.absentResults.insert("createApplication");
        FakeConsole console;
        EXPECT_EQ(runAutomation(kAddition, automation, console), AutomationOutcome::NoApplication);
        EXPECT_EQ(automation.calls, testCase.calls);
        EXPECT_EQ(console.transcript, "");
    }
}

TEST(RunAutomationTest, FailedComInitialisationIsNeverUndone) {
    RecordingAutomation automation;
    automation.comInitializes = false;
    automation.failures["quitApplication"] = AutomationError{0x80004005, {}, {}};
    FakeConsole console;
    EXPECT_EQ(runAutomation(kAddition, automation, console), AutomationOutcome::Failed);
    EXPECT_EQ(automation.calls.back(), "release application");
}

// Each failure point: the calls made (the failing one last before the releases), the
// releases most recent first, no Quit, COM uninitialised after the report, and the report.
TEST(RunAutomationTest, FailureReleasesEverythingHeldAndPrintsTheReport) {
    const AutomationError rich{0x800A03EC, "Cannot find the add-in.", "Microsoft Excel"};
    const AutomationError plain{0x80020005, std::nullopt, std::nullopt};
    const Calls untilWorkbooks = {"initializeCom", "createApplication Excel.Application 23",
                                  "getWorkbooks application"};
    const Calls untilAddIns = {"initializeCom",
                               "createApplication Excel.Application 23",
                               "getWorkbooks application",
                               "addWorkbook workbooks missing 0",
                               "release workbook",
                               "release workbooks",
                               "getAddIns application"};
    auto joined = [](Calls first, const Calls& second) {
        first.insert(first.end(), second.begin(), second.end());
        return first;
    };
    const std::string pointerReport =
        "_com_error:\nError       : 80004003\nErrorMessage: Invalid pointer\n"
        "Description : (null)\nSource      : (null)\n";
    const std::string richReport =
        "_com_error:\nError       : 800A03EC\nErrorMessage: Unknown error 0x800A03EC\n"
        "Description : Cannot find the add-in.\nSource      : Microsoft Excel\n";
    const std::string plainReport =
        "_com_error:\nError       : 80020005\nErrorMessage: Type mismatch.\n"
        "Description : (null)\nSource      : (null)\n";

    const struct {
        const char* label;
        const char* failingOperation;
        std::optional<AutomationError> error;  // absent: the operation yields no object
        Calls calls;
        std::string report;
    } cases[] = {
        {"Workbooks fails", "getWorkbooks", rich, joined(untilWorkbooks, {"release application"}),
         richReport},
        {"Workbooks yields nothing", "getWorkbooks", std::nullopt,
         joined(untilWorkbooks, {"release application"}), pointerReport},
        {"Workbooks.Add fails", "addWorkbook", plain,
         joined(untilWorkbooks,
                {"addWorkbook workbooks missing 0", "release workbooks", "release application"}),
         plainReport},
        {"AddIns fails", "getAddIns", rich, joined(untilAddIns, {"release application"}),
         richReport},
        {"AddIns yields nothing", "getAddIns", std::nullopt,
         joined(untilAddIns, {"release application"}), pointerReport},
        {"AddIns.Add fails", "addAddIn", plain,
         joined(untilAddIns, {"addAddIn addIns C:\\Temp\\Test.xla missing", "release addIns",
                              "release application"}),
         plainReport},
        {"AddIns.Item fails", "getAddInItem", rich,
         joined(untilAddIns,
                {"addAddIn addIns C:\\Temp\\Test.xla missing", "release registeredAddIn",
                 "getAddInItem addIns text:Test", "release addIns", "release application"}),
         richReport},
        {"AddIns.Item yields nothing", "getAddInItem", std::nullopt,
         joined(untilAddIns,
                {"addAddIn addIns C:\\Temp\\Test.xla missing", "release registeredAddIn",
                 "getAddInItem addIns text:Test", "release addIns", "release application"}),
         pointerReport},
        {"Installed fails", "setInstalled", plain,
         joined(untilAddIns,
                {"addAddIn addIns C:\\Temp\\Test.xla missing", "release registeredAddIn",
                 "getAddInItem addIns text:Test", "setInstalled addIn true", "release addIn",
                 "release addIns", "release application"}),
         plainReport},
        {"Quit fails", "quitApplication", rich,
         joined(untilAddIns,
                {"addAddIn addIns C:\\Temp\\Test.xla missing", "release registeredAddIn",
                 "getAddInItem addIns text:Test", "setInstalled addIn true", "release addIn",
                 "release addIns", "quitApplication application", "release application"}),
         richReport},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        RecordingAutomation automation;
        automation.systemTexts[0x80004003] = "Invalid pointer\r\n";
        automation.systemTexts[0x80020005] = "Type mismatch.\n";
        if (testCase.error) {
            automation.failures[testCase.failingOperation] = *testCase.error;
        } else {
            automation.absentResults.insert(testCase.failingOperation);
        }
        FakeConsole console;
        EXPECT_EQ(runAutomation(kAddition, automation, console), AutomationOutcome::Failed);
        EXPECT_EQ(automation.calls, joined(testCase.calls, {"uninitializeCom"}));
        EXPECT_TRUE(automation.liveObjects.empty());
        EXPECT_EQ(console.transcript, testCase.report);
    }
}

}  // namespace
