#include "failure_report.h"

#include <gtest/gtest.h>

namespace {

struct MessageCase {
    const char* label;
    std::uint32_t code;
    std::optional<std::string> systemText;
    std::string message;
};

TEST(ErrorMessageTest, TrimsSystemTextOrFallsBackToGenericText) {
    const MessageCase cases[] = {
        {"CR LF removed", 0x80004003, "Invalid pointer\r\n", "Invalid pointer"},
        {"LF alone removed", 0x80004003, "Invalid pointer\n", "Invalid pointer"},
        {"CR alone kept", 0x80004003, "Invalid pointer\r", "Invalid pointer\r"},
        {"only one line end removed", 0x80004005, "Two\r\n\r\n", "Two\r\n"},
        {"inner line ends kept", 0x80004005, "One\r\nTwo\r\n", "One\r\nTwo"},
        {"no line end", 0x80004005, "Unspecified error", "Unspecified error"},
        {"one character kept whole", 0x80004005, "\n", "\n"},
        {"CR LF of two characters", 0x80004005, "\r\n", ""},
        {"system text wins inside the IDispatch range", 0x800405E8, "Known\r\n", "Known"},
        {"first IDispatch error", 0x80040201, std::nullopt, "IDispatch error #1"},
        {"wCode 1000", 0x800405E8, std::nullopt, "IDispatch error #1000"},
        {"wCode 0xFE00 and above", 0x8004FFFF, std::nullopt, "IDispatch error #65023"},
        {"base itself is unknown", 0x80040200, std::nullopt, "Unknown error 0x80040200"},
        {"just past the range", 0x80050000, std::nullopt, "Unknown error 0x80050000"},
        {"no leading zeros added", 0x00000001, std::nullopt, "Unknown error 0x1"},
        {"zero", 0, std::nullopt, "Unknown error 0x0"},
        {"upper-case digits", 0x800a03ec, std::nullopt, "Unknown error 0x800A03EC"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(errorMessageFor(testCase.code, testCase.systemText), testCase.message);
    }
}

TEST(FailureReportTest, PrintsCodeMessageDescriptionAndSource) {
    const struct {
        const char* label;
        AutomationError error;
        const char* message;
        const char* report;
    } cases[] = {
        {"all texts present",
         {0x800A03EC, "Cannot open the file.", "Microsoft Excel"},
         "Unknown error 0x800A03EC",
         "_com_error:\nError       : 800A03EC\nErrorMessage: Unknown error 0x800A03EC\n"
         "Description : Cannot open the file.\nSource      : Microsoft Excel\n"},
        {"absent texts print (null)",
         {0x80004003, std::nullopt, std::nullopt},
         "Invalid pointer",
         "_com_error:\nError       : 80004003\nErrorMessage: Invalid pointer\n"
         "Description : (null)\nSource      : (null)\n"},
        {"empty texts stay empty",
         {0x80020009, std::string(), std::string()},
         "Exception occurred.",
         "_com_error:\nError       : 80020009\nErrorMessage: Exception occurred.\n"
         "Description : \nSource      : \n"},
        {"code zero-padded to eight digits",
         {0x1, std::nullopt, "Source only"},
         "Unknown error 0x1",
         "_com_error:\nError       : 00000001\nErrorMessage: Unknown error 0x1\n"
         "Description : (null)\nSource      : Source only\n"},
        {"percent signs printed as they are",
         {0x80004005, "100% sure %s", "%d"},
         "Unspecified %n",
         "_com_error:\nError       : 80004005\nErrorMessage: Unspecified %n\n"
         "Description : 100% sure %s\nSource      : %d\n"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.label);
        EXPECT_EQ(failureReport(testCase.error, testCase.message), testCase.report);
    }
}

TEST(ExceptionResultCodeTest, MapsWCodeIntoTheDispatchRange) {
    const struct {
        std::uint16_t wCode;
        std::uint32_t scode;
        std::uint32_t code;
    } cases[] = {
        {0, 0x800A03EC, 0x800A03EC},  // no wCode: the scode
        {0, 0, 0},
        {1, 0x800A03EC, 0x80040201},  // a wCode wins over the scode
        {1000, 0, 0x800405E8},
        {0xFDFF, 0, 0x8004FFFF},
        {0xFE00, 0, 0x8004FFFF},
        {0xFFFF, 0x80004005, 0x8004FFFF},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.wCode);
        EXPECT_EQ(exceptionResultCode(testCase.wCode, testCase.scode), testCase.code);
    }
}

}  // namespace
