#pragma once

#include "console.h"
#include "file_system.h"
#include "spreadsheet_automation.h"

// The whole run of the installer for one command line; returns the exit status, which is
// 0 on every orderly path.
int runInstaller(int argc, const char* const argv[], Console& console, FileSystem& fileSystem,
                 SpreadsheetAutomation& automation);
