#include "internal_subset.h"

#include <algorithm>

namespace {

// Past `terminator` from `from` on, or the text's size when it does not come.
std::size_t pastOrEnd(const std::string& text, std::size_t from, const char* terminator) {
    const std::size_t found = text.find(terminator, from);
    return found == std::string::npos ? text.size()
                                      : found + std::char_traits<char>::length(terminator);
}

// Past one item of a subset at `at`: a quoted string, a comment, a processing instruction
// or a single byte.
std::size_t pastSubsetItem(const std::string& text, std::size_t at) {
    const char c = text[at];
    if (c == '"')
        return pastOrEnd(text, at + 1, "\"");
    if (c == '\'')
        return pastOrEnd(text, at + 1, "'");
    if (text.compare(at, 4, "<!--") == 0)
        return pastOrEnd(text, at + 4, "-->");
    if (text.compare(at, 2, "<?") == 0)
        return pastOrEnd(text, at + 2, "?>");
    return at + 1;
}

std::string padded(const std::string& text) {
    return text + std::string(16, '\0');
}

// The unknown node that a '<' at `at` would start: its value runs to the first '>'.
std::string unknownValueAt(const std::string& text, std::size_t at) {
    const std::size_t close = text.find('>', at);
    return text.substr(at + 1, (close == std::string::npos ? text.size() : close) - at - 1);
}

// Whether the unmodified parser reads the "<!DOCTYPE" at `at` as markup: with its 'E'
// changed to the placeholder, which the text does not hold, an unknown node starts with it.
// Nothing before `at` reads differently for that change.
bool readAsMarkup(const std::string& text, std::size_t at, ViewEncoding encoding,
                  char placeholder) {
    std::string probe = text;
    probe[at + 8] = placeholder;
    const std::string start = std::string("!DOCTYP") + placeholder;
    for (const std::string& value :
         unpatched_parser::unknownValues(padded(probe).c_str(), encoding)) {
        if (value.compare(0, start.size(), start) == 0)
            return true;
    }
    return false;
}

// The first internal subset from `from` on of a declaration that the unmodified parser reads
// as markup. One parse rules out the declarations whose text no unknown node holds; only the
// others are probed one by one.
bool firstSubsetReadAsMarkup(const std::string& text, std::size_t from, ViewEncoding encoding,
                             char placeholder, SubsetSpan& span) {
    static const char kKeyword[] = "<!DOCTYPE";
    std::vector<std::string> unknowns;
    bool parsed = false;
    for (std::size_t at = text.find(kKeyword, from); at != std::string::npos;
         at = text.find(kKeyword, at + 1)) {
        if (!findInternalSubset(text, at + sizeof kKeyword - 1, span)) {
            continue;
        }
        if (!parsed) {
            unknowns = unpatched_parser::unknownValues(padded(text).c_str(), encoding);
            parsed = true;
        }
        if (std::find(unknowns.begin(), unknowns.end(), unknownValueAt(text, at)) !=
                unknowns.end() &&
            readAsMarkup(text, at, encoding, placeholder)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool findInternalSubset(const std::string& text, std::size_t afterKeyword, SubsetSpan& span) {
    std::size_t at = afterKeyword;
    char quote = 0;
    for (; at < text.size() && text[at] != '>'; ++at) {
        const char c = text[at];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            break;
        }
    }
    if (at == text.size() || text[at] != '[')
        return false;
    span.begin = at;
    for (at = at + 1; at < text.size() && text[at] != ']';)
        at = pastSubsetItem(text, at);
    span.end = at < text.size() ? at + 1 : text.size();
    return true;
}

char subsetPlaceholderFor(const std::string& text) {
    for (int byte = 0xF8; byte <= 0xFF; ++byte) {
        const char c = static_cast<char>(byte);
        if (text.find(c) == std::string::npos)
            return c;
    }
    return 0;
}

PlaceholderText withSubsetsReplaced(const std::string& text, ViewEncoding encoding,
                                    char placeholder) {
    PlaceholderText out{text, {}};
    SubsetSpan span;
    for (std::size_t from = 0; firstSubsetReadAsMarkup(out.text, from, encoding, placeholder, span);
         from = span.begin + 1) {
        out.subsets.push_back(out.text.substr(span.begin, span.end - span.begin));
        out.text.replace(span.begin, span.end - span.begin, 1, placeholder);
    }
    return out;
}
