#include "table/build_table.h"

#include <tinyxml.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "document/document.h"
#include "document/names.h"
#include "document/printed_result.h"
#include "table/writable_header.h"
#include "text/result_string.h"
#include "values/value_array.h"
#include "values/value_text.h"

namespace pelzor {

namespace {

// The elements the headers make in a record, as a tree of (parent, name, position) nodes, so
// that a cell finds its record's element in constant time. A node's element is made in a
// record when a cell first needs it, after its ancestors and after its siblings of lower
// positions (line[2] makes an empty line[1] first), so elements appear in header order.
class ElementPlan {
public:
    // The node of the header's last element; -1 for the record itself.
    int add(const WritableHeader& header) {
        int parent = -1;
        for (const WritableHeader::Step& step : header.elements) {
            auto [at, added] = groupOf_.try_emplace({parent, step.name}, groups_.size());
            if (added) {
                groups_.push_back({parent, step.name, {}});
            }
            const std::size_t group = at->second;
            while (groups_[group].byPosition.size() < step.position) {
                groups_[group].byPosition.push_back(static_cast<int>(nodes_.size()));
                nodes_.push_back(
                    {parent, group, static_cast<std::uint32_t>(groups_[group].byPosition.size())});
            }
            parent = groups_[group].byPosition[step.position - 1];
        }
        made_.assign(nodes_.size(), nullptr);
        madeIn_.assign(nodes_.size(), 0);
        return parent;
    }

    // The element of `node` in the record numbered `record` (from 1), made if need be.
    TiXmlElement* element(int node, TiXmlElement& recordElement, std::size_t record) {
        if (node < 0) {
            return &recordElement;
        }
        pending_.clear();
        for (int n = node; n >= 0 && madeIn_[n] != record; n = nodes_[n].parent) {
            pending_.push_back(n);
        }
        for (auto n = pending_.rbegin(); n != pending_.rend(); ++n) {
            makeWithEarlierSiblings(*n, recordElement, record);
        }
        return made_[node];
    }

private:
    struct Node {
        int parent;
        std::size_t group;
        std::uint32_t position;
    };
    // The children of one name under one parent, by position.
    struct Group {
        int parent;
        std::string name;
        std::vector<int> byPosition;
    };

    void makeWithEarlierSiblings(int node, TiXmlElement& recordElement, std::size_t record) {
        const Node& made = nodes_[node];
        const Group& group = groups_[made.group];
        TiXmlElement* parent = made.parent < 0 ? &recordElement : made_[made.parent];
        for (std::uint32_t k = 0; k < made.position; ++k) {
            const int sibling = group.byPosition[k];
            if (madeIn_[sibling] != record) {
                made_[sibling] = static_cast<TiXmlElement*>(
                    parent->LinkEndChild(new TiXmlElement(group.name.c_str())));
                madeIn_[sibling] = record;
            }
        }
    }

    std::vector<Node> nodes_;
    std::vector<Group> groups_;
    std::map<std::pair<int, std::string>, std::size_t> groupOf_;
    std::vector<TiXmlElement*> made_;
    std::vector<std::size_t> madeIn_;  // the record each node's element was made in
    std::vector<int> pending_;
};

// The element's text becomes `text`: its first child when that is a text, else a text put
// first, so that the path readers read it back. "" leaves the element without text.
void setText(TiXmlElement& element, const std::string& text) {
    TiXmlNode* first = element.FirstChild();
    if (first != nullptr && first->ToText() != nullptr) {
        if (text.empty()) {
            element.RemoveChild(first);
        } else {
            first->SetValue(text.c_str());
        }
        return;
    }
    if (text.empty()) {
        return;
    }
    if (first == nullptr) {
        element.LinkEndChild(new TiXmlText(text.c_str()));
    } else {
        element.InsertBeforeChild(first, TiXmlText(text.c_str()));
    }
}

// One column: where its cells go.
struct ColumnPlan {
    WritableHeader header;
    int element = -1;  // the node of its last element, -1 for the record
};

class TableWriter {
public:
    TableWriter(const char* rootName, const char* recordName)
        : rootName_(rootName), recordName_(recordName) {}

