#include "paths/path_readers.h"

#include <climits>
#include <string>
#include <vector>

#include "by_name/readers.h"
#include "document/document.h"
#include "paths/node_selection.h"
#include "paths/path.h"
#include "text/numbers.h"
#include "text/result_string.h"

namespace pelzor {

namespace {

int clampToInt(std::size_t n) {
    return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

// Hands the selected nodes to `use` while their document is alive. A path that is not
// understood selects nothing, and the document is then not parsed.
template <typename Use>
auto withSelection(const char* xmlText, const char* pathText, Use use) {
    const PathParse parsed = parsePath(pathText);
    if (!parsed.understood()) {
        return use(std::vector<SelectedNode>());
    }
    CallDocument document(xmlText);
    return use(selectNodes(document.tree(), parsed.path));
}

}  // namespace

int checkPathText(const char* path) {
    const PathParse parsed = parsePath(path);
    if (parsed.understood()) {
        return -1;
    }
    return clampToInt(static_cast<std::size_t>(parsed.errorOffset));
}

wchar_t* readSelectedText(const char* xmlText, const char* pathText) {
    return withSelection(xmlText, pathText, [](const std::vector<SelectedNode>& nodes) {
        return makeResultString(nodes.empty() ? kElementMissing : selectedValue(nodes.front()));
    });
}

wchar_t* readSelectedTexts(const char* xmlText, const char* pathText) {
    return withSelection(xmlText, pathText, [](const std::vector<SelectedNode>& nodes) {
        std::string joined;
        for (const SelectedNode& node : nodes) {
            joined += selectedValue(node);
            joined += '\0';
        }
        return makeResultBytes(joined.data(), joined.size());
    });
}

int countSelected(const char* xmlText, const char* pathText) {
    return withSelection(xmlText, pathText, [](const std::vector<SelectedNode>& nodes) {
        return clampToInt(nodes.size());
    });
}

int readSelectedDoubles(const char* xmlText, const char* pathText, double* values, int count) {
    return withSelection(xmlText, pathText, [&](const std::vector<SelectedNode>& nodes) {
        int written = 0;
        for (; written < count && static_cast<std::size_t>(written) < nodes.size(); ++written) {
            values[written] = parseDouble(selectedValue(nodes[static_cast<std::size_t>(written)]));
        }
        for (int i = written; i < count; ++i) {
            values[i] = 0.0;
        }
        return clampToInt(nodes.size());
    });
}

}  // namespace pelzor
