#include "document/printer.h"

#include <cstring>

namespace pelzor {

namespace {

// The bytes the escape of each byte adds to the byte itself: "&amp;" (for every '&'), "&lt;",
// "&gt;", "&quot;", "&apos;", and "&#x%02X;" for a byte below 32; 0 for a byte written as
// it is.
struct EscapeLengths {
    unsigned char extra[256] = {};
    constexpr EscapeLengths() {
        for (int c = 0; c < 32; ++c) {
            extra[c] = 5;
        }
        extra[static_cast<unsigned char>('&')] = 4;
        extra[static_cast<unsigned char>('<')] = 3;
        extra[static_cast<unsigned char>('>')] = 3;
        extra[static_cast<unsigned char>('"')] = 5;
        extra[static_cast<unsigned char>('\'')] = 5;
    }
};
constexpr EscapeLengths kEscape;

// Counts what Writer writes.
class Counter {
public:
    void put(const char*, std::size_t count) { length_ += count; }
    void put(const TiXmlString& bytes) { length_ += bytes.length(); }
    void put(char) { ++length_; }
    void indent(int depth) { length_ += 4 * static_cast<std::uint64_t>(depth); }
    void escaped(const TiXmlString& value) {
        const char* bytes = value.c_str();
        const std::size_t length = value.length();
        length_ += length;
        for (std::size_t at = 0; at < length; ++at) {
            length_ += kEscape.extra[static_cast<unsigned char>(bytes[at])];
        }
    }
    void inPlace(const TextInPlace& text) { length_ += text.write(text.context, nullptr); }
    std::uint64_t length() const { return length_; }

private:
    std::uint64_t length_ = 0;
};

class Writer {
public:
    explicit Writer(char* out) : start_(out), out_(out) {}
    void put(const char* bytes, std::size_t count) {
        std::memcpy(out_, bytes, count);
        out_ += count;
    }
    void put(const TiXmlString& bytes) { put(bytes.c_str(), bytes.length()); }
    void put(char c) { *out_++ = c; }
    void indent(int depth) {
        const std::size_t count = 4 * static_cast<std::size_t>(depth);
        std::memset(out_, ' ', count);
        out_ += count;
    }
    void escaped(const TiXmlString& value) {
        const char* bytes = value.c_str();
        const std::size_t length = value.length();
        for (std::size_t at = 0; at < length; ++at) {
            const auto c = static_cast<unsigned char>(bytes[at]);
            if (kEscape.extra[c] == 0) {
                *out_++ = static_cast<char>(c);
            } else {
                putEscape(c);
            }
        }
    }
    void inPlace(const TextInPlace& text) { out_ += text.write(text.context, out_); }
    std::uint64_t length() const { return static_cast<std::uint64_t>(out_ - start_); }

private:
    void putEscape(unsigned char c) {
        switch (c) {
            case '&':
                return put("&amp;", 5);
            case '<':
                return put("&lt;", 4);
            case '>':
                return put("&gt;", 4);
            case '"':
                return put("&quot;", 6);
            case '\'':
                return put("&apos;", 6);
            default:
                break;
        }
        static const char kHexDigits[] = "0123456789ABCDEF";
        const char reference[6] = {'&', '#', 'x', kHexDigits[c >> 4], kHexDigits[c & 15], ';'};
        put(reference, sizeof reference);
    }

