#include "error_information.h"

#include "com_holders.h"
#include "failure_report.h"
#include "text_conversion.h"

namespace {

AutomationError errorWithInformation(HRESULT result, IErrorInfo* information) {
    AutomationError error{static_cast<std::uint32_t>(result), {}, {}};
    if (information == nullptr) {
        return error;
    }
    BstrHolder description;
    if (SUCCEEDED(information->GetDescription(description.receive()))) {
        error.description = ansiTextFromBstr(description.get());
    }
    BstrHolder source;
    if (SUCCEEDED(information->GetSource(source.receive()))) {
        error.source = ansiTextFromBstr(source.get());
    }
    return error;
}

bool supportsErrorInformation(IUnknown* object, REFIID interfaceId) {
    ComRef<ISupportErrorInfo> support;
    if (FAILED(object->QueryInterface(IID_ISupportErrorInfo, support.receiveVoid()))) {
        return false;
    }
    return support->InterfaceSupportsErrorInfo(interfaceId) == S_OK;
}

// Error information made from the exception's texts, as the dispatch interface reported
// them.
ComRef<IErrorInfo> errorInformationFromException(const EXCEPINFO& exception) {
    ComRef<ICreateErrorInfo> creator;
    if (FAILED(CreateErrorInfo(creator.receive()))) {
        return {};
    }
    creator->SetGUID(IID_IDispatch);
    if (exception.bstrSource != nullptr) {
        creator->SetSource(exception.bstrSource);
    }
    if (exception.bstrDescription != nullptr) {
        creator->SetDescription(exception.bstrDescription);
    }
    if (exception.bstrHelpFile != nullptr) {
        creator->SetHelpFile(exception.bstrHelpFile);
    }
    creator->SetHelpContext(exception.dwHelpContext);
    ComRef<IErrorInfo> information;
    creator->QueryInterface(IID_IErrorInfo, information.receiveVoid());
    return information;
}

void freeExceptionTexts(EXCEPINFO& exception) {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    exception.bstrSource = nullptr;
    exception.bstrDescription = nullptr;
    exception.bstrHelpFile = nullptr;
}

}  // namespace

AutomationError interfaceCallError(HRESULT result, IUnknown* object, REFIID interfaceId) {
    ComRef<IErrorInfo> information;
    if (supportsErrorInformation(object, interfaceId) &&
        GetErrorInfo(0, information.receive()) != S_OK) {
        information.reset();
    }
    return errorWithInformation(result, information.get());
}

AutomationError dispatchCallError(HRESULT result, EXCEPINFO& exception) {
    if (result != DISP_E_EXCEPTION) {
        freeExceptionTexts(exception);
        return errorWithInformation(result, nullptr);
    }
    if (exception.pfnDeferredFillIn != nullptr) {
        exception.pfnDeferredFillIn(&exception);
    }
    ComRef<IErrorInfo> information = errorInformationFromException(exception);
    freeExceptionTexts(exception);
    const auto code =
        exceptionResultCode(exception.wCode, static_cast<std::uint32_t>(exception.scode));
    return errorWithInformation(static_cast<HRESULT>(code), information.get());
}
