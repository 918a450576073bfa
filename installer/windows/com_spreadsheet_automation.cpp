#include "com_spreadsheet_automation.h"

#include <memory>

#include "application_interfaces.h"
#include "com_holders.h"
#include "dispatch_call.h"
#include "error_information.h"
#include "text_conversion.h"

namespace {

constexpr DISPID kAddInsAdd = 0xB5;
constexpr DISPID kAddInsItem = 0xAA;
constexpr DISPID kAddInInstalled = 0x226;
constexpr DWORD kUserDefaultLanguage = 0x0400;

// Handles are the objects' IUnknown pointers; every interface used here derives from it
// singly, so the pointer value is the same.
SpreadsheetAutomation::Object handleOf(IUnknown* object) {
    return object;
}

template <typename Interface>
Interface* interfaceOf(SpreadsheetAutomation::Object handle) {
    return static_cast<Interface*>(static_cast<IUnknown*>(handle));
}

AutomationError errorOf(HRESULT code) {
    return AutomationError{static_cast<std::uint32_t>(code), {}, {}};
}

CLSID classIdOf(const std::string& progId, HRESULT& outcome) {
    CLSID classId = {};
    BstrHolder wideProgId(newBstrFromText(progId, CP_ACP));
    if (wideProgId.get() == nullptr) {
        outcome = E_OUTOFMEMORY;
    } else if (progId.rfind('{', 0) == 0) {
        outcome = CLSIDFromString(wideProgId.get(), &classId);
    } else {
        outcome = CLSIDFromProgID(wideProgId.get(), &classId);
    }
    return classId;
}

// Fills an argument VARIANT; false when a text cannot be made.
bool fillArgument(const AutomationValue& value, VARIANT& argument) {
    if (value.kind == AutomationValue::Kind::Missing) {
        V_VT(&argument) = VT_ERROR;
        V_ERROR(&argument) = DISP_E_PARAMNOTFOUND;
        return true;
    }
    V_BSTR(&argument) = newBstrFromText(value.textValue, CP_THREAD_ACP);
    if (V_BSTR(&argument) == nullptr) {
        return false;
    }
    V_VT(&argument) = VT_BSTR;
    return true;
}

struct LocalMemoryRelease {
    void operator()(char* memory) const { LocalFree(memory); }
};

}  // namespace

bool ComSpreadsheetAutomation::initializeCom() {
    const HRESULT outcome = CoInitialize(nullptr);
    return outcome == S_OK || outcome == S_FALSE;
}

SpreadsheetAutomation::Object ComSpreadsheetAutomation::createApplication(
    const std::string& progId, std::uint32_t classContext) {
    HRESULT outcome = S_OK;
    const CLSID classId = classIdOf(progId, outcome);
    if (FAILED(outcome)) {
        return nullptr;
    }
    // Created as IUnknown and put into the running state first, since the class context
    // allows a local or remote server.
    ComRef<IUnknown> unknown;
    if (FAILED(CoCreateInstance(classId, nullptr, classContext, IID_IUnknown,
                                unknown.receiveVoid()))) {
        return nullptr;
    }
    if (FAILED(OleRun(unknown.get()))) {
        return nullptr;
    }
    ComRef<SpreadsheetApplication> application;
    if (FAILED(unknown->QueryInterface(kApplicationInterfaceId, application.receiveVoid()))) {
        return nullptr;
    }
    return handleOf(application.detach());
}

SpreadsheetAutomation::Failure ComSpreadsheetAutomation::getWorkbooks(Object applicationHandle,
                                                                      Object& workbooks) {
    auto* application = interfaceOf<SpreadsheetApplication>(applicationHandle);
    ComRef<SpreadsheetWorkbooks> collection;
    const HRESULT outcome = application->get_Workbooks(collection.receive());
    if (FAILED(outcome)) {
        return interfaceCallError(outcome, application, kApplicationInterfaceId);
    }
    workbooks = handleOf(collection.detach());
    return std::nullopt;
}

