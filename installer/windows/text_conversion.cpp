#include "text_conversion.h"

BSTR newBstrFromText(const std::string& text, UINT codePage) {
    const int inputLength = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(codePage, 0, text.data(), inputLength, nullptr, 0);
    if (wideLength == 0 && inputLength != 0) {
        return nullptr;
    }
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(wideLength));
    if (wide != nullptr && wideLength != 0) {
        MultiByteToWideChar(codePage, 0, text.data(), inputLength, wide, wideLength);
    }
    return wide;
}

std::optional<std::string> ansiTextFromBstr(BSTR text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const int wideLength = static_cast<int>(SysStringLen(text));
    const int length =
        WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(length), '\0');
    if (length != 0) {
        WideCharToMultiByte(CP_ACP, 0, text, wideLength, converted.data(), length, nullptr,
                            nullptr);
    }
    return converted;
}
