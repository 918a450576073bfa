#include "dispatch_objects.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "failure_plan.h"
#include "standin_ids.h"
#include "standin_log.h"

namespace {

constexpr DISPID kAddInsAdd = 0xB5;
constexpr DISPID kAddInsItem = 0xAA;
constexpr DISPID kAddInInstalled = 0x226;

std::string flagNames(WORD flags) {
    std::string names;
    const struct {
        WORD flag;
        const char* name;
    } known[] = {{DISPATCH_METHOD, "METHOD"},
                 {DISPATCH_PROPERTYGET, "PROPERTYGET"},
                 {DISPATCH_PROPERTYPUT, "PROPERTYPUT"},
                 {DISPATCH_PROPERTYPUTREF, "PROPERTYPUTREF"}};
    for (const auto& entry : known) {
        if (flags & entry.flag) {
            names += (names.empty() ? "" : "|") + std::string(entry.name);
        }
    }
    return names.empty() ? "0" : names;
}

std::string describeParameters(const DISPPARAMS& parameters) {
    std::string text = "args=[";
    for (UINT index = 0; index < parameters.cArgs; ++index) {
        text += (index == 0 ? "" : ", ") + describeVariant(parameters.rgvarg[index]);
    }
    text += "] named=[";
    for (UINT index = 0; index < parameters.cNamedArgs; ++index) {
        text += (index == 0 ? "" : ", ") + std::to_string(parameters.rgdispidNamedArgs[index]);
    }
    return text + "]";
}

// The files registered with AddIns.Add during this run, as UTF-8 texts.
std::vector<std::string>& registeredFiles() {
    static std::vector<std::string> files;
    return files;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The add-in's title: its file name without the final extension.
std::string titleOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    return fileName.substr(0, fileName.rfind('.'));
}

std::string utf8Of(BSTR text) {
    const std::string quoted = textOf(text);
    return quoted.size() >= 2 ? quoted.substr(1, quoted.size() - 2) : std::string();
}

HRESULT typeMismatch(UINT* argumentError, UINT index) {
    if (argumentError != nullptr) {
        *argumentError = index;
    }
    return DISP_E_TYPEMISMATCH;
}

void returnObject(VARIANT* result, IDispatch* object) {
    if (result == nullptr) {
        object->Release();
        return;
    }
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
}

class AddIn : public DispatchObject {
public:
    AddIn() : DispatchObject("AddIn", kAddInIid) {}

protected:
    const char* memberName(DISPID member) const override {
        return member == kAddInInstalled ? "Installed" : DispatchObject::memberName(member);
    }

    HRESULT invokeMember(DISPID member, WORD flags, DISPPARAMS& parameters, VARIANT*,
                         EXCEPINFO* exception, UINT* argumentError) override {
        if (member != kAddInInstalled || flags != DISPATCH_PROPERTYPUT) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (parameters.cArgs != 1) {
            return DISP_E_BADPARAMCOUNT;
        }
        if (parameters.cNamedArgs != 1 || parameters.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_PARAMNOTFOUND;
        }
        if (V_VT(&parameters.rgvarg[0]) != VT_BOOL) {
            return typeMismatch(argumentError, 0);
        }
        return plannedInvokeFailure("AddIn.Installed", exception);
    }
};

class AddIns : public DispatchObject {
public:
    AddIns() : DispatchObject("AddIns", kAddInsIid) {}

protected:
    const char* memberName(DISPID member) const override {
        if (member == kAddInsAdd) {
            return "Add";
        }
        return member == kAddInsItem ? "Item" : DispatchObject::memberName(member);
    }

