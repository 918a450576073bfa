// The library's printer where the differential fuzz target builds the library on the
// unmodified parser: that parser's own printer (TiXmlPrinter), with the text written in place
// put where the printer wrote that text. The answers of appendXMLChild on this side are the
// reference that the library's printer, on the other side, must give byte for byte.
//
// The library's printer differs in one rule: every '&' of a text or attribute value is written
// "&amp;", where the parser's printer writes a value's "&#x" up to the next ';' as it is. So
// where a value holds an '&', each '&' of every value is replaced by a byte that occurs nowhere
// in the print, the tree is printed, and that byte is written "&amp;". When no byte is free,
// kNoReference is printed instead, and the fuzz target skips the comparison.
#include <cstring>
#include <string>

#include "document/printer.h"
#include "reference_printer.h"

namespace {

// The unmodified parser gives an attribute's value only as a C string, which ends at a NUL that
// a reference like "&#0;" puts in it. The member is named here in an explicit instantiation,
// the one place where C++ lets code outside a class name its private members.
template <TiXmlString TiXmlAttribute::*member>
struct AttributeValueAccess {
    friend TiXmlString& heldValue(TiXmlAttribute& attribute) { return attribute.*member; }
};
TiXmlString& heldValue(TiXmlAttribute& attribute);
template struct AttributeValueAccess<&TiXmlAttribute::value>;

}  // namespace

namespace pelzor {

namespace {

// A printer that notes where it wrote the text of one node.
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

std::string printed(const TiXmlDocument& document, const TextInPlace& inPlace) {
    MarkingPrinter printer(inPlace.node);
    document.Accept(&printer);
    if (inPlace.node == nullptr) {
        return std::string(printer.CStr(), printer.Size());
    }
    std::string out(printer.CStr(), printer.begin());
    out.resize(out.size() + inPlace.write(inPlace.context, nullptr));
    inPlace.write(inPlace.context, &out[printer.begin()]);
    out.append(printer.CStr() + printer.end(), printer.Size() - printer.end());
    return out;
}

// Calls `visit` with every text (but CDATA and the one written in place) and every attribute
// value of the tree, each as the string the parser holds.
template <typename Visit>
void forEachValue(TiXmlNode& document, const TiXmlText* inPlace, Visit visit) {
    TiXmlNode* node = document.FirstChild();
    while (node != nullptr) {
        if (TiXmlElement* element = node->ToElement()) {
            for (TiXmlAttribute* attribute = element->FirstAttribute(); attribute != nullptr;
                 attribute = attribute->Next()) {
                visit(heldValue(*attribute));
            }
        } else if (TiXmlText* text = node->ToText(); text != nullptr && !text->CDATA()) {
            if (text != inPlace) {
                visit(const_cast<TiXmlString&>(text->ValueTStr()));
            }
        }
        if (node->FirstChild() != nullptr) {
            node = node->FirstChild();
            continue;
        }
        while (node != nullptr && node->NextSibling() == nullptr) {
            node = node->Parent() != &document ? node->Parent() : nullptr;
        }
        node = node != nullptr ? node->NextSibling() : nullptr;
    }
}

void replaceBytes(TiXmlString& value, char from, char to) {
    std::string bytes(value.c_str(), value.length());
    for (char& c : bytes) {
        c = c == from ? to : c;
    }
    value = TiXmlString(bytes.data(), bytes.size());
}

// The print with every '&' of a value written "&amp;", or kNoReference.
std::string reference(TiXmlDocument& document, const TextInPlace& inPlace) {
    bool ampersands = false;
    forEachValue(document, inPlace.node, [&](const TiXmlString& value) {
        ampersands = ampersands || std::memchr(value.c_str(), '&', value.length()) != nullptr;
    });
    std::string out = printed(document, inPlace);
    if (!ampersands) {
        return out;
    }
    // A byte the printer writes as it is (from 32 up, none of & < > " ') and that is nowhere
    // in the print, so nowhere in a value either.
    int free = 32;
    while (free < 256 && (std::strchr("&<>\"'", free) != nullptr ||
                          out.find(static_cast<char>(free)) != std::string::npos)) {
        ++free;
    }
    if (free == 256) {
        return kNoReference;
    }
    const char stand = static_cast<char>(free);
    forEachValue(document, inPlace.node,
                 [&](TiXmlString& value) { replaceBytes(value, '&', stand); });
    const std::string marked = printed(document, inPlace);
    forEachValue(document, inPlace.node,
                 [&](TiXmlString& value) { replaceBytes(value, stand, '&'); });
    out.clear();
    for (char c : marked) {
        out += c == stand ? std::string("&amp;") : std::string(1, c);
    }
    return out;
}

}  // namespace

std::uint64_t printDocument(const TiXmlDocument& document, const TextInPlace& inPlace, char* out) {
    // The values are changed for a moment and then restored.
    const std::string text = reference(const_cast<TiXmlDocument&>(document), inPlace);
    if (out != nullptr) {
        std::memcpy(out, text.data(), text.size());
    }
    return text.size();
}

}  // namespace pelzor
