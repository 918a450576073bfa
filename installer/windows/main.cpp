#include "com_spreadsheet_automation.h"
#include "installer.h"
#include "windows_console.h"
#include "windows_file_system.h"

int main(int argc, char* argv[]) {
    WindowsConsole console;
    WindowsFileSystem fileSystem;
    ComSpreadsheetAutomation automation;
    return runInstaller(argc, argv, console, fileSystem, automation);
}
