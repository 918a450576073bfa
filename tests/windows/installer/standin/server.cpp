// The stand-in's COM server frame: the class object for the application's CLSID, the
// unloading rule, and registration under the application's ProgID.
#include <windows.h>

#include <ole2.h>

#include <string>

#include "application.h"
#include "standin_ids.h"
#include "standin_log.h"

namespace {

HMODULE thisModule = nullptr;
LONG serverLocks = 0;

class ApplicationFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interfaceId, void** result) override {
        if (IsEqualIID(interfaceId, IID_IUnknown) || IsEqualIID(interfaceId, IID_IClassFactory)) {
            *result = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: its count never ends its life.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID interfaceId,
                                             void** result) override {
        *result = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        IUnknown* application = newApplication();
        const HRESULT outcome = application->QueryInterface(interfaceId, result);
        application->Release();
        return outcome;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        serverLocks += lock ? 1 : -1;
        return S_OK;
    }
};

ApplicationFactory factory;

bool setKeyText(const std::string& key, const char* valueName, const std::string& value) {
    return RegSetKeyValueA(HKEY_CLASSES_ROOT, key.c_str(), valueName, REG_SZ, value.c_str(),
                           static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
    } else if (reason == DLL_PROCESS_DETACH) {
        logLine("detach alive=" + liveObjectList());
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID interfaceId,
                                                    void** result) {
    if (!IsEqualCLSID(classId, kApplicationClassId)) {
        *result = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(interfaceId, result);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return liveObjectCount() == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    char path[MAX_PATH];
    GetModuleFileNameA(thisModule, path, MAX_PATH);
    const std::string classKey = std::string("CLSID\\") + kApplicationClassIdText;
    const bool written =
        setKeyText(kApplicationProgId, nullptr, "Stand-in spreadsheet application") &&
        setKeyText(std::string(kApplicationProgId) + "\\CLSID", nullptr, kApplicationClassIdText) &&
        setKeyText(classKey, nullptr, "Stand-in spreadsheet application") &&
        setKeyText(classKey + "\\ProgID", nullptr, kApplicationProgId) &&
        setKeyText(classKey + "\\InprocServer32", nullptr, path) &&
        setKeyText(classKey + "\\InprocServer32", "ThreadingModel", "Apartment");
    return written ? S_OK : E_FAIL;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kApplicationProgId);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kApplicationClassIdText).c_str());
    return S_OK;
}
