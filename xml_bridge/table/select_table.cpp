#include "table/select_table.h"

#include <climits>
#include <vector>

#include "document/document.h"
#include "paths/node_selection.h"
#include "paths/path.h"
#include "table/automatic_columns.h"
#include "table/columns.h"
#include "table/table_result.h"

namespace pelzor {

namespace {

bool isBlank(const char* text) {
    if (text == nullptr) {
        return true;
    }
    for (; *text != '\0'; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') {
            return false;
        }
    }
    return true;
}

CellTable tableOf(const std::vector<TiXmlElement*>& records, const std::vector<Column>& columns) {
    CellTable table;
    table.rows = records.size();
    for (const Column& column : columns) {
        table.headers.push_back(column.header);
    }
    table.cells.reserve(table.rows * columns.size());
    for (TiXmlElement* record : records) {
        for (const Column& column : columns) {
            table.cells.push_back(cellOf(*record, column));
        }
    }
    return table;
}

}  // namespace

int selectTable(const char* xmlText, const char* recordPath, const char* columnPaths,
                VARIANT* table) {
    if (table == nullptr) {
        return -1;
    }
    ole::clearVariant(table);
    const PathParse records = parsePath(recordPath);
    std::vector<Column> columns;
    const bool automatic = isBlank(columnPaths);
    if (!records.understood() || (!automatic && !readColumns(columnPaths, columns))) {
        return -1;
    }
    CallDocument document(xmlText);
    std::vector<TiXmlElement*> recordElements;
    for (const SelectedNode& node : selectNodes(document.tree(), records.path)) {
        if (node.attribute == nullptr) {
            // The call's own tree: the columns may number its nodes in their user data.
            recordElements.push_back(const_cast<TiXmlElement*>(node.element));
        }
    }
    if (recordElements.empty()) {
        return 0;
    }
    if (recordElements.size() >= INT_MAX) {
        return -1;
    }
    const CellTable cells =
        automatic ? automaticTable(recordElements) : tableOf(recordElements, columns);
    if (!putTable(cells, table)) {
        return -1;
    }
    return static_cast<int>(recordElements.size());
}

}  // namespace pelzor
