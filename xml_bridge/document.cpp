#include "document.h"

#include <string>

#include "lookup.h"

namespace pelzor {

CallDocument::CallDocument(const char* xmlText) : text_(xmlText) {
    document_.Parse(text_.c_str(), nullptr, TIXML_ENCODING_UTF8);
}

TiXmlElement* CallDocument::find(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    return findNamedNode(document_, std::string(name));
}

}  // namespace pelzor
