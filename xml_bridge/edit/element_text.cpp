#include "edit/element_text.h"

namespace pelzor {

void setElementText(TiXmlElement& element, const std::string& text) {
    TiXmlNode* first = element.FirstChild();
    if (first != nullptr && first->ToText() != nullptr) {
        if (text.empty()) {
            element.RemoveChild(first);
        } else {
            first->SetValue(text.c_str());
            first->ToText()->SetCDATA(false);
        }
        return;
    }
    if (text.empty()) {
        return;
    }
    if (first == nullptr) {
        element.LinkEndChild(new TiXmlText(text.c_str()));
    } else {
        element.InsertBeforeChild(first, TiXmlText(text.c_str()));
    }
}

}  // namespace pelzor
