#include "table/automatic_columns.h"

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "by_name/element_value.h"
#include "paths/path.h"

namespace pelzor {

namespace {

const char* textOf(const TiXmlElement& element) {
    const char* text = elementText(element);
    return text != nullptr ? text : "";
}

bool hasText(const TiXmlElement& element) {
    const char* text = elementText(element);
    return text != nullptr && *text != '\0';
}

// A cell the walk did not write: its column's path may still select something there (an
// element that has children in this record and none in another, say).
const char kNotWalked[] = "not walked";

std::string_view nameOf(const TiXmlString& name) {
    return std::string_view(name.c_str(), name.length());
}

bool isPathName(std::string_view name) {
    return pelzor::isPathName(name.data(), name.size());
}

// The element paths the records hold, as a tree: each node one step below its parent (the
// record, or another node), "name[k]" or "*[n]". Steps are looked up by their parent, name
// and position, so a record is walked in time proportional to its size whatever its depth.
class PathTree {
public:
    static constexpr int kRecord = -1;

    struct Node {
        int parent;
        std::string_view name;  // empty for "*[n]"
        std::size_t position;   // k of name[k], or n of *[n]
        std::string header;     // the path from the record
    };

    // The node of the step below `parent`, made when it is new.
    int step(int parent, std::string_view name, std::size_t sameName, std::size_t position) {
        const bool byName = isPathName(name);
        const Key key{parent, byName ? name : std::string_view(), byName ? sameName : position};
        auto found = nodeOf_.find(key);
        if (found != nodeOf_.end()) {
            return found->second;
        }
        Node node{parent, {}, key.position, parent == kRecord ? "" : nodes_[parent].header};
        if (!node.header.empty()) {
            node.header += '/';
        }
        if (byName) {
            node.name = names_.emplace_back(name);
            node.header += name;
            if (sameName >= 2) {
                node.header += '[' + std::to_string(sameName) + ']';
            }
        } else {
            node.header += "*[" + std::to_string(position) + ']';
        }
        const int id = static_cast<int>(nodes_.size());
        nodes_.push_back(std::move(node));
        nodeOf_.emplace(Key{parent, nodes_[id].name, key.position}, id);
        return id;
    }

    const Node& operator[](int id) const { return nodes_[id]; }
    std::size_t size() const { return nodes_.size(); }

    // The element `id` selects below `record`, or null: the step's name[k], or its *[n].
    const TiXmlElement* select(const TiXmlElement& below, int id) const {
        const Node& node = nodes_[id];
        std::size_t seen = 0;
        for (const TiXmlElement* child = below.FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement()) {
            if ((node.name.empty() || nameOf(child->ValueTStr()) == node.name) &&
                ++seen == node.position) {
                return child;
            }
        }
        return nullptr;
    }

private:
    struct Key {
        int parent;
        std::string_view name;
        std::size_t position;
        bool operator==(const Key& other) const {
            return parent == other.parent && position == other.position && name == other.name;
        }
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            return std::hash<std::string_view>()(key.name) ^
                   (static_cast<std::size_t>(key.parent) * 0x9E3779B97F4A7C15u) ^
                   (key.position * 0x85EBCA77C2B2AE63u);
        }
    };

