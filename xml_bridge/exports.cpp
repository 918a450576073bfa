// The export layer: each export hands its arguments to the library's logic and makes sure
// that nothing thrown inside (out of memory while parsing, say) ever reaches the macro
// host. A contained failure gives the export's missing-element outcome, and a null result
// string for the exports that return text. Every call runs with its own CallMemory, so
// that what a failed parse leaves unreachable is freed when the call ends.
#include "xml.h"

#include "by_name/arrays.h"
#include "by_name/builder.h"
#include "by_name/readers.h"
#include "memory/call_memory.h"
#include "paths/path_readers.h"
#include "table/build_table.h"
#include "table/select_table.h"

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

// A failed array export leaves the caller's numbers as zeros: what a missing element or a
// path selecting nothing gives too.
template <typename Result, typename Body>
Result containedArray(Result onFailure, double* values, int count, Body body) noexcept {
    pelzor::CallMemory callMemory;
    try {
        return body();
    } catch (...) {
        pelzor::zeroDoubles(values, count);
        return onFailure;
    }
}

}  // namespace

wchar_t* XML::appendXMLChild(char* xmlText, char* childName, char* parentName, char* childText,
                             std::uintptr_t unescapeTagsSlot) {
    // Any non-zero low byte is true, whatever the rest of the slot holds.
    const bool unescapeTags = (unescapeTagsSlot & 0xFFu) != 0;
    return contained<wchar_t*>(nullptr, [&] {
        return pelzor::appendChildElement(xmlText, childName, parentName, childText, unescapeTags);
    });
}

wchar_t* XML::createBlankXML(char* rootName) {
    return contained<wchar_t*>(nullptr, [&] { return pelzor::buildBlankDocument(rootName); });
}

bool XML::getDouble1DArray(char* xmlText, char* elementName, double* values, int count) {
    return containedArray(true, values, count, [&] {
        return pelzor::readDouble1DArray(xmlText, elementName, values, count);
    });
}

bool XML::getDouble2DArray(char* xmlText, char* elementName, double* values, int count) {
    return containedArray(true, values, count, [&] {
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

int XML::checkPath(char* path) {
    return contained(0, [&] { return pelzor::checkPathText(path); });
}

wchar_t* XML::selectText(char* xmlText, char* path) {
    return contained<wchar_t*>(nullptr, [&] { return pelzor::readSelectedText(xmlText, path); });
}

wchar_t* XML::selectTexts(char* xmlText, char* path) {
    return contained<wchar_t*>(nullptr, [&] { return pelzor::readSelectedTexts(xmlText, path); });
}

int XML::selectCount(char* xmlText, char* path) {
    return contained(0, [&] { return pelzor::countSelected(xmlText, path); });
}

int XML::selectDoubles(char* xmlText, char* path, double* values, int count) {
    return containedArray(0, values, count, [&] {
        return pelzor::readSelectedDoubles(xmlText, path, values, count);
    });
}

int XML::selectTable(char* xmlText, char* recordPath, char* columnPaths, tagVARIANT* table) {
    // The table is cleared before anything else and given its array only at the very end, so
    // a failure anywhere leaves it Empty.
    return contained(-1,
                     [&] { return pelzor::selectTable(xmlText, recordPath, columnPaths, table); });
}

wchar_t* XML::buildTable(char* rootName, char* recordName, tagVARIANT* table) {
    return contained<wchar_t*>(nullptr,
                               [&] { return pelzor::buildTable(rootName, recordName, table); });
}
