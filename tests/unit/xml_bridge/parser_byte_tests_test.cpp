// The parser's byte tests (white space, letters, lower case) are the project's own, written
// without the process locale: they must answer for every byte what the C library's
// functions answer in the "C" locale, which the unmodified parser called and the DLL runs in.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cctype>
#include <clocale>
#include <string>

namespace {

// Opens the parser's protected byte tests to this test.
struct ParserBytes : TiXmlBase {
    using TiXmlBase::IsAlpha;
    using TiXmlBase::IsAlphaNum;
    using TiXmlBase::IsWhiteSpace;
    using TiXmlBase::ToLower;
};

// Sets the "C" locale's character classes for the test and restores the previous ones.
class CLocale {
public:
    CLocale() : previous_(std::setlocale(LC_CTYPE, nullptr)) { std::setlocale(LC_CTYPE, "C"); }
    ~CLocale() { std::setlocale(LC_CTYPE, previous_.c_str()); }

private:
    std::string previous_;
};

TEST(ParserByteTests, AgreeWithTheCLocaleOnEveryByte) {
    CLocale locale;
    for (const TiXmlEncoding encoding : {TIXML_ENCODING_UTF8, TIXML_ENCODING_LEGACY}) {
        for (int value = 0; value < 256; ++value) {
            const auto byte = static_cast<unsigned char>(value);
            const char asChar = static_cast<char>(byte);
            SCOPED_TRACE(testing::Message() << "byte " << value << ", encoding " << encoding);
            EXPECT_EQ(ParserBytes::IsWhiteSpace(asChar),
                      std::isspace(byte) != 0 || asChar == '\n' || asChar == '\r');
            EXPECT_EQ(ParserBytes::IsWhiteSpace(value),
                      std::isspace(byte) != 0 || asChar == '\n' || asChar == '\r');
            // The unmodified parser takes every byte from 127 up for a letter.
            EXPECT_EQ(ParserBytes::IsAlpha(byte, encoding) != 0,
                      byte >= 127 || std::isalpha(byte) != 0);
            EXPECT_EQ(ParserBytes::IsAlphaNum(byte, encoding) != 0,
                      byte >= 127 || std::isalnum(byte) != 0);
            EXPECT_EQ(ParserBytes::ToLower(value, encoding), std::tolower(value));
            // A plain char holds bytes from 128 up as negative values on most targets; the
            // parser passes them on as they are.
            EXPECT_EQ(ParserBytes::ToLower(asChar, encoding), static_cast<int>(asChar) < 0
                                                                  ? static_cast<int>(asChar)
                                                                  : std::tolower(asChar));
        }
    }
}

}  // namespace
