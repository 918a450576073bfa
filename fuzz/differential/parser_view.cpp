// One side of the differential fuzz target: what this build of the parser, and the library
// built on it, make of a text. Compiled once as is (namespace patched_parser) and once with
// unpatched_names.h forced in, against the unmodified parser (namespace unpatched_parser).
#include <tinyxml.h>

#include <cstdio>
#include <string>

#include "internal_subset.h"
#include "parser_view.h"
#include "text/byte_string.h"
#include "xml.h"

#ifndef PELZOR_PARSER_SIDE
#define PELZOR_PARSER_SIDE patched_parser
#endif

// The class the export class befriends (renamed on the unmodified side): calls each export
// and turns its answer into text.
struct XMLExportAccess {
    static ExportAnswers answers(const char* text, const char* name);
};

namespace {

// Every byte of a value, with its length, so that embedded NULs and trailing bytes count.
void appendBytes(std::string& out, const TiXmlString& value) {
    out += '[';
    out += std::to_string(value.length());
    out += ']';
    out.append(value.c_str(), value.length());
}

void appendBytes(std::string& out, const char* value) {
    out += value != nullptr ? value : "<null>";
}

const char* typeName(const TiXmlNode& node) {
    switch (node.Type()) {
        case TiXmlNode::TINYXML_DOCUMENT:
            return "document";
        case TiXmlNode::TINYXML_ELEMENT:
            return "element";
        case TiXmlNode::TINYXML_COMMENT:
            return "comment";
        case TiXmlNode::TINYXML_UNKNOWN:
            return "unknown";
        case TiXmlNode::TINYXML_TEXT:
            return "text";
        case TiXmlNode::TINYXML_DECLARATION:
            return "declaration";
        default:
            return "other";
    }
}

// Calls `visit(node, depth)` for every node of the tree, depth first, the document's
// children at depth 1. A loop, not recursion, for deeply nested input.
template <typename Visit>
void forEachNode(TiXmlDocument& document, Visit visit) {
    TiXmlNode* node = document.FirstChild();
    int depth = 1;
    while (node != nullptr) {
        visit(*node, depth);
        if (node->FirstChild() != nullptr) {
            node = node->FirstChild();
            ++depth;
            continue;
        }
        while (node != nullptr && node->NextSibling() == nullptr) {
            node = node->Parent();
            --depth;
            if (node == &document) {
                node = nullptr;
            }
        }
        if (node != nullptr) {
            node = node->NextSibling();
        }
    }
}

// Each node's depth, type and value, an element's attributes, a text's CDATA flag and a
// declaration's three fields.
void dumpTree(TiXmlDocument& document, ParseView& view) {
    std::string& out = view.description;
    forEachNode(document, [&](const TiXmlNode& node, int depth) {
        out += std::to_string(depth);
        out += ' ';
        out += typeName(node);
        out += ' ';
        appendBytes(out, node.ValueTStr());
        if (const TiXmlElement* element = node.ToElement()) {
            for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute != nullptr;
                 attribute = attribute->Next()) {
                out += " @";
                appendBytes(out, attribute->NameTStr());
                out += '=';
                appendBytes(out, attribute->Value());
            }
            if (view.elementNames.size() < 3) {
                const std::string name = element->Value();
                bool known = false;
                for (const std::string& seen : view.elementNames) {
                    known = known || seen == name;
                }
                if (!known) {
                    view.elementNames.push_back(name);
                }
            }
        } else if (const TiXmlText* text = node.ToText()) {
            out += text->CDATA() ? " cdata" : "";
        } else if (const TiXmlDeclaration* declaration = node.ToDeclaration()) {
            out += " version=";
            appendBytes(out, declaration->Version());
            out += " encoding=";
            appendBytes(out, declaration->Encoding());
            out += " standalone=";
            appendBytes(out, declaration->Standalone());
        }
        out += '\n';
    });
}

// Replaces the internal subset of every document type declaration in the tree (an unknown
// node whose text starts with "!DOCTYPE") by `placeholder`, keeping the subsets in order.
void replaceSubsets(TiXmlDocument& document, char placeholder, std::vector<std::string>& subsets) {
    static const char kKeyword[] = "!DOCTYPE";
    forEachNode(document, [&](TiXmlNode& node, int) {
        if (node.Type() != TiXmlNode::TINYXML_UNKNOWN) {
            return;
        }
        const std::string value(node.Value(), node.ValueTStr().length());
        SubsetSpan span;
        if (value.compare(0, sizeof kKeyword - 1, kKeyword) != 0 ||
            !findInternalSubset(value, sizeof kKeyword - 1, span)) {
            return;
        }
        subsets.push_back(value.substr(span.begin, span.end - span.begin));
        const std::string replaced =
            value.substr(0, span.begin) + placeholder + value.substr(span.end);
        node.SetValue(replaced.c_str());
    });
}

