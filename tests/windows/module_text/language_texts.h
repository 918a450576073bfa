#pragma once
// Texts in many languages and scripts, each under an element name of its own, as UTF-16
// Strings a macro would hold. None has blanks at its ends or runs of them, which the parser
// would condense.

#include <string>
#include <vector>

struct LanguageText {
    std::string label;
    std::wstring elementName;
    std::wstring text;
};

// The table, ending with one text of several megabytes made of all the others.
std::vector<LanguageText> languageTexts();
