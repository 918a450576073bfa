#include "failure_plan.h"

#include <cstdlib>

#include "standin_log.h"

namespace {

struct FailurePlan {
    std::string member;
    std::string kind;
    unsigned long value = 0;
};

std::string environment(const char* name) {
    char value[256];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length == 0 || length >= sizeof value ? std::string() : std::string(value, length);
}

const FailurePlan& plan() {
    static const FailurePlan parsed = [] {
        FailurePlan read;
        read.member = environment("TRESSVOLD_STANDIN_FAIL");
        const std::string failure = environment("TRESSVOLD_STANDIN_FAILURE");
        const auto colon = failure.find(':');
        read.kind = failure.substr(0, colon);
        if (colon != std::string::npos) {
            const bool decimal = read.kind.find("wcode") != std::string::npos;
            read.value = std::strtoul(failure.c_str() + colon + 1, nullptr, decimal ? 10 : 16);
        }
        return read;
    }();
    return parsed;
}

bool planned(const char* member, const char* kind) {
    return plan().member == member && plan().kind == kind;
}

BSTR wideText(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, length);
    return wide;
}

std::string deferredMember;

HRESULT STDAPICALLTYPE fillInLater(EXCEPINFO* exception) {
    logLine("call deferred fill-in " + deferredMember);
    exception->bstrDescription = wideText(failureDescription(deferredMember.c_str()));
    exception->bstrSource = wideText(kFailureSource);
    exception->pfnDeferredFillIn = nullptr;
    return S_OK;
}

void setErrorInformation(const char* member, REFIID interfaceId) {
    ICreateErrorInfo* creator = nullptr;
    if (FAILED(CreateErrorInfo(&creator))) {
        return;
    }
    BSTR description = wideText(failureDescription(member));
    BSTR source = wideText(kFailureSource);
    creator->SetGUID(interfaceId);
    creator->SetDescription(description);
    creator->SetSource(source);
    SysFreeString(description);
    SysFreeString(source);
    IErrorInfo* information = nullptr;
    if (SUCCEEDED(
            creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&information)))) {
        SetErrorInfo(0, information);
        information->Release();
    }
    creator->Release();
}

}  // namespace

std::string failureDescription(const char* member) {
    return std::string("Stand-in failure of ") + member;
}

bool handsBackNoObject(const char* member) {
    return planned(member, "no-object");
}

bool handsBackEmptyResult(const char* member) {
    return planned(member, "empty-result");
}

HRESULT plannedVtableFailure(const char* member, REFIID interfaceId) {
    if (planned(member, "hresult")) {
        return static_cast<HRESULT>(plan().value);
    }
    if (planned(member, "errorinfo")) {
        setErrorInformation(member, interfaceId);
        return static_cast<HRESULT>(plan().value);
    }
    return S_OK;
}

HRESULT plannedInvokeFailure(const char* member, EXCEPINFO* exception) {
    if (planned(member, "hresult")) {
        return static_cast<HRESULT>(plan().value);
    }
    const bool deferred = plan().kind.rfind("deferred-", 0) == 0;
    const std::string kind = deferred ? plan().kind.substr(9) : plan().kind;
    if (plan().member != member || (kind != "scode" && kind != "wcode")) {
        return S_OK;
    }
    if (exception == nullptr) {
        return DISP_E_EXCEPTION;
    }
    *exception = EXCEPINFO{};
    if (kind == "scode") {
        exception->scode = static_cast<SCODE>(plan().value);
    } else {
        exception->wCode = static_cast<WORD>(plan().value);
    }
    if (deferred) {
        deferredMember = member;
        exception->pfnDeferredFillIn = fillInLater;
    } else {
        exception->bstrDescription = wideText(failureDescription(member));
        exception->bstrSource = wideText(kFailureSource);
    }
    return DISP_E_EXCEPTION;
}
