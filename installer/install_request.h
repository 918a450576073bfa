#pragma once

#include <string>

// What one run of the installer asks the automation step to do.
struct InstallRequest {
    // Room for a full path: at most 259 characters and the terminating NUL.
    static constexpr std::size_t kFullPathCapacity = 260;

    std::string pathArgument;  // the first argument as typed, for the missing-file message
    char fullPath[kFullPathCapacity] = {};
    std::string addInName;  // cut out of fullPath; may be empty
    bool install = true;    // the value given to the add-in's Installed property
};

enum class AutomationOutcome {
    Completed,
    NoApplication,  // no spreadsheet application object was obtained
    Failed,         // an automation call failed; the failure report has been printed
};
