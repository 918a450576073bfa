#include "table/automatic_columns.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "by_name/element_value.h"
#include "paths/path.h"
#include "table/columns.h"

namespace pelzor {

namespace {

// What a cell holds before the table is complete: a value, or nothing found yet by the walk
// (the column's path may still select something in that record).
const char kNotWalked[] = "";

const char* textOf(const TiXmlElement& element) {
    const char* text = elementText(element);
    return text != nullptr ? text : "";
}

bool hasText(const TiXmlElement& element) {
    const char* text = elementText(element);
    return text != nullptr && *text != '\0';
}

// Collects the headers in the order first seen and, per record, the cells the walk finds.
class AutomaticColumns {
public:
    explicit AutomaticColumns(const std::vector<TiXmlElement*>& records) : records_(records) {
        for (const TiXmlElement* record : records) {
            if (record->FirstChildElement() == nullptr && hasText(*record)) {
                recordTexts_ = true;
                break;
            }
        }
    }

    CellTable table() {
        for (std::size_t row = 0; row < records_.size(); ++row) {
            walk(row, *records_[row]);
        }
        CellTable table;
        table.rows = records_.size();
        table.headers = std::move(headers_);
        table.cells.assign(table.rows * table.columns(), kNotWalked);
        for (const Found& found : found_) {
            table.cells[found.row * table.columns() + found.column] = found.value;
        }
        fillTheRest(table);
        return table;
    }

private:
    struct Found {
        std::size_t row;
        std::size_t column;
        const char* value;
    };

    // Where a walk stands among the children of one element.
    struct Level {
        const TiXmlElement* next;  // the child to visit next
        std::size_t pathLength;    // the path of the parent
        std::size_t namesBegin;    // this level's counts in names_
        std::size_t elements;      // child elements visited so far
    };

    struct NameCount {
        const TiXmlString* name;
        std::size_t count;
    };

    void add(std::size_t row, const std::string& header, const char* value) {
        auto [at, added] = columnOf_.try_emplace(header, headers_.size());
        if (added) {
            headers_.push_back(header);
        }
        found_.push_back({row, at->second, value});
    }

    void addAttributes(std::size_t row, const TiXmlElement& element, std::size_t pathLength) {
        for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute != nullptr;
             attribute = attribute->Next()) {
            const TiXmlString& name = attribute->NameTStr();
            if (!isPathName(name.c_str(), name.length())) {
                continue;
            }
            path_.resize(pathLength);
            path_ += pathLength == 0 ? "@" : "/@";
            path_.append(name.c_str(), name.length());
            add(row, path_, attribute->Value());
        }
        path_.resize(pathLength);
    }

    // The k of name[k]: how many children of this name the level has seen, this one included.
    std::size_t sameNameCount(std::size_t namesBegin, const TiXmlString& name) {
        for (std::size_t i = namesBegin; i < names_.size(); ++i) {
            if (*names_[i].name == name) {
                return ++names_[i].count;
            }
        }
        names_.push_back({&name, 1});
        return 1;
    }

    void appendStep(const TiXmlElement& element, std::size_t sameName, std::size_t position) {
        const TiXmlString& name = element.ValueTStr();
        if (isPathName(name.c_str(), name.length())) {
            path_.append(name.c_str(), name.length());
            if (sameName >= 2) {
                path_ += '[';
                path_ += std::to_string(sameName);
                path_ += ']';
            }
        } else {
            path_ += "*[";
            path_ += std::to_string(position);
            path_ += ']';
        }
    }

    // The record's attributes, its text, then its descendants in document order, without
    // recursion.
    void walk(std::size_t row, const TiXmlElement& record) {
        path_.clear();
        addAttributes(row, record, 0);
        const TiXmlElement* child = record.FirstChildElement();
        if (child == nullptr && recordTexts_) {
            add(row, ".", textOf(record));
        }
        levels_.clear();
        levels_.push_back({child, 0, names_.size(), 0});
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.next == nullptr) {
                names_.resize(level.namesBegin);
                levels_.pop_back();
                continue;
            }
            const TiXmlElement& element = *level.next;
            level.next = element.NextSiblingElement();
            const std::size_t position = ++level.elements;
            const std::size_t sameName = sameNameCount(level.namesBegin, element.ValueTStr());
            path_.resize(level.pathLength);
            if (level.pathLength != 0) {
                path_ += '/';
            }
            appendStep(element, sameName, position);
            const std::size_t pathLength = path_.size();
            const TiXmlElement* firstChild = element.FirstChildElement();
            if (firstChild == nullptr) {
                add(row, path_, textOf(element));
            }
            addAttributes(row, element, pathLength);
            if (firstChild != nullptr) {
                levels_.push_back({firstChild, pathLength, names_.size(), 0});
            }
        }
    }

    // A column's cell in a record where the walk did not write it: what the column's path
    // selects there (an element that has children in this record and none in another, say).
    void fillTheRest(CellTable& table) {
        for (std::size_t column = 0; column < table.columns(); ++column) {
            bool parsed = false;
            Column path;
            for (std::size_t row = 0; row < table.rows; ++row) {
                const char*& cell = table.cells[row * table.columns() + column];
                if (cell != kNotWalked) {
                    continue;
                }
                if (!parsed) {
                    path = columnOf(table.headers[column]);
                    parsed = true;
                }
                cell = cellOf(*records_[row], path);
            }
        }
    }

    const std::vector<TiXmlElement*>& records_;
    bool recordTexts_ = false;
    std::vector<std::string> headers_;
    std::unordered_map<std::string, std::size_t> columnOf_;
    std::vector<Found> found_;
    std::string path_;
    std::vector<Level> levels_;
    std::vector<NameCount> names_;
};

}  // namespace

CellTable automaticTable(const std::vector<TiXmlElement*>& records) {
    return AutomaticColumns(records).table();
}

}  // namespace pelzor
