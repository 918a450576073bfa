#pragma once

#include "console.h"
#include "install_request.h"
#include "spreadsheet_automation.h"

// Starts the spreadsheet application, adds a blank workbook, registers the add-in file,
// sets its Installed property and asks the application to quit. A failing call ends the
// sequence; the references held are released and the failure report is printed.
AutomationOutcome runAutomation(const InstallRequest& request, SpreadsheetAutomation& automation,
                                Console& console);
