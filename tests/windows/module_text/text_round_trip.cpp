// Round-trips texts in many languages through the real pelzor.dll the way the macro module
// does (module_text_path.h), in the ANSI code page Wine was started with, and prints one
// line for it. The code page must be the one named on the command line, so that a run in
// the wrong locale fails rather than proving nothing. Also reads back the number texts the
// module writes.
//
// usage: module_text_round_trip.exe CODE-PAGE
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "language_texts.h"
#include "module_text_path.h"
#include "pelzor_dll.h"

namespace {

UINT gExpectedCodePage = 0;

// Where two texts part, in UTF-16 code units, for a failure message that stays short.
std::string difference(const std::wstring& got, const std::wstring& expected) {
    std::size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at]) {
        ++at;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%zu code units, expected %zu; first difference at %zu",
                  got.size(), expected.size(), at);
    std::string out = line;
    for (const std::wstring* text : {&got, &expected}) {
        out += text == &got ? "\n  got     " : "\n  expected";
        for (std::size_t i = at; i < text->size() && i < at + 8; ++i) {
            std::snprintf(line, sizeof line, " %04X", static_cast<unsigned>((*text)[i]));
            out += line;
        }
    }
    return out;
}

// The round trips of one text: read back from a document, then appended with
// appendXMLChild under an ASCII parent and under a parent of the text's own name.
class RoundTrips {
public:
    explicit RoundTrips(PelzorDll& dll) : dll_(dll) {}
    int tried() const { return tried_; }
    int intact() const { return intact_; }

    bool run(const LanguageText& entry) {
        const std::wstring& name = entry.elementName;
        const std::wstring& text = entry.text;
        const std::wstring element = L"<" + name + L">" + text + L"</" + name + L">";
        bool whole = true;

        const std::wstring document = L"<a>" + element + L"<m>after</m></a>";
        whole &= same(entry, "GetStringValue", getStringValue(dll_, document, name), text);
        whole &=
            same(entry, "the element after it", getStringValue(dll_, document, L"m"), L"after");

        const std::wstring appended =
            appendXMLChild(dll_, L"<a><m>after</m></a>", name, L"a", text);
        whole &= same(entry, "AppendXMLChild's document", appended,
                      L"<a>\n    <m>after</m>\n    " + element + L"\n</a>\n");
        whole &= same(entry, "GetStringValue of the appended child",
                      getStringValue(dll_, appended, name), text);

        const std::wstring nested = appendXMLChild(dll_, appended, L"inner", name, text);
        whole &= same(entry, "AppendXMLChild under the text's own name",
                      getStringValue(dll_, nested, L"inner"), text);
        return whole;
    }

private:
    bool same(const LanguageText& entry, const char* step, const std::wstring& got,
              const std::wstring& expected) {
        ++tried_;
        if (got == expected) {
            ++intact_;
            return true;
        }
        ADD_FAILURE() << entry.label << ", " << step << ": " << difference(got, expected);
        return false;
    }

    PelzorDll& dll_;
    int tried_ = 0;
    int intact_ = 0;
};

TEST(ModuleTextPath, EveryTextSurvivesInThisAnsiCodePage) {
    ASSERT_EQ(GetACP(), gExpectedCodePage)
        << "Wine runs in another ANSI code page: is the locale of LANG generated?";
    PelzorDll dll;
    RoundTrips roundTrips(dll);
    const std::vector<LanguageText> texts = languageTexts();
    int whole = 0;
    for (const LanguageText& entry : texts) {
        whole += roundTrips.run(entry) ? 1 : 0;
    }
    const int lost = static_cast<int>(texts.size()) - whole;
    std::printf(
        "code page %u (%d-bit): %d of %zu texts intact, %d lost; %d of %d round trips intact\n",
        GetACP(), static_cast<int>(sizeof(void*) * 8), whole, texts.size(), lost,
        roundTrips.intact(), roundTrips.tried());
    EXPECT_EQ(lost, 0);
}

// The texts the module's ValueText writes for numbers (Str$'s forms, with a 0 before a
// leading "."), built into a document as BuildDocument does and read back with
// getDoubleValue: each gives the number it spells, the largest one a finite number.
TEST(ModuleNumberTexts, ReadBackAsTheNumbersTheySpell) {
    PelzorDll dll;
    for (const char* text :
         {"0.1", "0.333333333333333", "1E-300", "123456789012345", "0", "-0.5", "1E+15", "1.5E-07",
          "1.79769313486231E+308", "-1.79769313486231E+308", "4.94065645841247E-324"}) {
        const std::wstring wide(text, text + std::strlen(text));
        const std::wstring document = appendXMLChild(dll, L"<r/>", L"v", L"r", wide);
        const std::vector<char> xml = utf8Bytes(document);
        const double value = dll.getDoubleValue(xml.data(), "v");
        EXPECT_EQ(value, std::strtod(text, nullptr)) << text;
        EXPECT_TRUE(std::isfinite(value)) << text;
    }
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2 || std::atoi(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: module_text_round_trip.exe CODE-PAGE\n");
        return 2;
    }
    gExpectedCodePage = static_cast<UINT>(std::atoi(argv[1]));
    return RUN_ALL_TESTS();
}