SpreadsheetAutomation::Failure ComSpreadsheetAutomation::addWorkbook(
    Object workbooksHandle, const AutomationValue& templateArgument, std::int32_t locale,
    Object& workbook) {
    auto* workbooks = interfaceOf<SpreadsheetWorkbooks>(workbooksHandle);
    VariantHolder templateVariant;
    if (!fillArgument(templateArgument, *templateVariant.get())) {
        return errorOf(E_OUTOFMEMORY);
    }
    ComRef<IDispatch> added;
    const HRESULT outcome = workbooks->Add(templateVariant.value(), locale, added.receive());
    if (FAILED(outcome)) {
        return interfaceCallError(outcome, workbooks, kWorkbooksInterfaceId);
    }
    workbook = handleOf(added.detach());
    return std::nullopt;
}

SpreadsheetAutomation::Failure ComSpreadsheetAutomation::getAddIns(Object applicationHandle,
                                                                   Object& addIns) {
    auto* application = interfaceOf<SpreadsheetApplication>(applicationHandle);
    ComRef<IDispatch> collection;
    const HRESULT outcome = application->get_AddIns(collection.receive());
    if (FAILED(outcome)) {
        return interfaceCallError(outcome, application, kApplicationInterfaceId);
    }
    addIns = handleOf(collection.detach());
    return std::nullopt;
}

SpreadsheetAutomation::Failure ComSpreadsheetAutomation::addAddIn(Object addInsHandle,
                                                                  const std::string& filename,
                                                                  const AutomationValue& copyFile,
                                                                  Object& addIn) {
    // Filename is converted through the system's ANSI code page.
    VariantHolder arguments[2];  // in reverse order: CopyFile, Filename
    if (!fillArgument(copyFile, *arguments[0].get())) {
        return errorOf(E_OUTOFMEMORY);
    }
    V_BSTR(arguments[1].get()) = newBstrFromText(filename, CP_ACP);
    if (V_BSTR(arguments[1].get()) == nullptr) {
        return errorOf(E_OUTOFMEMORY);
    }
    V_VT(arguments[1].get()) = VT_BSTR;
    VARIANT reversed[2] = {*arguments[0].get(), *arguments[1].get()};
    ComRef<IDispatch> registered;
    if (auto failure = invokeForObject(interfaceOf<IDispatch>(addInsHandle), kAddInsAdd,
                                       DISPATCH_METHOD, reversed, 2, registered)) {
        return failure;
    }
    addIn = handleOf(registered.detach());
    return std::nullopt;
}

SpreadsheetAutomation::Failure ComSpreadsheetAutomation::getAddInItem(Object addInsHandle,
                                                                      const AutomationValue& index,
                                                                      Object& addIn) {
    VariantHolder indexArgument;
    if (!fillArgument(index, *indexArgument.get())) {
        return errorOf(E_OUTOFMEMORY);
    }
    ComRef<IDispatch> item;
    if (auto failure = invokeForObject(interfaceOf<IDispatch>(addInsHandle), kAddInsItem,
                                       DISPATCH_PROPERTYGET, indexArgument.get(), 1, item)) {
        return failure;
    }
    addIn = handleOf(item.detach());
    return std::nullopt;
}

SpreadsheetAutomation::Failure ComSpreadsheetAutomation::setInstalled(Object addInHandle,
                                                                      bool installed) {
    VariantHolder flag;
    V_VT(flag.get()) = VT_BOOL;
    V_BOOL(flag.get()) = installed ? VARIANT_TRUE : VARIANT_FALSE;
    return invokePropertyPut(interfaceOf<IDispatch>(addInHandle), kAddInInstalled, *flag.get());
}

SpreadsheetAutomation::Failure ComSpreadsheetAutomation::quitApplication(Object applicationHandle) {
    auto* application = interfaceOf<SpreadsheetApplication>(applicationHandle);
    const HRESULT outcome = application->Quit();
    if (FAILED(outcome)) {
        return interfaceCallError(outcome, application, kApplicationInterfaceId);
    }
    return std::nullopt;
}

void ComSpreadsheetAutomation::uninitializeCom() {
    CoUninitialize();
}

void ComSpreadsheetAutomation::releaseObject(Object object) {
    interfaceOf<IUnknown>(object)->Release();
}

std::optional<std::string> ComSpreadsheetAutomation::systemMessageText(std::uint32_t code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code, kUserDefaultLanguage, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::unique_ptr<char, LocalMemoryRelease> text(buffer);
    if (length == 0 || !text) {
        return std::nullopt;
    }
    return std::string(text.get(), length);
}
