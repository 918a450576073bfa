#include "run_automation.h"

#include "failure_report.h"
#include "held_object.h"

namespace {

constexpr const char* kApplicationProgId = "Excel.Application";
// In-process server, in-process handler, local server and remote server.
constexpr std::uint32_t kEveryClassContext = 23;
constexpr std::int32_t kNeutralLocale = 0;

// Keeps COM initialised for as long as it is in scope, when initialising succeeded.
class ComSession {
public:
    explicit ComSession(SpreadsheetAutomation& automation)
        : automation_(automation), initialized_(automation.initializeCom()) {}
    ComSession(const ComSession&) = delete;
    ComSession& operator=(const ComSession&) = delete;
    ~ComSession() {
        if (initialized_) {
            automation_.uninitializeCom();
        }
    }

private:
    SpreadsheetAutomation& automation_;
    bool initialized_;
};

AutomationError absentObject() {
    return AutomationError{result_codes::kPointer, {}, {}};
}

SpreadsheetAutomation::Failure addBlankWorkbook(SpreadsheetAutomation& automation,
                                                const HeldObject& application) {
    HeldObject workbooks(automation);
    if (auto failure = automation.getWorkbooks(application.get(), workbooks.receive())) {
        return failure;
    }
    if (workbooks.get() == nullptr) {
        return absentObject();
    }
    // The workbook stays open in the application; only our references go.
    HeldObject workbook(automation);
    return automation.addWorkbook(workbooks.get(), AutomationValue::missing(), kNeutralLocale,
                                  workbook.receive());
}

SpreadsheetAutomation::Failure registerAndSwitch(SpreadsheetAutomation& automation,
                                                 const HeldObject& application,
                                                 const InstallRequest& request) {
    HeldObject addIns(automation);
    if (auto failure = automation.getAddIns(application.get(), addIns.receive())) {
        return failure;
    }
    if (addIns.get() == nullptr) {
        return absentObject();
    }
    {
        // Registers the file in the add-in list, for removal as well.
        HeldObject registered(automation);
        if (auto failure = automation.addAddIn(addIns.get(), request.fullPath,
                                               AutomationValue::missing(), registered.receive())) {
            return failure;
        }
    }
    HeldObject addIn(automation);
    if (auto failure = automation.getAddInItem(
            addIns.get(), AutomationValue::text(request.addInName), addIn.receive())) {
        return failure;
    }
    if (addIn.get() == nullptr) {
        return absentObject();
    }
    return automation.setInstalled(addIn.get(), request.install);
}

// Every step after the application is running; the application reference stays with the
// caller so that it is released right after Quit, or last on a failure.
SpreadsheetAutomation::Failure automateApplication(SpreadsheetAutomation& automation,
                                                   const HeldObject& application,
                                                   const InstallRequest& request) {
    if (auto failure = addBlankWorkbook(automation, application)) {
        return failure;
    }
    if (auto failure = registerAndSwitch(automation, application, request)) {
        return failure;
    }
    return automation.quitApplication(application.get());
}

void printFailureReport(SpreadsheetAutomation& automation, Console& console,
                        const AutomationError& error) {
    const std::string errorMessage =
        errorMessageFor(error.code, automation.systemMessageText(error.code));
    console.write(failureReport(error, errorMessage));
}

}  // namespace

AutomationOutcome runAutomation(const InstallRequest& request, SpreadsheetAutomation& automation,
                                Console& console) {
    ComSession comSession(automation);
    SpreadsheetAutomation::Failure failure;
    {
        HeldObject application(automation);
        application.receive() =
            automation.createApplication(kApplicationProgId, kEveryClassContext);
        if (application.get() == nullptr) {
            return AutomationOutcome::NoApplication;
        }
        failure = automateApplication(automation, application, request);
    }
    if (failure) {
        printFailureReport(automation, console, *failure);
        return AutomationOutcome::Failed;
    }
    return AutomationOutcome::Completed;
}
