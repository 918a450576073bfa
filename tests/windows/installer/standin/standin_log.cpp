#include "standin_log.h"

#include <cstdio>
#include <map>

#include "standin_ids.h"

namespace {

std::map<std::string, int>& objectCounters() {
    static std::map<std::string, int> counters;
    return counters;
}

std::map<std::string, bool>& liveObjects() {
    static std::map<std::string, bool> objects;
    return objects;
}

}  // namespace

void logLine(const std::string& line) {
    char path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA("TRESSVOLD_STANDIN_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return;
    }
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string registerLiveObject(const char* kind) {
    const std::string name = std::string(kind) + "#" + std::to_string(++objectCounters()[kind]);
    liveObjects()[name] = true;
    return name;
}

void unregisterLiveObject(const std::string& name) {
    liveObjects().erase(name);
}

std::size_t liveObjectCount() {
    return liveObjects().size();
}

std::string liveObjectList() {
    std::string list;
    for (const auto& object : liveObjects()) {
        list += (list.empty() ? "" : " ") + object.first;
    }
    return list.empty() ? "(none)" : list;
}

std::string hex32(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08lX", value);
    return text;
}

std::string textOf(BSTR text) {
    if (text == nullptr) {
        return "(null BSTR)";
    }
    const int wideLength = static_cast<int>(SysStringLen(text));
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, wideLength, converted.data(), length, nullptr, nullptr);
    return "\"" + converted + "\"";
}

std::string describeVariant(const VARIANT& value) {
    switch (V_VT(&value)) {
        case VT_ERROR:
            return "VT_ERROR:" + hex32(static_cast<unsigned long>(V_ERROR(&value)));
        case VT_BSTR:
            return "VT_BSTR:" + textOf(V_BSTR(&value));
        case VT_BOOL:
            return "VT_BOOL:" + std::to_string(V_BOOL(&value));
        case VT_I4:
            return "VT_I4:" + std::to_string(V_I4(&value));
        case VT_EMPTY:
            return "VT_EMPTY";
        default:
            return "VT_" + std::to_string(V_VT(&value));
    }
}

std::string interfaceName(REFIID interfaceId) {
    if (IsEqualIID(interfaceId, kApplicationIid)) {
        return "_Application";
    }
    if (IsEqualIID(interfaceId, kWorkbooksIid)) {
        return "Workbooks";
    }
    if (IsEqualIID(interfaceId, IID_IDispatch)) {
        return "IDispatch";
    }
    if (IsEqualIID(interfaceId, IID_IUnknown)) {
        return "IUnknown";
    }
    wchar_t text[64];
    StringFromGUID2(interfaceId, text, 64);
    char narrow[64];
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}
