#include "language_texts.h"

#include <windows.h>

namespace {

// The size of the long text, counted in UTF-8 bytes as the library receives it.
constexpr int kLongTextBytes = 4 * 1024 * 1024;

int utf8Length(const std::wstring& text) {
    return WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                               nullptr, nullptr);
}

}  // namespace

std::vector<LanguageText> languageTexts() {
    std::vector<LanguageText> texts = {
        {"French, ending in é", L"café", L"naïve café"},
        {"Dutch, ending in ë", L"naam", L"Zoë en Noë"},
        {"Danish", L"by", L"Ærøskøbing"},
        {"Euro sign", L"price", L"€100"},
        {"Greek", L"όνομα", L"αβγ Καλημέρα κόσμε"},
        {"Cyrillic", L"имя", L"Привет, мир"},
        {"Japanese", L"名前", L"日本語のテキスト、カタカナ"},
        {"Chinese, simplified", L"名字", L"中文简体字"},
        {"Chinese, traditional", L"名稱", L"繁體中文字"},
        {"Korean", L"이름", L"한국어 텍스트"},
        {"Emoji", L"x😀", L"😀 🌍 👍🏽"},
        {"Beyond the BMP", L"𠀀", L"𠀀𠀁 𝔸𝔹"},
        {"Combining marks", L"e\u0301te\u0301", L"e\u0301 a\u0300 n\u0303 o\u0308 a\u0323\u0302"},
        {"ASCII", L"plain", L"plain text"},
    };
    std::wstring all;
    for (const LanguageText& entry : texts) {
        all += (all.empty() ? L"" : L" ") + entry.text;
    }
    const int copies = kLongTextBytes / utf8Length(all) + 1;
    std::wstring longText = all;
    for (int i = 1; i < copies; ++i) {
        longText += L" " + all;
    }
    texts.push_back({"Several MB of all of these", L"données", longText});
    return texts;
}