    std::vector<Node> nodes_;
    std::deque<std::string> names_;  // the names the keys and nodes point into
    std::unordered_map<Key, int, KeyHash> nodeOf_;
};

// A column: the text of a node (or of the record: "."), or an attribute of one (or of the
// record).
struct AutomaticColumn {
    int node;  // PathTree::kRecord for the record itself
    bool attribute;
    std::string_view attributeName;
};

// Collects the columns in the order first seen and, per record, the cells the walk finds;
// then reads every other cell as its column's path selects it.
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
        int node;                  // the parent's node
        std::size_t namesBegin;    // this level's counts in names_
        std::size_t elements;      // child elements visited so far
    };

    struct NameCount {
        std::string_view name;
        std::size_t count;
    };

    struct AttributeKey {
        int node;
        std::string_view name;
        bool operator==(const AttributeKey& other) const {
            return node == other.node && name == other.name;
        }
    };
    struct AttributeKeyHash {
        std::size_t operator()(const AttributeKey& key) const {
            return std::hash<std::string_view>()(key.name) ^
                   (static_cast<std::size_t>(key.node) * 0x9E3779B97F4A7C15u);
        }
    };

    std::size_t newColumn(AutomaticColumn column, std::string header) {
        columns_.push_back(column);
        headers_.push_back(std::move(header));
        return columns_.size() - 1;
    }

    void addText(std::size_t row, int node, const char* value) {
        std::size_t& column = textColumnOf(node);
        if (column == kNoColumn) {
            column =
                newColumn({node, false, {}}, node == PathTree::kRecord ? "." : tree_[node].header);
        }
        found_.push_back({row, column, value});
    }

    std::size_t& textColumnOf(int node) {
        if (node == PathTree::kRecord) {
            return recordTextColumn_;
        }
        if (textColumnOf_.size() <= static_cast<std::size_t>(node)) {
            textColumnOf_.resize(tree_.size(), kNoColumn);
        }
        return textColumnOf_[node];
    }

    void addAttributes(std::size_t row, const TiXmlElement& element, int node) {
        for (const TiXmlAttribute* attribute = element.FirstAttribute(); attribute != nullptr;
             attribute = attribute->Next()) {
            const std::string_view name = nameOf(attribute->NameTStr());
            if (!isPathName(name)) {
                continue;  // no column path can name it
            }
            auto found = attributeColumnOf_.find({node, name});
            if (found == attributeColumnOf_.end()) {
                const std::string_view kept = attributeNames_.emplace_back(name);
                std::string header = node == PathTree::kRecord ? "" : tree_[node].header + "/";
                header += '@';
                header += name;
                found = attributeColumnOf_
                            .emplace(AttributeKey{node, kept},
                                     newColumn({node, true, kept}, std::move(header)))
                            .first;
            }
            found_.push_back({row, found->second, attribute->Value()});
        }
    }

    // The k of name[k]: how many children of this name the level has seen, this one included.
    std::size_t sameNameCount(std::size_t namesBegin, std::string_view name) {
        for (std::size_t i = namesBegin; i < names_.size(); ++i) {
            if (names_[i].name == name) {
                return ++names_[i].count;
            }
        }
        names_.push_back({name, 1});
        return 1;
    }

    // The record's attributes, its text, then its descendants in document order, without
    // recursion.
    void walk(std::size_t row, const TiXmlElement& record) {
        addAttributes(row, record, PathTree::kRecord);
        const TiXmlElement* child = record.FirstChildElement();
        if (child == nullptr && recordTexts_) {
            addText(row, PathTree::kRecord, textOf(record));
        }
        levels_.clear();
        levels_.push_back({child, PathTree::kRecord, names_.size(), 0});
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.next == nullptr) {
                names_.resize(level.namesBegin);
                levels_.pop_back();
                continue;
            }
            const TiXmlElement& element = *level.next;
            level.next = element.NextSiblingElement();
            const std::string_view name = nameOf(element.ValueTStr());
            const std::size_t position = ++level.elements;
            const int node =
                tree_.step(level.node, name, sameNameCount(level.namesBegin, name), position);
            const TiXmlElement* firstChild = element.FirstChildElement();
            if (firstChild == nullptr) {
                addText(row, node, textOf(element));
            }
            addAttributes(row, element, node);
            if (firstChild != nullptr) {
                levels_.push_back({firstChild, node, names_.size(), 0});
            }
        }
    }

    // The element each node selects in the record (made known as cells need them, parents
    // first), and from it the cell.
    void fillTheRest(CellTable& table) {
        std::vector<const TiXmlElement*> elementOf(tree_.size());
        std::vector<std::size_t> knownIn(tree_.size(), 0);  // the row + 1 it was found for
        for (std::size_t row = 0; row < table.rows; ++row) {
            const TiXmlElement& record = *records_[row];
            auto selected = [&](int node) {
                // The chain of nodes not yet known in this row, from the deepest up.
                pending_.clear();
                for (int n = node; n != PathTree::kRecord && knownIn[n] != row + 1;
                     n = tree_[n].parent) {
                    pending_.push_back(n);
                }
                for (auto n = pending_.rbegin(); n != pending_.rend(); ++n) {
                    const int parent = tree_[*n].parent;
                    const TiXmlElement* below =
                        parent == PathTree::kRecord ? &record : elementOf[parent];
                    elementOf[*n] = below != nullptr ? tree_.select(*below, *n) : nullptr;
                    knownIn[*n] = row + 1;
                }
                return node == PathTree::kRecord ? &record : elementOf[node];
            };
            for (std::size_t column = 0; column < table.columns(); ++column) {
                const char*& cell = table.cells[row * table.columns() + column];
                if (cell != kNotWalked) {
                    continue;
                }
                const AutomaticColumn& automatic = columns_[column];
                const TiXmlElement* element = selected(automatic.node);
                if (element == nullptr) {
                    cell = nullptr;
                } else if (automatic.attribute) {
                    cell = element->Attribute(std::string(automatic.attributeName).c_str());
                } else {
                    cell = textOf(*element);
                }
            }
        }
    }

    static constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

    const std::vector<TiXmlElement*>& records_;
    bool recordTexts_ = false;
    PathTree tree_;
    std::vector<AutomaticColumn> columns_;
    std::vector<std::string> headers_;
    std::size_t recordTextColumn_ = kNoColumn;
    std::vector<std::size_t> textColumnOf_;  // per node
    std::unordered_map<AttributeKey, std::size_t, AttributeKeyHash> attributeColumnOf_;
    std::deque<std::string> attributeNames_;
    std::vector<Found> found_;
    std::vector<Level> levels_;
    std::vector<NameCount> names_;
    std::vector<int> pending_;
};

}  // namespace

CellTable automaticTable(const std::vector<TiXmlElement*>& records) {
    return AutomaticColumns(records).table();
}

}  // namespace pelzor
