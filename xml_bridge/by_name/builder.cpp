#include "by_name/builder.h"

#include <tinyxml.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "by_name/lookup.h"
#include "document/document.h"
#include "document/printer.h"
#include "memory/call_memory.h"
#include "text/child_text.h"
#include "text/result_string.h"

namespace pelzor {

const char kParentMissing[] = "Parent element does not exist";

wchar_t* buildBlankDocument(const char* rootName) {
    if (rootName == nullptr) {
        return nullptr;
    }
    static const char kDeclaration[] = "<?xml version='1.0' encoding='utf-8'?>";
    const std::size_t nameLength = std::strlen(rootName);
    const std::size_t length = (sizeof kDeclaration - 1) + 2 * nameLength + 5;
    char* text = static_cast<char*>(heapAllocate(length + 1));
    if (text == nullptr) {
        return nullptr;
    }
    char* out = text;
    auto put = [&out](const char* bytes, std::size_t count) {
        std::memcpy(out, bytes, count);
        out += count;
    };
    put(kDeclaration, sizeof kDeclaration - 1);
    put("<", 1);
    put(rootName, nameLength);
    put("></", 3);
    put(rootName, nameLength);
    put(">", 2);  // with the terminating NUL
    wchar_t* result = makeResultString(text);
    heapFree(text);
    return result;
}

namespace {

// The new element's text as writeChildText writes it, in the print of the document.
struct ChildText {
    const char* text;
    bool asMarkup;

    static std::uint64_t write(const void* context, char* out) {
        const auto* child = static_cast<const ChildText*>(context);
        return writeChildText(child->text, child->asMarkup, out);
    }
};

// The printed document, straight into a result string of its exact length; null when memory
// runs out.
wchar_t* printedDocument(const TiXmlDocument& document, const TextInPlace& childText) {
    char* bytes = nullptr;
    wchar_t* result = makeResultToWrite(printDocument(document, childText, nullptr), bytes);
    if (result != nullptr) {
        printDocument(document, childText, bytes);
    }
    return result;
}

}  // namespace

wchar_t* appendChildElement(const char* xmlText, const char* childName, const char* parentName,
                            const char* childText, bool unescapeTags) {
    if (childName == nullptr) {
        return makeResultString(kParentMissing);
    }
    CallDocument document(xmlText);
    TiXmlElement* parent = findNamedNode(document, parentName);
    if (parent == nullptr) {
        return makeResultString(kParentMissing);
    }
    const char* text = childText != nullptr ? childText : "";
    // The new element and its one plain (not CDATA) text; the tree owns both once linked.
    auto child = std::make_unique<TiXmlElement>(childName);
    TiXmlText* childTextNode = new TiXmlText(text);
    child->LinkEndChild(childTextNode);
    parent->LinkEndChild(child.release());
    const ChildText written{text, unescapeTags};
    return printedDocument(document.tree(), TextInPlace{childTextNode, ChildText::write, &written});
}

}  // namespace pelzor
