#include "by_name/builder.h"

#include <tinyxml.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "by_name/lookup.h"
#include "document/document.h"
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

// A printer that notes where the text of one node begins and ends in what it prints.
class MarkingPrinter : public TiXmlPrinter {
public:
    explicit MarkingPrinter(const TiXmlText* marked) : marked_(marked) {}

    using TiXmlPrinter::Visit;
    bool Visit(const TiXmlText& text) override {
        if (&text != marked_) {
            return TiXmlPrinter::Visit(text);
        }
        begin_ = Size();
        const bool goOn = TiXmlPrinter::Visit(text);
        end_ = Size();
        return goOn;
    }

    std::size_t begin() const { return begin_; }
    std::size_t end() const { return end_; }

private:
    const TiXmlText* marked_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

// The printed document with the marked text written anew by writeChildText, as a result
// string; null when memory runs out. A text the printer wrote as writeChildText would goes
// straight into the result string, without a working copy.
wchar_t* resultWithChildText(MarkingPrinter& printer, const char* childText, bool asMarkup) {
    const char* printed = printer.CStr();
    if (!childTextDiffersFromPrinted(childText, asMarkup)) {
        return makeResultBytes(printed, printer.Size());
    }
    const std::uint64_t childLength = writeChildText(childText, asMarkup, nullptr);
    const std::size_t behind = printer.Size() - printer.end();
    const std::uint64_t length = printer.begin() + childLength + behind;
    if (length >= std::numeric_limits<std::uint32_t>::max()) {
        return nullptr;  // more than a result string can hold
    }
    char* text = static_cast<char*>(heapAllocate(static_cast<std::size_t>(length)));
    if (text == nullptr) {
        return nullptr;
    }
    std::memcpy(text, printed, printer.begin());
    writeChildText(childText, asMarkup, text + printer.begin());
    std::memcpy(text + printer.begin() + childLength, printed + printer.end(), behind);
    wchar_t* result = makeResultBytes(text, static_cast<std::size_t>(length));
    heapFree(text);
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
    MarkingPrinter printer(childTextNode);
    document.tree().Accept(&printer);
    return resultWithChildText(printer, text, unescapeTags);
}

}  // namespace pelzor
