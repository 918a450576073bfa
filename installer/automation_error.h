#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a failed automation call yields: its result code and, where the failure came with
// error information, that information's description and source.
struct AutomationError {
    std::uint32_t code = 0;
    std::optional<std::string> description;
    std::optional<std::string> source;
};

namespace result_codes {
constexpr std::uint32_t kPointer = 0x80004003;            // E_POINTER
constexpr std::uint32_t kParameterNotFound = 0x80020004;  // DISP_E_PARAMNOTFOUND
constexpr std::uint32_t kException = 0x80020009;          // DISP_E_EXCEPTION
}  // namespace result_codes
