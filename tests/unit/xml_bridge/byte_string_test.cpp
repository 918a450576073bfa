// The native byte strings keep a BSTR's layout: a 32-bit byte count right before the
// payload, the payload unchanged, then a NUL pair.
#include <gtest/gtest.h>

#include <cstring>

#include "export_access.h"
#include "text/byte_string.h"
#include "text/result_string.h"

namespace {

TEST(ByteString, KeepsEveryByteAndCountsBytes) {
    const std::string cases[] = {"", "a", "Element does not exist",
                                 std::string("\xC3\xA9\x01\x7F", 4), std::string(1000, 'x')};
    for (const std::string& text : cases) {
        OwnedResult result(pelzor::makeResultString(text.c_str()));
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(pelzor::byteStringLength(result.get()), text.size());
        EXPECT_EQ(bytesOf(result.get()), text);
        const unsigned char* payload = reinterpret_cast<const unsigned char*>(result.get());
        std::uint32_t prefix;
        std::memcpy(&prefix, payload - 4, 4);
        EXPECT_EQ(prefix, text.size());
        EXPECT_EQ(payload[text.size()], 0);
        EXPECT_EQ(payload[text.size() + 1], 0);
    }
}

TEST(ByteString, StopsAtTheTextsTerminatingNul) {
    const char text[] = "ab\0cd";
    EXPECT_EQ(takeResult(pelzor::makeResultString(text)), "ab");
}

TEST(ByteString, NullHasLengthZeroAndFreesQuietly) {
    EXPECT_EQ(pelzor::byteStringLength(nullptr), 0u);
    pelzor::freeByteString(nullptr);
}

}  // namespace
