#include "by_name/arrays.h"

#include <tinyxml.h>

#include "by_name/element_value.h"
#include "by_name/lookup.h"
#include "document/document.h"
#include "text/working_array.h"

namespace pelzor {

namespace {

int countChildElements(const TiXmlElement& element) {
    int count = 0;
    for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        ++count;
    }
    return count;
}

// One value per child element, in document order, until the array is full.
void appendChildValues(const TiXmlElement& element, WorkingArray& working) {
    for (const TiXmlElement* child = element.FirstChildElement();
         child != nullptr && !working.full(); child = child->NextSiblingElement()) {
        working.append(elementDouble(*child));
    }
}

// The cells of every row, row after row, packed against each other whatever each row's
// length, until the array is full. A row without child elements adds nothing.
void appendRowValues(const TiXmlElement& element, WorkingArray& working) {
    for (const TiXmlElement* row = element.FirstChildElement(); row != nullptr && !working.full();
         row = row->NextSiblingElement()) {
        appendChildValues(*row, working);
    }
}

// Fills the caller's `count` doubles with what `appendValues` takes from the named element,
// zeros behind the last value and everywhere when the element is missing. A count of zero
// or less writes nothing. False only when the working array cannot be allocated; the
// caller's doubles are then set to zero directly.
template <typename AppendValues>
bool readArray(const char* xmlText, const char* elementName, double* values, int count,
               AppendValues appendValues) {
    if (count <= 0) {
        return true;
    }
    WorkingArray working(count);
    if (!working.allocated()) {
        zeroDoubles(values, count);
        return false;
    }
    CallDocument document(xmlText);
    if (const TiXmlElement* element = findNamedNode(document, elementName)) {
        appendValues(*element, working);
    }
    working.copyTo(values);
    return true;
}

}  // namespace

void zeroDoubles(double* values, int count) {
    for (int i = 0; i < count; ++i) {
        values[i] = 0.0;
    }
}

bool readDouble1DArray(const char* xmlText, const char* elementName, double* values, int count) {
    return readArray(xmlText, elementName, values, count, appendChildValues);
}

bool readDouble2DArray(const char* xmlText, const char* elementName, double* values, int count) {
    return readArray(xmlText, elementName, values, count, appendRowValues);
}

int countArrayRows(const char* xmlText, const char* elementName) {
    CallDocument document(xmlText);
    const TiXmlElement* element = findNamedNode(document, elementName);
    return element != nullptr ? countChildElements(*element) : 0;
}

int countArrayColumns(const char* xmlText, const char* elementName) {
    CallDocument document(xmlText);
    const TiXmlElement* element = findNamedNode(document, elementName);
    const TiXmlElement* firstRow = element != nullptr ? element->FirstChildElement() : nullptr;
    return firstRow != nullptr ? countChildElements(*firstRow) : 0;
}

}  // namespace pelzor
