// Building a document through the real DLL: the worked example call by call, the mended
// ampersand handling, the missing-parent message, and the flag as callers really pass it.
#include <gtest/gtest.h>

#include <string>

#include "pelzor_dll.h"

namespace {

std::string take(wchar_t* text) {
    return Bstr(text).bytes();
}

}  // namespace

TEST(Builder, WorkedExampleHoldsByteForByte) {
    PelzorDll dll;
    Bstr blank(dll.createBlankXML("library"));
    EXPECT_EQ(blank.bytes(), "<?xml version='1.0' encoding='utf-8'?><library></library>");
    EXPECT_EQ(blank.byteLength(), 57u);

    Bstr withBook(dll.appendXMLChild(blank.bytes().c_str(), "book", "library", "Dune", false));
    EXPECT_EQ(withBook.bytes(),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<library>\n    <book>Dune</book>\n"
              "</library>\n");

    Bstr withNote(
        dll.appendXMLChild(withBook.bytes().c_str(), "note", "library", "<i>new</i> & used", true));
    EXPECT_EQ(withNote.bytes(),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<library>\n    <book>Dune</book>\n"
              "    <note><i>new</i> &amp; used</note>\n</library>\n");

    Bstr missing(dll.appendXMLChild(withNote.bytes().c_str(), "x", "shelf", "1", false));
    EXPECT_EQ(missing.bytes(), "Parent element does not exist");
    EXPECT_EQ(missing.byteLength(), 29u);
}

TEST(Builder, AmpersandBytesSurviveAndReadBack) {
    PelzorDll dll;
    const std::string document =
        take(dll.appendXMLChild("<r><a>ramp;</a></r>", "b", "r", "AT&amp;T", false));
    EXPECT_EQ(document, "<r>\n    <a>ramp;</a>\n    <b>AT&amp;T</b>\n</r>\n");
    EXPECT_EQ(take(dll.getStringValue(document.c_str(), "a")), "ramp;");
    EXPECT_EQ(take(dll.getStringValue(document.c_str(), "b")), "AT&T");
}

TEST(Builder, NullArgumentsGiveTheMissingParentMessageOrAnEmptyText) {
    PelzorDll dll;
    EXPECT_EQ(take(dll.appendXMLChild(nullptr, "c", "r", "1", true)),
              "Parent element does not exist");
    EXPECT_EQ(take(dll.appendXMLChild("<r/>", "c", nullptr, "1", false)),
              "Parent element does not exist");
    EXPECT_EQ(take(dll.appendXMLChild("<r/>", "c", "r", nullptr, false)),
              "<r>\n    <c></c>\n</r>\n");
}

// VBA's True is the byte 0xFF, C callers pass 1; the rest of the slot is whatever the caller's
// stack held. Only the low byte may decide.
TEST(Builder, UnescapeFlagIsTheLowByteOfItsSlotWhateverTheRestHolds) {
    PelzorDll dll;
    const std::string escaped = take(dll.appendXMLChild("<r/>", "c", "r", "<i>x</i>", false));
    const std::string unescaped = take(dll.appendXMLChild("<r/>", "c", "r", "<i>x</i>", true));
    ASSERT_NE(escaped, unescaped);
    const std::uintptr_t garbage = static_cast<std::uintptr_t>(0xA5C3E1F75A3C1E00ull);
    const struct {
        std::uintptr_t lowByte;
        const std::string& expected;
    } cases[] = {{0xFF, unescaped}, {0x01, unescaped}, {0x00, escaped}};
    for (const auto& c : cases) {
        for (std::uintptr_t rest : {std::uintptr_t{0}, garbage}) {
            EXPECT_EQ(take(dll.appendXMLChildSlot("<r/>", "c", "r", "<i>x</i>", rest | c.lowByte)),
                      c.expected)
                << std::hex << "slot 0x" << (rest | c.lowByte);
        }
    }
}