TiXmlEncoding parserEncoding(ViewEncoding encoding) {
    return encoding == ViewEncoding::utf8 ? TIXML_ENCODING_UTF8 : TIXML_ENCODING_UNKNOWN;
}

void describeParse(const char* text, ViewEncoding encoding, char subsetPlaceholder,
                   ParseView& view) {
    TiXmlDocument document;
    document.Parse(text, nullptr, parserEncoding(encoding));
    if (subsetPlaceholder != 0) {
        replaceSubsets(document, subsetPlaceholder, view.subsets);
    }
    std::string& out = view.description;
    out += "error ";
    out += std::to_string(document.Error() ? document.ErrorId() : 0);
    out += '\n';
    dumpTree(document, view);
    TiXmlPrinter printer;
    document.Accept(&printer);
    out += "printed ";
    out += std::to_string(printer.Size());
    out += '\n';
    out.append(printer.CStr(), printer.Size());
    out += '\n';
}

std::string number(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%a", value);
    return buffer;
}

std::string resultText(wchar_t* result) {
    if (result == nullptr) {
        return "<null>";
    }
    const auto* bytes = reinterpret_cast<const char*>(result);
    const std::string copy(bytes, pelzor::byteStringLength(result));
    pelzor::freeByteString(result);
    return copy;
}

}  // namespace

ExportAnswers XMLExportAccess::answers(const char* text, const char* name) {
    char* xml = const_cast<char*>(text);
    char* element = const_cast<char*>(name);
    ExportAnswers answers;
    std::string& out = answers.values;
    out += "string " + resultText(XML::getStringValue(xml, element)) + '\n';
    out += "integer " + std::to_string(XML::getIntegerValue(xml, element)) + '\n';
    out += "double " + number(XML::getDoubleValue(xml, element)) + '\n';
    out += "rows " + std::to_string(XML::getDoubleArrayRows(xml, element)) + '\n';
    out += "columns " + std::to_string(XML::getDoubleArrayColumns(xml, element)) + '\n';
    double values[6];
    const bool vector = XML::getDouble1DArray(xml, element, values, 6);
    out += "vector " + std::to_string(vector);
    for (double value : values) {
        out += ' ' + number(value);
    }
    const bool matrix = XML::getDouble2DArray(xml, element, values, 6);
    out += "\nmatrix " + std::to_string(matrix);
    for (double value : values) {
        out += ' ' + number(value);
    }
    out += '\n';
    char child[] = "added";
    char childText[] = "a &amp; b <i>c</i> \t\r\n d";
    answers.appended = resultText(XML::appendXMLChild(xml, child, element, childText, false));
    answers.appendedUnescaped =
        resultText(XML::appendXMLChild(xml, child, element, childText, true));
    return answers;
}

namespace PELZOR_PARSER_SIDE {

ParseView viewParse(const char* text, ViewEncoding encoding, char subsetPlaceholder) {
    ParseView view;
    view.description += encoding == ViewEncoding::utf8 ? "utf-8\n" : "unknown encoding\n";
    describeParse(text, encoding, subsetPlaceholder, view);
    return view;
}

std::vector<std::string> unknownValues(const char* text, ViewEncoding encoding) {
    TiXmlDocument document;
    document.Parse(text, nullptr, parserEncoding(encoding));
    std::vector<std::string> values;
    forEachNode(document, [&](const TiXmlNode& node, int) {
        if (node.Type() == TiXmlNode::TINYXML_UNKNOWN) {
            values.emplace_back(node.Value(), node.ValueTStr().length());
        }
    });
    return values;
}

// The library's builder prints an element it made itself, text escaped by the printer.
std::string viewMadeElement(const char* text) {
    TiXmlElement made("made");
    made.SetAttribute("a", text);
    made.LinkEndChild(new TiXmlText(text));
    TiXmlPrinter printer;
    made.Accept(&printer);
    return std::string(printer.CStr(), printer.Size());
}

ExportAnswers viewExports(const char* text, const char* name) {
    return XMLExportAccess::answers(text, name);
}

}  // namespace PELZOR_PARSER_SIDE
