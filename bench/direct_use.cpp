#include "direct_use.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "text/byte_string.h"

namespace bench::direct {

namespace {

// Depth-first, an element before its children and its children before its later siblings.
TiXmlElement* firstNamed(TiXmlNode& parent, const char* name) {
    for (TiXmlElement* element = parent.FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        if (std::strcmp(element->Value(), name) == 0) {
            return element;
        }
        if (TiXmlElement* found = firstNamed(*element, name)) {
            return found;
        }
    }
    return nullptr;
}

// Result strings stand for the system's byte strings; the same call the library makes.
wchar_t* resultString(const char* text) {
    return pelzor::allocByteString(text, static_cast<std::uint32_t>(std::strlen(text)));
}

double cellValue(const TiXmlElement& cell) {
    const char* text = cell.GetText();
    return text != nullptr ? std::atof(text) : 0.0;
}

int childCount(const TiXmlElement& element) {
    int count = 0;
    for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        ++count;
    }
    return count;
}

void zeroFrom(double* values, int from, int count) {
    for (int k = from; k < count; ++k) {
        values[k] = 0.0;
    }
}

}  // namespace

wchar_t* stringValue(const char* xmlText, const char* name) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* element = firstNamed(document, name);
    if (element == nullptr) {
        return resultString("Element does not exist");
    }
    const char* text = element->GetText();
    return resultString(text != nullptr ? text : "");
}

int integerValue(const char* xmlText, const char* name) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* element = firstNamed(document, name);
    const char* text = element != nullptr ? element->GetText() : nullptr;
    return text != nullptr ? static_cast<int>(std::strtol(text, nullptr, 10)) : 0;
}

double doubleValue(const char* xmlText, const char* name) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* element = firstNamed(document, name);
    const char* text = element != nullptr ? element->GetText() : nullptr;
    return text != nullptr ? std::atof(text) : 0.0;
}

void double1DArray(const char* xmlText, const char* name, double* values, int count) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    int k = 0;
    if (const TiXmlElement* element = firstNamed(document, name)) {
        for (const TiXmlElement* child = element->FirstChildElement();
             child != nullptr && k < count; child = child->NextSiblingElement()) {
            values[k++] = cellValue(*child);
        }
    }
    zeroFrom(values, k, count);
}

void double2DArray(const char* xmlText, const char* name, double* values, int count) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    int k = 0;
    if (const TiXmlElement* element = firstNamed(document, name)) {
        for (const TiXmlElement* row = element->FirstChildElement(); row != nullptr && k < count;
             row = row->NextSiblingElement()) {
            for (const TiXmlElement* cell = row->FirstChildElement(); cell != nullptr && k < count;
                 cell = cell->NextSiblingElement()) {
                values[k++] = cellValue(*cell);
            }
        }
    }
    zeroFrom(values, k, count);
}

int arrayRows(const char* xmlText, const char* name) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* element = firstNamed(document, name);
    return element != nullptr ? childCount(*element) : 0;
}

int arrayColumns(const char* xmlText, const char* name) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* element = firstNamed(document, name);
    const TiXmlElement* firstRow = element != nullptr ? element->FirstChildElement() : nullptr;
    return firstRow != nullptr ? childCount(*firstRow) : 0;
}

wchar_t* childTexts(const char* xmlText, const char* name) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    std::string joined;
    if (const TiXmlElement* element = firstNamed(document, name)) {
        for (const TiXmlElement* child = element->FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            const char* text = child->GetText();
            joined += text != nullptr ? text : "";
            joined += '\0';
        }
    }
    return pelzor::allocByteString(joined.data(), static_cast<std::uint32_t>(joined.size()));
}

wchar_t* appendChild(const char* xmlText, const char* childName, const char* parentName,
                     const char* childText) {
    TiXmlDocument document;
    document.Parse(xmlText, nullptr, TIXML_ENCODING_UTF8);
    TiXmlElement* parent = firstNamed(document, parentName);
    if (parent == nullptr) {
        return resultString("Parent element does not exist");
    }
    auto* child = new TiXmlElement(childName);
    child->LinkEndChild(new TiXmlText(childText));
    parent->LinkEndChild(child);
    TiXmlPrinter printer;
    document.Accept(&printer);
    return resultString(printer.CStr());
}

}  // namespace bench::direct
