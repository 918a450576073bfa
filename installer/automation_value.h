#pragma once

#include <string>

// An argument handed to the spreadsheet application as a VARIANT: the missing argument
// (VT_ERROR holding DISP_E_PARAMNOTFOUND, standing for an omitted optional argument) or
// a text (VT_BSTR converted through the calling thread's ANSI code page).
struct AutomationValue {
    enum class Kind { Missing, Text };

    static AutomationValue missing() { return {Kind::Missing, {}}; }
    static AutomationValue text(std::string value) { return {Kind::Text, std::move(value)}; }

    Kind kind;
    std::string textValue;
};

inline bool operator==(const AutomationValue& left, const AutomationValue& right) {
    return left.kind == right.kind && left.textValue == right.textValue;
}
