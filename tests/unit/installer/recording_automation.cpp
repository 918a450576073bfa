#include "recording_automation.h"

#include <cstdio>

namespace {

std::string describe(const AutomationValue& value) {
    return value.kind == AutomationValue::Kind::Missing ? "missing" : "text:" + value.textValue;
}

}  // namespace

bool RecordingAutomation::initializeCom() {
    calls.push_back("initializeCom");
    return comInitializes;
}

SpreadsheetAutomation::Object RecordingAutomation::createApplication(const std::string& progId,
                                                                     std::uint32_t classContext) {
    calls.push_back("createApplication " + progId + " " + std::to_string(classContext));
    Object application = nullptr;
    handOut("createApplication", "application", application);
    return application;
}

SpreadsheetAutomation::Failure RecordingAutomation::getWorkbooks(Object application,
                                                                 Object& workbooks) {
    calls.push_back("getWorkbooks " + nameOf(application));
    return handOut("getWorkbooks", "workbooks", workbooks);
}

SpreadsheetAutomation::Failure RecordingAutomation::addWorkbook(
    Object workbooks, const AutomationValue& templateArgument, std::int32_t locale,
    Object& workbook) {
    calls.push_back("addWorkbook " + nameOf(workbooks) + " " + describe(templateArgument) + " " +
                    std::to_string(locale));
    return handOut("addWorkbook", "workbook", workbook);
}

SpreadsheetAutomation::Failure RecordingAutomation::getAddIns(Object application, Object& addIns) {
    calls.push_back("getAddIns " + nameOf(application));
    return handOut("getAddIns", "addIns", addIns);
}

SpreadsheetAutomation::Failure RecordingAutomation::addAddIn(Object addIns,
                                                             const std::string& filename,
                                                             const AutomationValue& copyFile,
                                                             Object& addIn) {
    calls.push_back("addAddIn " + nameOf(addIns) + " " + filename + " " + describe(copyFile));
    return handOut("addAddIn", "registeredAddIn", addIn);
}

SpreadsheetAutomation::Failure RecordingAutomation::getAddInItem(Object addIns,
                                                                 const AutomationValue& index,
                                                                 Object& addIn) {
    calls.push_back("getAddInItem " + nameOf(addIns) + " " + describe(index));
    return handOut("getAddInItem", "addIn", addIn);
}

SpreadsheetAutomation::Failure RecordingAutomation::setInstalled(Object addIn, bool installed) {
    calls.push_back("setInstalled " + nameOf(addIn) + (installed ? " true" : " false"));
    Object none = nullptr;
    return handOut("setInstalled", "", none);
}

SpreadsheetAutomation::Failure RecordingAutomation::quitApplication(Object application) {
    calls.push_back("quitApplication " + nameOf(application));
    Object none = nullptr;
    return handOut("quitApplication", "", none);
}

void RecordingAutomation::uninitializeCom() {
    calls.push_back("uninitializeCom");
}

void RecordingAutomation::releaseObject(Object object) {
    const std::string name = nameOf(object);
    calls.push_back("release " + name);
    auto held = liveObjects.find(name);
    if (held != liveObjects.end()) {
        liveObjects.erase(held);
    }
}

std::optional<std::string> RecordingAutomation::systemMessageText(std::uint32_t code) {
    auto text = systemTexts.find(code);
    if (text == systemTexts.end()) {
        return std::nullopt;
    }
    return text->second;
}

SpreadsheetAutomation::Failure RecordingAutomation::handOut(const std::string& operation,
                                                            const std::string& objectName,
                                                            Object& result) {
    auto failure = failures.find(operation);
    if (failure != failures.end()) {
        return failure->second;
    }
    if (!objectName.empty() && absentResults.count(operation) == 0) {
        objectNames_.push_back(objectName);
        liveObjects.insert(objectName);
        result = &objectNames_.back();
    }
    return std::nullopt;
}

std::string RecordingAutomation::nameOf(Object object) const {
    return object == nullptr ? "null" : *static_cast<const std::string*>(object);
}
