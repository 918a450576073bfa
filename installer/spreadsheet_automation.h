#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "automation_error.h"
#include "automation_value.h"

// The spreadsheet application's automation, one operation per platform call. Object
// references are opaque counted handles (null when absent); each one handed out is given
// back with releaseObject. Operations that can fail return the error, or nothing on
// success.
class SpreadsheetAutomation {
public:
    using Object = void*;
    using Failure = std::optional<AutomationError>;

    virtual ~SpreadsheetAutomation() = default;

    // True when COM is initialised for this thread (newly or already) and must be
    // uninitialised again.
    virtual bool initializeCom() = 0;
    // The application object, or null when any step of starting it fails.
    virtual Object createApplication(const std::string& progId, std::uint32_t classContext) = 0;
    virtual Failure getWorkbooks(Object application, Object& workbooks) = 0;
    virtual Failure addWorkbook(Object workbooks, const AutomationValue& templateArgument,
                                std::int32_t locale, Object& workbook) = 0;
    virtual Failure getAddIns(Object application, Object& addIns) = 0;
    virtual Failure addAddIn(Object addIns, const std::string& filename,
                             const AutomationValue& copyFile, Object& addIn) = 0;
    virtual Failure getAddInItem(Object addIns, const AutomationValue& index, Object& addIn) = 0;
    virtual Failure setInstalled(Object addIn, bool installed) = 0;
    virtual Failure quitApplication(Object application) = 0;
    virtual void uninitializeCom() = 0;
    virtual void releaseObject(Object object) = 0;
    // The system's message text for a result code, if it has one.
    virtual std::optional<std::string> systemMessageText(std::uint32_t code) = 0;
};
