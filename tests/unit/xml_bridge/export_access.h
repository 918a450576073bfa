#pragma once
// Calls the exports of class XML from native tests (the class befriends this struct),
// and owns result strings for the length of a test.

#include <memory>
#include <string>

#include "table_values.h"
#include "text/byte_string.h"
#include "xml.h"

struct XMLExportAccess {
    static wchar_t* appendXMLChild(char* xml, char* child, char* parent, char* text,
                                   bool unescape) {
        return XML::appendXMLChild(xml, child, parent, text, unescape);
    }
    static wchar_t* createBlankXML(char* root) { return XML::createBlankXML(root); }
    static bool getDouble1DArray(char* xml, char* name, double* values, int count) {
        return XML::getDouble1DArray(xml, name, values, count);
    }
    static bool getDouble2DArray(char* xml, char* name, double* values, int count) {
        return XML::getDouble2DArray(xml, name, values, count);
    }
    static int getDoubleArrayColumns(char* xml, char* name) {
        return XML::getDoubleArrayColumns(xml, name);
    }
    static int getDoubleArrayRows(char* xml, char* name) {
        return XML::getDoubleArrayRows(xml, name);
    }
    static double getDoubleValue(char* xml, char* name) { return XML::getDoubleValue(xml, name); }
    static int getIntegerValue(char* xml, char* name) { return XML::getIntegerValue(xml, name); }
    static wchar_t* getStringValue(char* xml, char* name) { return XML::getStringValue(xml, name); }
    static int checkPath(char* path) { return XML::checkPath(path); }
    static wchar_t* selectText(char* xml, char* path) { return XML::selectText(xml, path); }
    static wchar_t* selectTexts(char* xml, char* path) { return XML::selectTexts(xml, path); }
    static int selectCount(char* xml, char* path) { return XML::selectCount(xml, path); }
    static int selectDoubles(char* xml, char* path, double* values, int count) {
        return XML::selectDoubles(xml, path, values, count);
    }
    static int selectTable(char* xml, char* recordPath, char* columnPaths, tagVARIANT* table) {
        return XML::selectTable(xml, recordPath, columnPaths, table);
    }
    static wchar_t* buildTable(char* root, char* record, tagVARIANT* table) {
        return XML::buildTable(root, record, table);
    }
};

using Exports = XMLExportAccess;

// A result string owned by the test, freed when it goes out of scope.
struct ByteStringDeleter {
    void operator()(wchar_t* text) const { pelzor::freeByteString(text); }
};
using OwnedResult = std::unique_ptr<wchar_t, ByteStringDeleter>;

// The payload bytes of a result string (its length prefix decides, not a NUL).
inline std::string bytesOf(const wchar_t* text) {
    return std::string(reinterpret_cast<const char*>(text), pelzor::byteStringLength(text));
}

// Takes ownership of a result and returns its bytes; a null result gives "<null>".
inline std::string takeResult(wchar_t* text) {
    OwnedResult owned(text);
    return owned ? bytesOf(owned.get()) : std::string("<null>");
}

// The exports take char*; tests hand them writable copies of literals.
struct Arg {
    explicit Arg(const std::string& text) : storage(text) {}
    operator char*() { return storage.data(); }
    std::string storage;
};

// Everything the exports say about `text` and `name`, as one comparable string.
inline std::string everyExportOn(const std::string& text, const std::string& name) {
    std::string out;
    out += takeResult(Exports::getStringValue(Arg(text), Arg(name))) + "|";
    out += std::to_string(Exports::getIntegerValue(Arg(text), Arg(name))) + "|";
    out += std::to_string(Exports::getDoubleValue(Arg(text), Arg(name))) + "|";
    out += std::to_string(Exports::getDoubleArrayRows(Arg(text), Arg(name))) + "|";
    out += std::to_string(Exports::getDoubleArrayColumns(Arg(text), Arg(name))) + "|";
    double values[4] = {9, 9, 9, 9};
    Exports::getDouble1DArray(Arg(text), Arg(name), values, 4);
    for (double v : values) {
        out += std::to_string(v) + ",";
    }
    Exports::getDouble2DArray(Arg(text), Arg(name), values, 4);
    for (double v : values) {
        out += std::to_string(v) + ",";
    }
    out += "|" +
           takeResult(Exports::appendXMLChild(Arg(text), Arg("n"), Arg(name), Arg("a&<t>"), true));
    out += "|" + takeResult(Exports::createBlankXML(Arg(name)));
    // The path functions, with paths made from the name.
    out += "|" + takeResult(Exports::selectTexts(Arg(text), Arg("//" + name)));
    out += "|" + std::to_string(Exports::selectCount(Arg(text), Arg(name + "/*")));
    out +=
        "|" + std::to_string(Exports::selectDoubles(Arg(text), Arg("//" + name + "/*"), values, 4));
    for (double v : values) {
        out += std::to_string(v) + ",";
    }
    // The tables, records chosen by the name: the table, then the document made from it.
    OwnedVariant table;
    out += "|" + std::to_string(Exports::selectTable(Arg(text), Arg("/*/" + name + " | /" + name),
                                                     Arg(""), table.get()));
    out += tableText(table.value);
    out += "|" + takeResult(Exports::buildTable(Arg("t"), Arg(name), table.get()));
    return out;
}
