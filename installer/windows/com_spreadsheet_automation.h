#pragma once

#include "spreadsheet_automation.h"

// The spreadsheet application's automation through real COM: the application is created
// from its ProgID, its collections are reached through the dual interfaces' vtables and
// the add-in members through IDispatch::Invoke.
class ComSpreadsheetAutomation : public SpreadsheetAutomation {
public:
    bool initializeCom() override;
    Object createApplication(const std::string& progId, std::uint32_t classContext) override;
    Failure getWorkbooks(Object application, Object& workbooks) override;
    Failure addWorkbook(Object workbooks, const AutomationValue& templateArgument,
                        std::int32_t locale, Object& workbook) override;
    Failure getAddIns(Object application, Object& addIns) override;
    Failure addAddIn(Object addIns, const std::string& filename, const AutomationValue& copyFile,
                     Object& addIn) override;
    Failure getAddInItem(Object addIns, const AutomationValue& index, Object& addIn) override;
    Failure setInstalled(Object addIn, bool installed) override;
    Failure quitApplication(Object application) override;
    void uninitializeCom() override;
    void releaseObject(Object object) override;
    std::optional<std::string> systemMessageText(std::uint32_t code) override;
};
