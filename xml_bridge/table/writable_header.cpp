#include "table/writable_header.h"

#include "paths/path.h"

namespace pelzor {

namespace {

bool isWritableElementStep(const PathStep& step) {
    if (step.anyDepth || step.anyName || step.self || step.predicates.size() > 1) {
        return false;
    }
    if (step.predicates.empty()) {
        return true;
    }
    const PathPredicate& predicate = step.predicates.front();
    return predicate.kind == PathPredicate::Kind::Position && predicate.position >= 1 &&
           predicate.position <= kHighestWritablePosition;
}

}  // namespace

bool readWritableHeader(const char* text, WritableHeader& header) {
    const PathParse parsed = parsePath(text);
    if (!parsed.understood() || parsed.path.operands.size() != 1) {
        return false;
    }
    const LocationPath& path = parsed.path.operands.front();
    if (path.absolute) {
        return false;
    }
    if (path.steps.size() == 1 && path.steps.front().self && !path.steps.front().anyDepth) {
        header.recordText = true;
        return true;
    }
    for (const PathStep& step : path.steps) {
        if (step.attribute) {
            if (step.anyDepth) {
                return false;
            }
            header.attribute = true;
            header.attributeName = step.name;
            continue;  // always the last step
        }
        if (!isWritableElementStep(step)) {
            return false;
        }
        const std::uint64_t position =
            step.predicates.empty() ? 1 : step.predicates.front().position;
        header.elements.push_back({step.name, static_cast<std::uint32_t>(position)});
    }
    return true;
}

}  // namespace pelzor
