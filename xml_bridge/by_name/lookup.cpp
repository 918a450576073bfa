#include "by_name/lookup.h"

namespace pelzor {

namespace {

TiXmlElement* parentElement(TiXmlElement* node) {
    TiXmlNode* parent = node->Parent();
    return parent != nullptr ? parent->ToElement() : nullptr;
}

}  // namespace

TiXmlElement* findNamedNode(TiXmlDocument& document, const std::string& name) {
    TiXmlElement* const root = document.FirstChildElement();
    TiXmlElement* node = root;
    while (node != nullptr) {
        if (hasName(*node, name)) {
            return node;
        }
        if (TiXmlElement* child = node->FirstChildElement()) {
            node = child;
            continue;
        }
        // No children: move to the next sibling, climbing until one has one. The climb
        // stops at the document, and also at the root, whose later siblings are searched
        // only when the root had no child element at all.
        while (node->NextSiblingElement() == nullptr) {
            node = parentElement(node);
            if (node == nullptr || node == root) {
                return nullptr;
            }
        }
        node = node->NextSiblingElement();
    }
    return nullptr;
}

TiXmlElement* findNamedNode(CallDocument& document, const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    return findNamedNode(document.tree(), std::string(name));
}

}  // namespace pelzor
