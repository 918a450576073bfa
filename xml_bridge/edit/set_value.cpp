#include "edit/set_value.h"

#include <string>
#include <vector>

#include "by_name/readers.h"
#include "document/document.h"
#include "document/printed_result.h"
#include "edit/document_text.h"
#include "edit/editable.h"
#include "edit/element_text.h"
#include "paths/node_selection.h"
#include "paths/path.h"
#include "text/result_string.h"

namespace pelzor {

namespace {

// One place the value goes: the element's text, or one of its attributes.
struct Target {
    TiXmlElement* element;
    const std::string* attribute;  // null for the element's text
};

// The elements whose attribute a location path ending in "@name" names, present or not: what
// the part before the attribute step selects, or for "//@name" that part's elements and every
// element below them.
LocationPath ownersOf(const LocationPath& path) {
    LocationPath owners = path;
    const bool anyDepth = owners.steps.back().anyDepth;
    owners.steps.pop_back();
    if (anyDepth) {
        PathStep self;
        self.self = true;
        self.anyDepth = true;
        owners.steps.push_back(self);
    }
    return owners;
}

// Every target of the path, all found before anything changes, so that no operand of a union
// selects in a document that another one changed already. A node may come more than once:
// writing the same value again changes nothing.
std::vector<Target> targetsOf(TiXmlDocument& tree, const Path& path) {
    std::vector<Target> targets;
    for (const LocationPath& operand : path.operands) {
        const bool attribute = !operand.steps.empty() && operand.steps.back().attribute;
        const Path selecting{{attribute ? ownersOf(operand) : operand}};
        for (const SelectedNode& node : selectNodes(tree, selecting)) {
            if (node.attribute == nullptr) {
                targets.push_back(
                    {editable(node.element), attribute ? &operand.steps.back().name : nullptr});
            }
        }
    }
    return targets;
}

}  // namespace

wchar_t* setValue(const char* xmlText, const char* pathText, const VARIANT* value) {
    const PathParse parsed = parsePath(pathText);
    if (!parsed.understood()) {
        return makeResultString(kElementMissing);
    }
    std::string text;
    std::string problem;
    if (!appendDocumentText(valueOf(value), "The value", text, problem)) {
        return makeResultString(problem.c_str());
    }
    CallDocument document(xmlText);
    const std::vector<Target> targets = targetsOf(document.tree(), parsed.path);
    if (targets.empty()) {
        return makeResultString(kElementMissing);
    }
    for (const Target& target : targets) {
        if (target.attribute != nullptr) {
            target.element->SetAttribute(target.attribute->c_str(), text.c_str());
        } else {
            setElementText(*target.element, text);
        }
    }
    return printedResult(document.tree());
}

}  // namespace pelzor