    char* start_;
    char* out_;
};

// The node as an element or a text, found by its type rather than by a virtual call.
const TiXmlElement* asElement(const TiXmlNode* node) {
    return node->Type() == TiXmlNode::TINYXML_ELEMENT ? static_cast<const TiXmlElement*>(node)
                                                      : nullptr;
}
const TiXmlText* asText(const TiXmlNode* node) {
    return node->Type() == TiXmlNode::TINYXML_TEXT ? static_cast<const TiXmlText*>(node) : nullptr;
}

template <typename Output>
void putText(const TiXmlText& text, const TextInPlace& inPlace, Output& out) {
    if (&text == inPlace.node) {
        out.inPlace(inPlace);
    } else {
        out.escaped(text.ValueTStr());
    }
}

// A name and its value with the printer's quotes: double ones, or single ones when the value
// holds a double quote before its first NUL byte, as the printer looks for one.
template <typename Output>
void putAttribute(const TiXmlAttribute& attribute, Output& out) {
    const char quote = std::strchr(attribute.Value(), '"') == nullptr ? '"' : '\'';
    out.put(' ');
    out.escaped(attribute.NameTStr());
    out.put('=');
    out.put(quote);
    out.escaped(attribute.ValueTStr());
    out.put(quote);
}

// The start of an element, and all of it when it has no child or only one plain text, which
// the printer writes on the element's line.
template <typename Output>
bool putElementStart(const TiXmlElement& element, int depth, const TextInPlace& inPlace,
                     Output& out) {
    out.indent(depth);
    out.put('<');
    out.put(element.ValueTStr());
    for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next()) {
        putAttribute(*attribute, out);
    }
    const TiXmlNode* child = element.FirstChild();
    if (child == nullptr) {
        out.put(" />\n", 4);
        return false;
    }
    const TiXmlText* text = asText(child);
    if (text != nullptr && child == element.LastChild() && !text->CDATA()) {
        out.put('>');
        putText(*text, inPlace, out);
        out.put("</", 2);
        out.put(element.ValueTStr());
        out.put(">\n", 2);
        return false;
    }
    out.put(">\n", 2);
    return true;
}

template <typename Output>
void putElementEnd(const TiXmlNode& element, int depth, Output& out) {
    out.indent(depth);
    out.put("</", 2);
    out.put(element.ValueTStr());
    out.put(">\n", 2);
}

template <typename Output>
void putDeclaration(const TiXmlDeclaration& declaration, Output& out) {
    out.put("<?xml ", 6);
    const struct {
        const char* name;
        std::size_t nameLength;
        const char* value;
    } fields[] = {{"version=\"", 9, declaration.Version()},
                  {"encoding=\"", 10, declaration.Encoding()},
                  {"standalone=\"", 12, declaration.Standalone()}};
    for (const auto& field : fields) {
        if (*field.value != '\0') {
            out.put(field.name, field.nameLength);
            out.put(field.value, std::strlen(field.value));
            out.put("\" ", 2);
        }
    }
    out.put("?>", 2);
}

// A node without children of its own to print: a text among other nodes, a comment, a
// declaration or markup the parser kept unread, each on a line of its own.
template <typename Output>
void putLeaf(const TiXmlNode& node, int depth, const TextInPlace& inPlace, Output& out) {
    out.indent(depth);
    switch (node.Type()) {
        case TiXmlNode::TINYXML_TEXT: {
            const TiXmlText& text = *asText(&node);
            if (text.CDATA()) {
                out.put("<![CDATA[", 9);
                out.put(text.ValueTStr());
                out.put("]]>", 3);
            } else {
                putText(text, inPlace, out);
            }
            break;
        }
        case TiXmlNode::TINYXML_COMMENT:
            out.put("<!--", 4);
            out.put(node.ValueTStr());
            out.put("-->", 3);
            break;
        case TiXmlNode::TINYXML_DECLARATION:
            putDeclaration(*node.ToDeclaration(), out);
            break;
        default:  // unknown markup
            out.put('<');
            out.put(node.ValueTStr());
            out.put('>');
            break;
    }
    out.put('\n');
}

// Depth first without recursion: an element's start, its children one level deeper, its end.
template <typename Output>
void printNodes(const TiXmlDocument& document, const TextInPlace& inPlace, Output& out) {
    const TiXmlNode* node = document.FirstChild();
    int depth = 0;
    while (node != nullptr) {
        if (const TiXmlElement* element = asElement(node)) {
            if (putElementStart(*element, depth, inPlace, out)) {
                node = element->FirstChild();
                ++depth;
                continue;
            }
        } else {
            putLeaf(*node, depth, inPlace, out);
        }
        while (node->NextSibling() == nullptr) {
            node = node->Parent();
            if (node == &document) {
                return;
            }
            --depth;
            putElementEnd(*node, depth, out);
        }
        node = node->NextSibling();
    }
}

}  // namespace

std::uint64_t printDocument(const TiXmlDocument& document, const TextInPlace& inPlace, char* out) {
    if (out == nullptr) {
        Counter counter;
        printNodes(document, inPlace, counter);
        return counter.length();
    }
    Writer writer(out);
    printNodes(document, inPlace, writer);
    return writer.length();
}

}  // namespace pelzor
