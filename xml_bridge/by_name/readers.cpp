#include "by_name/readers.h"

#include "by_name/element_value.h"
#include "by_name/lookup.h"
#include "document/document.h"
#include "text/result_string.h"

namespace pelzor {

const char kElementMissing[] = "Element does not exist";

wchar_t* readStringValue(const char* xmlText, const char* elementName) {
    CallDocument document(xmlText);
    const TiXmlElement* element = findNamedNode(document, elementName);
    if (element == nullptr) {
        return makeResultString(kElementMissing);
    }
    const char* text = elementText(*element);
    return makeResultString(text != nullptr ? text : "");
}

int readIntegerValue(const char* xmlText, const char* elementName) {
    CallDocument document(xmlText);
    const TiXmlElement* element = findNamedNode(document, elementName);
    return element != nullptr ? elementInteger(*element) : 0;
}

double readDoubleValue(const char* xmlText, const char* elementName) {
    CallDocument document(xmlText);
    const TiXmlElement* element = findNamedNode(document, elementName);
    return element != nullptr ? elementDouble(*element) : 0.0;
}

}  // namespace pelzor
