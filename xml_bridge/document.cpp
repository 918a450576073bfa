#include "document.h"

#include <string>

#include "lookup.h"

namespace pelzor {

CallDocument::CallDocument(const char* xmlText) {
    document_.Parse(xmlText != nullptr ? xmlText : "", nullptr, TIXML_ENCODING_UTF8);
}

TiXmlElement* CallDocument::find(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    return findNamedNode(document_, std::string(name));
}

}  // namespace pelzor
