#include "failure_report.h"

#include <cstdio>

namespace {

constexpr std::uint32_t kDispatchErrorBase = 0x80040200;
constexpr std::uint32_t kLastDispatchError = 0x8004FFFF;
constexpr std::uint16_t kFirstUnmappedWCode = 0xFE00;

std::string withoutFinalLineEnd(std::string text) {
    if (text.size() > 1 && text.back() == '\n') {
        text.pop_back();
        if (text.back() == '\r') {
            text.pop_back();
        }
    }
    return text;
}

std::string formatted(const char* format, unsigned long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

const char* textOrNull(const std::optional<std::string>& text) {
    return text ? text->c_str() : "(null)";
}

}  // namespace

std::string errorMessageFor(std::uint32_t code, const std::optional<std::string>& systemText) {
    if (systemText) {
        return withoutFinalLineEnd(*systemText);
    }
    if (code > kDispatchErrorBase && code <= kLastDispatchError) {
        return formatted("IDispatch error #%lu", code - kDispatchErrorBase);
    }
    return formatted("Unknown error 0x%0lX", code);
}

std::string failureReport(const AutomationError& error, const std::string& errorMessage) {
    const char* format =
        "_com_error:\nError       : %08lX\nErrorMessage: %s\nDescription : %s\nSource      : %s\n";
    const char* description = textOrNull(error.description);
    const char* source = textOrNull(error.source);
    const unsigned long code = error.code;
    int length = std::snprintf(nullptr, 0, format, code, errorMessage.c_str(), description, source);
    std::string report(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(report.data(), report.size(), format, code, errorMessage.c_str(), description,
                  source);
    report.pop_back();
    return report;
}

std::uint32_t exceptionResultCode(std::uint16_t wCode, std::uint32_t scode) {
    if (wCode == 0) {
        return scode;
    }
    if (wCode < kFirstUnmappedWCode) {
        return kDispatchErrorBase + wCode;
    }
    return kLastDispatchError;
}
