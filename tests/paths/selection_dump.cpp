// Prints what the library's path engine selects, for the differential test against another
// XPath engine. Reads pairs of a document and a path from standard input, each text ended
// by a NUL byte, and writes one line per pair: the selected nodes in order, separated by
// spaces, each as the positions of its element and ancestors among their parents' element
// children ("/1/3/2"), an attribute with "@name" added, then a tab and the values, each
// escaped and ended by '|'. A path that is not understood prints "!" and the offset.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "document/document.h"
#include "paths/node_selection.h"
#include "paths/path.h"

namespace {

std::string positionOf(const TiXmlElement* element) {
    std::string where;
    while (element != nullptr) {
        int position = 1;
        for (const TiXmlNode* n = element->PreviousSibling(); n != nullptr;
             n = n->PreviousSibling()) {
            position += n->ToElement() != nullptr ? 1 : 0;
        }
        where = "/" + std::to_string(position) + where;
        const TiXmlNode* parent = element->Parent();
        element = parent != nullptr ? parent->ToElement() : nullptr;
    }
    return where;
}

std::string escaped(const char* value) {
    std::string out;
    for (const char* p = value; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == '\\' || c == '|' || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

int main() {
    const std::string input{std::istreambuf_iterator<char>(std::cin),
                            std::istreambuf_iterator<char>()};
    std::size_t at = 0;
    for (;;) {
        const std::size_t documentEnd = input.find('\0', at);
        if (documentEnd == std::string::npos) {
            break;
        }
        const std::size_t pathEnd = input.find('\0', documentEnd + 1);
        if (pathEnd == std::string::npos) {
            break;
        }
        const std::string document = input.substr(at, documentEnd - at);
        const std::string pathText = input.substr(documentEnd + 1, pathEnd - documentEnd - 1);
        at = pathEnd + 1;

        const pelzor::PathParse parsed = pelzor::parsePath(pathText.c_str());
        if (!parsed.understood()) {
            std::cout << "!" << parsed.errorOffset << "\n";
            continue;
        }
        pelzor::CallDocument tree(document.c_str());
        std::string nodes;
        std::string values;
        for (const pelzor::SelectedNode& node : pelzor::selectNodes(tree.tree(), parsed.path)) {
            nodes += nodes.empty() ? "" : " ";
            nodes += positionOf(node.element);
            if (node.attribute != nullptr) {
                nodes += std::string("@") + node.attribute->Name();
            }
            values += escaped(pelzor::selectedValue(node)) + "|";
        }
        std::cout << nodes << "\t" << values << "\n";
    }
    return 0;
}
