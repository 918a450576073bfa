#include "builder.h"

#include <cstring>

#include "heap.h"
#include "result_string.h"

namespace pelzor {

const char kParentMissing[] = "Parent element does not exist";

wchar_t* buildBlankDocument(const char* rootName) {
    if (rootName == nullptr) {
        return nullptr;
    }
    static const char kDeclaration[] = "<?xml version='1.0' encoding='utf-8'?>";
    const std::size_t nameLength = std::strlen(rootName);
    const std::size_t length = (sizeof kDeclaration - 1) + 2 * nameLength + 5;
    char* text = static_cast<char*>(heapAllocate(length + 1));
    if (text == nullptr) {
        return nullptr;
    }
    char* out = text;
    auto put = [&out](const char* bytes, std::size_t count) {
        std::memcpy(out, bytes, count);
        out += count;
    };
    put(kDeclaration, sizeof kDeclaration - 1);
    put("<", 1);
    put(rootName, nameLength);
    put("></", 3);
    put(rootName, nameLength);
    put(">", 2);  // with the terminating NUL
    wchar_t* result = makeResultString(text);
    heapFree(text);
    return result;
}

wchar_t* appendChildElement(const char*, const char*, const char*, const char*, bool) {
    // Not built yet: every call reports a missing parent.
    return makeResultString(kParentMissing);
}

}  // namespace pelzor