    // The document, or a refusal; null when memory runs out.
    wchar_t* write(const VARIANT* table) {
        if (!isParserName(rootName_)) {
            return refusal("The root name \"" + textOf(rootName_) + "\" is not an XML name");
        }
        if (!isParserName(recordName_)) {
            return refusal("The record name \"" + textOf(recordName_) + "\" is not an XML name");
        }
        const ValueRef value = valueOf(table);
        if (!value.isArray()) {
            return refusal("The table is not an array");
        }
        const ValueArray array(value);
        if (!array.exists()) {
            return refusal("The table is an array that was never sized");
        }
        if (!array.readable()) {
            return refusal("The table's elements cannot be read");
        }
        if (array.dimensions() != 2) {
            return refusal("The table has " + std::to_string(array.dimensions()) +
                           " dimensions; it needs 2, rows and columns");
        }
        if (array.count(1) > 0 && !readHeaders(array)) {
            return refusal(problem_);
        }
        CallDocument document(nullptr);
        TiXmlDocument& tree = document.tree();
        tree.LinkEndChild(new TiXmlDeclaration("1.0", "utf-8", ""));
        auto* root = static_cast<TiXmlElement*>(tree.LinkEndChild(new TiXmlElement(rootName_)));
        for (std::size_t row = 1; row < array.count(1); ++row) {
            auto* record =
                static_cast<TiXmlElement*>(root->LinkEndChild(new TiXmlElement(recordName_)));
            if (!writeRecord(array, row, *record)) {
                return refusal(problem_);
            }
        }
        return printedResult(tree);
    }

private:
    static std::string textOf(const char* name) { return name != nullptr ? name : ""; }

    static wchar_t* refusal(const std::string& message) {
        return makeResultString(message.c_str());
    }

    // "Row 3, column 2: " with the array's own indices.
    void problemAt(const ValueArray& array, std::size_t row, std::size_t column,
                   const std::string& what) {
        problem_ = "Row " + std::to_string(std::int64_t{array.lower(1)} + std::int64_t(row)) +
                   ", column " +
                   std::to_string(std::int64_t{array.lower(2)} + std::int64_t(column)) + ": " +
                   what;
    }

    bool readHeaders(const ValueArray& array) {
        for (std::size_t column = 0; column < array.count(2); ++column) {
            const ValueRef cell = array.at(0, column);
            if (cell.type != VT_BSTR) {
                problemAt(array, 0, column,
                          "the header is not a text (the first row holds the column paths)");
                return false;
            }
            std::string text;
            appendValueText(cell, text);
            ColumnPlan plan;
            if (!readWritableHeader(text.c_str(), plan.header)) {
                problemAt(
                    array, 0, column,
                    "the header \"" + text + "\" is not a path of names, [k] positions from 1 to " +
                        std::to_string(kHighestWritablePosition) + " and a final @name, or \".\"");
                return false;
            }
            plan.element = plan_.add(plan.header);
            columns_.push_back(std::move(plan));
        }
        return true;
    }

    bool writeRecord(const ValueArray& array, std::size_t row, TiXmlElement& record) {
        for (std::size_t column = 0; column < columns_.size(); ++column) {
            const ValueRef cell = array.at(row, column);
            if (cell.isEmpty()) {
                continue;
            }
            text_.clear();
            const NoText why = appendValueText(cell, text_);
            if (why != NoText::None) {
                problemAt(array, row, column,
                          std::string(describeNoText(why)) + " cannot become document text");
                return false;
            }
            const ColumnPlan& plan = columns_[column];
            TiXmlElement* element = plan_.element(plan.element, record, row);
            if (plan.header.attribute) {
                element->SetAttribute(plan.header.attributeName.c_str(), text_.c_str());
            } else {
                setText(*element, text_);
            }
        }
        return true;
    }

    const char* rootName_;
    const char* recordName_;
    ElementPlan plan_;
    std::vector<ColumnPlan> columns_;
    std::string text_;
    std::string problem_;
};

}  // namespace

wchar_t* buildTable(const char* rootName, const char* recordName, const VARIANT* table) {
    return TableWriter(rootName, recordName).write(table);
}

}  // namespace pelzor
