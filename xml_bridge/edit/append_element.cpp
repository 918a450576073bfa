#include "edit/append_element.h"

#include <memory>
#include <string>
#include <vector>

#include "by_name/builder.h"
#include "document/document.h"
#include "document/names.h"
#include "document/printed_result.h"
#include "edit/attribute_list.h"
#include "edit/editable.h"
#include "paths/node_selection.h"
#include "paths/path.h"
#include "text/result_string.h"

namespace pelzor {

namespace {

// The elements the path selects; the attributes it may select are no parents.
std::vector<TiXmlElement*> parentsOf(TiXmlDocument& tree, const Path& path) {
    std::vector<TiXmlElement*> parents;
    for (const SelectedNode& node : selectNodes(tree, path)) {
        if (node.attribute == nullptr) {
            parents.push_back(editable(node.element));
        }
    }
    return parents;
}

}  // namespace

wchar_t* appendElement(const char* xmlText, const char* parentPath, const char* name,
                       const char* text, const VARIANT* attributes) {
    const PathParse parsed = parsePath(parentPath);
    if (!parsed.understood()) {
        return makeResultString(kParentMissing);
    }
    if (!isParserName(name)) {
        const std::string given = name != nullptr ? name : "";
        return makeResultString(("The element name \"" + given + "\" is not an XML name").c_str());
    }
    // The new element, made once and copied for every parent but the last.
    auto element = std::make_unique<TiXmlElement>(name);
    std::string problem;
    if (!addAttributes(attributes, *element, problem)) {
        return makeResultString(problem.c_str());
    }
    if (text != nullptr && *text != '\0') {
        element->LinkEndChild(new TiXmlText(text));
    }
    CallDocument document(xmlText);
    const std::vector<TiXmlElement*> parents = parentsOf(document.tree(), parsed.path);
    if (parents.empty()) {
        return makeResultString(kParentMissing);
    }
    // The parents were all found before the first element went in, so a new element is never
    // a parent, also where its name is what the path selects.
    for (std::size_t i = 0; i + 1 < parents.size(); ++i) {
        parents[i]->LinkEndChild(element->Clone());
    }
    parents.back()->LinkEndChild(element.release());
    return printedResult(document.tree());
}

}  // namespace pelzor