    HRESULT invokeMember(DISPID member, WORD flags, DISPPARAMS& parameters, VARIANT* result,
                         EXCEPINFO* exception, UINT* argumentError) override {
        if (member == kAddInsAdd && (flags & DISPATCH_METHOD)) {
            return add(parameters, result, exception, argumentError);
        }
        if (member == kAddInsItem && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) {
            return item(parameters, result, exception, argumentError);
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    // Add(Filename As String, [CopyFile]): arguments arrive in reverse order.
    HRESULT add(DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception,
                UINT* argumentError) {
        if (parameters.cNamedArgs != 0) {
            return DISP_E_NONAMEDARGS;
        }
        if (parameters.cArgs < 1 || parameters.cArgs > 2) {
            return DISP_E_BADPARAMCOUNT;
        }
        const VARIANT& filename = parameters.rgvarg[parameters.cArgs - 1];
        if (V_VT(&filename) != VT_BSTR) {
            return typeMismatch(argumentError, parameters.cArgs - 1);
        }
        if (parameters.cArgs == 2) {
            const VARIANT& copyFile = parameters.rgvarg[0];
            const bool omitted =
                V_VT(&copyFile) == VT_ERROR && V_ERROR(&copyFile) == DISP_E_PARAMNOTFOUND;
            if (!omitted && V_VT(&copyFile) != VT_BOOL) {
                return typeMismatch(argumentError, 0);
            }
        }
        if (const HRESULT failure = plannedInvokeFailure("AddIns.Add", exception)) {
            return failure;
        }
        registeredFiles().push_back(utf8Of(V_BSTR(&filename)));
        returnObject(result, new AddIn());
        return S_OK;
    }

    // Item(Index): by title (case-insensitive) or by 1-based position.
    HRESULT item(DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception,
                 UINT* argumentError) {
        if (parameters.cNamedArgs != 0) {
            return DISP_E_NONAMEDARGS;
        }
        if (parameters.cArgs != 1) {
            return DISP_E_BADPARAMCOUNT;
        }
        const VARIANT& index = parameters.rgvarg[0];
        if (V_VT(&index) != VT_BSTR && V_VT(&index) != VT_I4) {
            return typeMismatch(argumentError, 0);
        }
        if (result == nullptr) {
            return E_INVALIDARG;
        }
        if (const HRESULT failure = plannedInvokeFailure("AddIns.Item", exception)) {
            return failure;
        }
        if (handsBackNoObject("AddIns.Item")) {
            V_VT(result) = VT_DISPATCH;  // Nothing
            V_DISPATCH(result) = nullptr;
            return S_OK;
        }
        if (handsBackEmptyResult("AddIns.Item")) {
            V_VT(result) = VT_EMPTY;
            return S_OK;
        }
        if (!isRegistered(index)) {
            return DISP_E_BADINDEX;
        }
        returnObject(result, new AddIn());
        return S_OK;
    }

    static bool isRegistered(const VARIANT& index) {
        const auto& files = registeredFiles();
        if (V_VT(&index) == VT_I4) {
            return V_I4(&index) >= 1 && static_cast<std::size_t>(V_I4(&index)) <= files.size();
        }
        const std::string wanted = lowerCase(utf8Of(V_BSTR(&index)));
        return std::any_of(files.begin(), files.end(), [&](const std::string& file) {
            return lowerCase(titleOf(file)) == wanted;
        });
    }
};

class Workbook : public DispatchObject {
public:
    Workbook() : DispatchObject("Workbook", IID_IDispatch) {}
};

}  // namespace

DispatchObject::DispatchObject(const char* kind, const IID& interfaceId)
    : name_(registerLiveObject(kind)), interfaceId_(interfaceId) {
    logLine("create " + name_);
}

DispatchObject::~DispatchObject() {
    unregisterLiveObject(name_);
    logLine("free " + name_);
}

HRESULT STDMETHODCALLTYPE DispatchObject::QueryInterface(REFIID interfaceId, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(interfaceId, IID_IUnknown) || IsEqualIID(interfaceId, IID_IDispatch) ||
        IsEqualIID(interfaceId, interfaceId_)) {
        *result = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchObject::AddRef() {
    return ++references_;
}

ULONG STDMETHODCALLTYPE DispatchObject::Release() {
    const ULONG remaining = --references_;
    if (remaining == 0) {
        delete this;
    }
    return remaining;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE DispatchObject::Invoke(DISPID member, REFIID interfaceId, LCID locale,
                                                 WORD flags, DISPPARAMS* parameters,
                                                 VARIANT* result, EXCEPINFO* exception,
                                                 UINT* argumentError) {
    logLine("call " + name_ + "." + memberName(member) + " flags=" + flagNames(flags) + " riid=" +
            (IsEqualIID(interfaceId, IID_NULL) ? "IID_NULL" : interfaceName(interfaceId)) +
            " lcid=" + std::to_string(locale) + " " +
            (parameters ? describeParameters(*parameters) : "no-dispparams") +
            " result=" + (result ? "yes" : "no") + " excepinfo=" + (exception ? "yes" : "no") +
            " argerr=" + (argumentError ? "yes" : "no"));
    if (!IsEqualIID(interfaceId, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (parameters == nullptr) {
        return E_INVALIDARG;
    }
    return invokeMember(member, flags, *parameters, result, exception, argumentError);
}

HRESULT DispatchObject::invokeMember(DISPID, WORD, DISPPARAMS&, VARIANT*, EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

const char* DispatchObject::memberName(DISPID) const {
    return "(unknown member)";
}

IDispatch* newAddIns() {
    return new AddIns();
}

IDispatch* newWorkbook() {
    return new Workbook();
}
