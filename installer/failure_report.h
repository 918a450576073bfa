#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "automation_error.h"

// The message for a result code: the system's text without its final line end, or a
// generic text when the system has none.
std::string errorMessageFor(std::uint32_t code, const std::optional<std::string>& systemText);

// The report printed once for a failed automation run.
std::string failureReport(const AutomationError& error, const std::string& errorMessage);

// The result code of a dispatch exception: its scode when it carries no wCode, otherwise
// the wCode mapped into the range reserved for IDispatch errors.
std::uint32_t exceptionResultCode(std::uint16_t wCode, std::uint32_t scode);
