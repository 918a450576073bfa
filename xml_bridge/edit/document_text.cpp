#include "edit/document_text.h"

#include "values/value_text.h"

namespace pelzor {

bool appendDocumentText(const ValueRef& value, const std::string& what, std::string& text,
                        std::string& problem) {
    const std::size_t start = text.size();
    const NoText why = appendValueText(value, text);
    if (why != NoText::None) {
        problem = what + " is " + describeNoText(why) + ", which cannot become document text";
        return false;
    }
    if (text.find('\0', start) != std::string::npos) {
        text.resize(start);
        problem = what + " holds a NUL character, which no document can hold";
        return false;
    }
    return true;
}

}  // namespace pelzor
