#include "documents.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";

void indent(std::string& out, int depth) {
    out.append(static_cast<std::size_t>(depth) * 4, ' ');
}

void openLine(std::string& out, int depth, const std::string& tag) {
    indent(out, depth);
    out += "<" + tag + ">\n";
}

void closeLine(std::string& out, int depth, const std::string& name) {
    indent(out, depth);
    out += "</" + name + ">\n";
}

void valueLine(std::string& out, int depth, const std::string& name, const std::string& value) {
    indent(out, depth);
    out += "<" + name + ">" + value + "</" + name + ">\n";
}

// The values of the settings and of the tree's items cycle through the kinds a macro keeps.
std::string settingValue(int index) {
    switch (index % 3) {
        case 0:
            return std::to_string(index * 37 % 10007);
        case 1:
            return std::to_string(index % 1000) + ".125";
        default:
            return "Blue sky " + std::to_string(index);
    }
}

void appendLookedUpValues(std::string& out, int depth) {
    valueLine(out, depth, kTextName, "Quarterly report");
    valueLine(out, depth, kIntegerName, "42");
    valueLine(out, depth, kDoubleName, "0.618034");
}

std::string formatCell(double value) {
    char cell[16];
    std::snprintf(cell, sizeof cell, "%09.3f", value);
    return cell;
}

// The fields of a record: names and values, numbers written as the table functions write
// them back.
std::vector<std::pair<const char*, std::string>> recordFields(int index) {
    const std::string n = std::to_string(index);
    return {{"id", n},
            {"sku", "SKU-" + std::to_string(100000 + index)},
            {"name", "Item " + n},
            {"qty", std::to_string(index % 17 + 1)},
            {"price", std::to_string(index % 997) + ".5"},
            {"currency", index % 3 == 0 ? "USD" : "EUR"},
            {"date", "2026-12-" + std::to_string(10 + index % 20)},
            {"status", index % 5 == 0 ? "closed" : "open"},
            {"ratio", "0.25"},
            {"note", "Blue sky " + n}};
}

}  // namespace

std::string recordsDocument(int count) {
    std::string out = kDeclaration;
    out += std::string("<") + kRecordsRoot + ">\n";
    for (int index = 0; index < count; ++index) {
        openLine(out, 1, kRecordName);
        for (const auto& [name, value] : recordFields(index)) {
            valueLine(out, 2, name, value);
        }
        closeLine(out, 1, kRecordName);
    }
    out += std::string("</") + kRecordsRoot + ">\n";
    return out;
}

std::string recordMarkup(int index) {
    std::string out;
    for (const auto& [name, value] : recordFields(index)) {
        out += std::string("<") + name + ">" + value + "</" + name + ">";
    }
    return out;
}

std::string settingsDocument(std::size_t targetBytes) {
    std::string out = kDeclaration;
    out += "<settings>\n";
    const std::size_t closing = 128;  // the looked-up values and the end tag
    for (int index = 0; out.size() + closing < targetBytes; ++index) {
        valueLine(out, 1, "option" + std::to_string(index), settingValue(index));
    }
    appendLookedUpValues(out, 1);
    out += "</settings>\n";
    return out;
}

int settingsCount(const std::string& document) {
    int count = 0;
    for (std::size_t at = document.find("\n    <"); at != std::string::npos;
         at = document.find("\n    <", at + 1)) {
        ++count;
    }
    return count;
}

double matrixCell(int row, int column) {
    const long long k = static_cast<long long>(row) * kMatrixColumns + column;
    return static_cast<double>(k * 7919 % 1999993) / 1000.0 - 999.0;
}

std::string matrixDocument(int rows) {
    std::string out = kDeclaration;
    out += "<workbook>\n    <matrix>\n";
    for (int row = 0; row < rows; ++row) {
        indent(out, 2);
        out += "<r>";
        for (int column = 0; column < kMatrixColumns; ++column) {
            out += "<c>" + formatCell(matrixCell(row, column)) + "</c>";
        }
        out += "</r>\n";
    }
    out += "    </matrix>\n</workbook>\n";
    return out;
}

std::string listDocument(int count) {
    std::string out = kDeclaration;
    out += std::string("<") + kListName + ">\n";
    for (int i = 0; i < count; ++i) {
        valueLine(out, 1, kListItem,
                  formatCell(matrixCell(i / kMatrixColumns, i % kMatrixColumns)));
    }
    out += std::string("</") + kListName + ">\n";
    return out;
}

std::string treeDocument(std::size_t targetBytes) {
    constexpr int kGroupsPerSection = 8;
    constexpr int kItemsPerGroup = 6;
    const std::size_t closing = 320;  // the last section with the summary, and the end tag
    auto roomLeft = [&](const std::string& out) { return out.size() + closing < targetBytes; };
    std::string out = kDeclaration;
    out += "<project>\n";
    int item = 0;
    for (int section = 0; roomLeft(out); ++section) {
        openLine(out, 1, "section id=\"" + std::to_string(section) + "\"");
        for (int group = 0; group < kGroupsPerSection && roomLeft(out); ++group) {
            openLine(out, 2, "group id=\"" + std::to_string(group) + "\"");
            for (int i = 0; i < kItemsPerGroup && roomLeft(out); ++i, ++item) {
                openLine(out, 3, "item");
                valueLine(out, 4, "key", "k" + std::to_string(item));
                valueLine(out, 4, "value", settingValue(item));
                closeLine(out, 3, "item");
            }
            closeLine(out, 2, "group");
        }
        closeLine(out, 1, "section");
    }
    // The summary closes the document: the deepest and last place that lookups reach.
    openLine(out, 1, "section id=\"last\"");
    openLine(out, 2, "group id=\"last\"");
    openLine(out, 3, "item");
    openLine(out, 4, kTreeParent);
    appendLookedUpValues(out, 5);
    closeLine(out, 4, kTreeParent);
    closeLine(out, 3, "item");
    closeLine(out, 2, "group");
    closeLine(out, 1, "section");
    out += "</project>\n";
    return out;
}

}  // namespace bench
