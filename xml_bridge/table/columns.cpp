#include "table/columns.h"

#include <algorithm>

#include "paths/node_selection.h"

namespace pelzor {

namespace {

bool isPosition(const PathPredicate& predicate) {
    return predicate.kind == PathPredicate::Kind::Position;
}

// The path under the rule for table cells: [1] after each element step without a position
// test.
Column firstMatchColumn(std::string header, LocationPath path) {
    Column column;
    column.header = std::move(header);
    for (PathStep& step : path.steps) {
        column.anyDepth = column.anyDepth || step.anyDepth;
        if (step.self || step.attribute ||
            std::any_of(step.predicates.begin(), step.predicates.end(), isPosition)) {
            continue;
        }
        PathPredicate first;
        first.kind = PathPredicate::Kind::Position;
        first.position = 1;
        step.predicates.push_back(std::move(first));
    }
    column.path = std::move(path);
    return column;
}

}  // namespace

bool readColumns(const char* columnPaths, std::vector<Column>& columns) {
    PathParse parsed = parsePath(columnPaths);
    if (!parsed.understood()) {
        return false;
    }
    for (LocationPath& operand : parsed.path.operands) {
        if (operand.absolute) {
            return false;
        }
        std::string header(columnPaths + operand.textBegin, operand.textEnd - operand.textBegin);
        columns.push_back(firstMatchColumn(std::move(header), std::move(operand)));
    }
    return true;
}

Column columnOf(std::string header) {
    PathParse parsed = parsePath(header.c_str());
    return firstMatchColumn(std::move(header), std::move(parsed.path.operands.front()));
}

const char* cellOf(TiXmlElement& record, const Column& column) {
    if (column.anyDepth) {
        const std::vector<SelectedNode> nodes = selectNodesFrom(record, column.path);
        return nodes.empty() ? nullptr : selectedValue(nodes.front());
    }
    // Without "//" every step selects at most one node: a walk down from the record.
    const TiXmlElement* node = &record;
    for (const PathStep& step : column.path.steps) {
        if (step.self) {
            continue;
        }
        if (step.attribute) {
            return node->Attribute(step.name.c_str());
        }
        node = firstSelectedChild(*node, step);
        if (node == nullptr) {
            return nullptr;
        }
    }
    return selectedValue(SelectedNode{node, nullptr});
}

}  // namespace pelzor
