// The export layer: each export hands its arguments to the library's logic and makes sure
// that nothing thrown inside (out of memory while parsing, say) ever reaches the macro
// host. A contained failure gives the export's missing-element outcome, and a null result
// string for the exports that return text. Every call runs with its own CallMemory, so
// that what a failed parse leaves unreachable is freed when the call ends.
#include "xml.h"

#include "arrays.h"
#include "builder.h"
#include "memory/call_memory.h"
#include "readers.h"

namespace {

template <typename Result, typename Body>
Result contained(Result onFailure, Body body) noexcept {
    pelzor::CallMemory callMemory;
    try {
        return body();
    } catch (...) {
        return onFailure;
    }
}

template <typename Body>
bool containedArray(double* values, int count, Body body) noexcept {
    pelzor::CallMemory callMemory;
    try {
        return body();
    } catch (...) {
        pelzor::zeroDoubles(values, count);
        return true;
    }
}

}  // namespace

wchar_t* XML::appendXMLChild(char* xmlText, char* childName, char* parentName, char* childText,
                             bool unescapeTags) {
    return contained<wchar_t*>(nullptr, [&] {
        return pelzor::appendChildElement(xmlText, childName, parentName, childText, unescapeTags);
    });
}

wchar_t* XML::createBlankXML(char* rootName) {
    return contained<wchar_t*>(nullptr, [&] { return pelzor::buildBlankDocument(rootName); });
}

bool XML::getDouble1DArray(char* xmlText, char* elementName, double* values, int count) {
    return containedArray(values, count, [&] {
        return pelzor::readDouble1DArray(xmlText, elementName, values, count);
    });
}

bool XML::getDouble2DArray(char* xmlText, char* elementName, double* values, int count) {
    return containedArray(values, count, [&] {
        return pelzor::readDouble2DArray(xmlText, elementName, values, count);
    });
}

int XML::getDoubleArrayColumns(char* xmlText, char* elementName) {
    return contained(0, [&] { return pelzor::countArrayColumns(xmlText, elementName); });
}

int XML::getDoubleArrayRows(char* xmlText, char* elementName) {
    return contained(0, [&] { return pelzor::countArrayRows(xmlText, elementName); });
}

double XML::getDoubleValue(char* xmlText, char* elementName) {
    return contained(0.0, [&] { return pelzor::readDoubleValue(xmlText, elementName); });
}

int XML::getIntegerValue(char* xmlText, char* elementName) {
    return contained(0, [&] { return pelzor::readIntegerValue(xmlText, elementName); });
}

wchar_t* XML::getStringValue(char* xmlText, char* elementName) {
    return contained<wchar_t*>(nullptr,
                               [&] { return pelzor::readStringValue(xmlText, elementName); });
}
