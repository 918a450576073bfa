#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "spreadsheet_automation.h"

// Records every operation with its arguments as one line, hands out named objects and
// tracks which of them are still held. Operations named in failures fail with the given
// error; those named in absentResults succeed without an object.
class RecordingAutomation : public SpreadsheetAutomation {
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

    bool comInitializes = true;
    std::map<std::string, AutomationError> failures;
    std::set<std::string> absentResults;
    std::map<std::uint32_t, std::string> systemTexts;

    std::vector<std::string> calls;
    std::multiset<std::string> liveObjects;

private:
    Failure handOut(const std::string& operation, const std::string& objectName, Object& result);
    std::string nameOf(Object object) const;

    std::deque<std::string> objectNames_;  // handles point into this; it never moves them
};
