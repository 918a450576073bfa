#include "edit/remove_nodes.h"

#include <vector>

#include "by_name/readers.h"
#include "document/document.h"
#include "document/printed_result.h"
#include "edit/editable.h"
#include "paths/node_selection.h"
#include "paths/path.h"
#include "text/result_string.h"

namespace pelzor {

namespace {

const char kRootKept[] = "The path selects the root element, which is never removed";

bool isTopLevelElement(const SelectedNode& node) {
    return node.attribute == nullptr && node.element->Parent() != nullptr &&
           node.element->Parent()->ToDocument() != nullptr;
}

}  // namespace

wchar_t* removeNodes(const char* xmlText, const char* pathText) {
    const PathParse parsed = parsePath(pathText);
    if (!parsed.understood()) {
        return makeResultString(kElementMissing);
    }
    CallDocument document(xmlText);
    const std::vector<SelectedNode> selected = selectNodes(document.tree(), parsed.path);
    for (const SelectedNode& node : selected) {
        if (isTopLevelElement(node)) {
            return makeResultString(kRootKept);
        }
    }
    // Last first: a node inside a selected element comes after it in document order, and so
    // goes before that element does; an element's attributes go before the element. No node is
    // touched once it went with an element around it.
    for (auto node = selected.rbegin(); node != selected.rend(); ++node) {
        TiXmlElement* element = editable(node->element);
        if (node->attribute != nullptr) {
            element->RemoveAttribute(node->attribute->Name());
        } else {
            element->Parent()->RemoveChild(element);
        }
    }
    return printedResult(document.tree());
}

}  // namespace pelzor
