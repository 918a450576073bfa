// Byte strings on Windows are real BSTRs from OLE Automation, so that macro code can free
// them with the system's own calls.
#include <windows.h>

#include <oleauto.h>

#include "memory/call_memory.h"
#include "text/byte_string.h"

namespace pelzor {

wchar_t* allocByteString(const char* bytes, std::uint32_t length) {
    return withIdleMemoryBack([=] { return SysAllocStringByteLen(bytes, length); });
}

void freeByteString(wchar_t* text) {
    SysFreeString(text);
}

std::uint32_t byteStringLength(const wchar_t* text) {
    return SysStringByteLen(const_cast<wchar_t*>(text));
}

}  // namespace pelzor
