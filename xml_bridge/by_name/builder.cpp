#include "by_name/builder.h"

#include <tinyxml.h>

#include <cstring>
#include <memory>

#include "by_name/lookup.h"
#include "document/document.h"
#include "memory/call_memory.h"
#include "text/result_string.h"
#include "text/working_text.h"

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

// A new element named `name` whose one child is a plain (not CDATA) text `text`; a null
// text counts as an empty one. The caller links it into a tree, which then owns it.
TiXmlElement* newTextElement(const char* name, const char* text) {
    auto element = std::make_unique<TiXmlElement>(name);
    element->LinkEndChild(new TiXmlText(text != nullptr ? text : ""));
    return element.release();
}

// The printed document after its clean-up passes, as a result string; null when memory
// runs out on the way. The printer escapes every '&' of a text as "&amp;"; turning that
// back into '&' hands texts back with the bytes the caller gave, so entity references that
// the caller wrote ("AT&amp;T") stay as written. Unescaping the tags turns markup passed
// in as text back into markup, everywhere in the document. The passes read the printed
// text in place: a document where no pass finds its pattern goes straight into the result
// string, and otherwise the first pass that matches makes the first working buffer.
wchar_t* cleanedResult(const char* printed, bool unescapeTags) {
    WorkingText text(printed);
    text.replace("&amp;", "&");
    if (unescapeTags) {
        text.replace("&gt;", ">");
        text.replace("&lt;", "<");
    }
    return text.text() != nullptr ? makeResultString(text.text()) : nullptr;
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
    parent->LinkEndChild(newTextElement(childName, childText));
    TiXmlPrinter printer;
    document.tree().Accept(&printer);
    return cleanedResult(printer.CStr(), unescapeTags);
}

}  // namespace pelzor
