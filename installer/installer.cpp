#include "installer.h"

#include "add_in_name.h"
#include "command_line.h"
#include "messages.h"
#include "run_automation.h"

namespace {

constexpr int kExitStatus = 0;

// Fills fullPath; false when the resolved path does not fit its buffer. A failed
// resolution leaves the path empty, which the existence test then rejects.
bool resolveFullPath(FileSystem& fileSystem, InstallRequest& request) {
    const std::size_t length = fileSystem.resolveFullPath(
        request.pathArgument.c_str(), request.fullPath, InstallRequest::kFullPathCapacity);
    if (length >= InstallRequest::kFullPathCapacity) {
        request.fullPath[0] = '\0';
        return false;
    }
    if (length == 0) {
        request.fullPath[0] = '\0';
    }
    return true;
}

void reportOutcome(AutomationOutcome outcome, const InstallRequest& request, Console& console) {
    switch (outcome) {
        case AutomationOutcome::NoApplication:
            console.write(messages::noApplication());
            console.waitForCharacter();
            break;
        case AutomationOutcome::Failed:
            // The automation step has printed the failure report.
            console.waitForCharacter();
            break;
        case AutomationOutcome::Completed:
            console.write(request.install ? messages::additionSucceeded(request.fullPath)
                                          : messages::removalSucceeded(request.addInName));
            break;
    }
}

}  // namespace

int runInstaller(int argc, const char* const argv[], Console& console, FileSystem& fileSystem,
                 SpreadsheetAutomation& automation) {
    const CommandLine commandLine = parseCommandLine(argc, argv);
    if (commandLine.showUsage) {
        console.write(messages::usage());
        console.waitForCharacter();
        return kExitStatus;
    }

    console.write(messages::announcement());
    InstallRequest request;
    request.pathArgument = commandLine.pathArgument;
    if (!resolveFullPath(fileSystem, request)) {
        console.write(
            messages::pathTooLong(request.pathArgument, InstallRequest::kFullPathCapacity));
        return kExitStatus;
    }
    request.addInName = addInNameFromPath(request.fullPath);
    request.install = commandLine.install;

    if (!fileSystem.exists(request.fullPath)) {
        console.write(messages::fileMissing(request.pathArgument));
        return kExitStatus;
    }
    reportOutcome(runAutomation(request, automation, console), request, console);
    return kExitStatus;
}
