#include "paths/node_selection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "by_name/element_value.h"
#include "by_name/lookup.h"

namespace pelzor {

namespace {

// The element's text as getStringValue reads it ("" when it has none).
const char* textOf(const TiXmlElement& element) {
    const char* text = elementText(element);
    return text != nullptr ? text : "";
}

bool someChildHasText(const TiXmlElement& element, const PathPredicate& predicate) {
    for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (hasName(*child, predicate.name) &&
            std::strcmp(textOf(*child), predicate.value.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

std::size_t positionTests(const PathStep& step) {
    return static_cast<std::size_t>(std::count_if(
        step.predicates.begin(), step.predicates.end(),
        [](const PathPredicate& p) { return p.kind == PathPredicate::Kind::Position; }));
}

bool hasPositionTest(const PathStep& step) {
    return positionTests(step) > 0;
}

bool nameMatches(const TiXmlElement& element, const PathStep& step) {
    return step.anyName || hasName(element, step.name);
}

// The predicates in order; `positions` counts, per position test, the nodes of the current
// parent that reached it.
bool passes(const TiXmlElement& element, const PathStep& step, std::uint64_t* positions) {
    std::size_t k = 0;
    for (const PathPredicate& predicate : step.predicates) {
        switch (predicate.kind) {
            case PathPredicate::Kind::Position:
                if (++positions[k++] != predicate.position) {
                    return false;
                }
                break;
            case PathPredicate::Kind::HasAttribute:
                if (element.Attribute(predicate.name.c_str()) == nullptr) {
                    return false;
                }
                break;
            case PathPredicate::Kind::AttributeEquals: {
                const char* value = element.Attribute(predicate.name.c_str());
                if (value == nullptr || std::strcmp(value, predicate.value.c_str()) != 0) {
                    return false;
                }
                break;
            }
            case PathPredicate::Kind::ChildEquals:
                if (!someChildHasText(element, predicate)) {
                    return false;
                }
                break;
        }
    }
    return true;
}

using NodeList = std::vector<TiXmlNode*>;

// Evaluates location paths from one root: the document, or an element that a relative path
// starts from. Node sets are kept in document order. Once a "//" step has made a set whose
// nodes may lie inside each other, the root's subtree is numbered in document order (the
// number kept in each node's user data, with the end of its subtree alongside), so that sets
// can be merged and put back in order in linear time. A path that starts with a "//" step
// and needs no numbering, like "//name", reads the tree in one walk.
class Selection {
public:
    explicit Selection(TiXmlNode& root) : root_(root) {}

    // The operands' nodes together, in document order, each once.
    std::vector<SelectedNode> unionOf(const Path& path) {
        if (path.operands.size() == 1) {
            return run(path.operands.front());
        }
        std::vector<SelectedNode> all;
        for (const LocationPath& operand : path.operands) {
            std::vector<SelectedNode> selected = run(operand);
            all.insert(all.end(), selected.begin(), selected.end());
        }
        inDocumentOrder(all);
        return all;
    }

    std::vector<SelectedNode> run(const LocationPath& path) {
        nested_ = false;
        NodeList context{&root_};
        std::vector<SelectedNode> selected;
        for (const PathStep& step : path.steps) {
            if (context.empty()) {
                break;
            }
            if (step.attribute) {
                if (step.anyDepth && isRootAlone(context)) {
                    NodeList all = rootIfElement();
                    forEachElement([&](TiXmlElement* element) { all.push_back(element); });
                    return attributesOf(all, step.name);
                }
                return attributesOf(step.anyDepth ? descendantsOrSelf(context) : context,
                                    step.name);
            }
            if (step.self) {
                if (step.anyDepth) {
                    context = descendantsOrSelf(context);
                    nested_ = true;
                }
                continue;
            }
            context = step.anyDepth ? descendantStep(context, step) : childStep(context, step);
        }
        selected.reserve(context.size());
        for (TiXmlNode* node : context) {
            if (const TiXmlElement* element = node->ToElement()) {
                selected.push_back({element, nullptr});
            }
        }
        return selected;
    }

private:
    bool isRootAlone(const NodeList& context) const {
        return context.size() == 1 && context.front() == &root_;
    }

    NodeList rootIfElement() {
        NodeList nodes;
        if (root_.ToElement() != nullptr) {
            nodes.push_back(&root_);
        }
        return nodes;
    }

    // Sorts nodes of the root's subtree into document order, an element before its
    // attributes, and drops repeats.
    void inDocumentOrder(std::vector<SelectedNode>& nodes) {
        ensureIndex();
        struct Keyed {
            std::size_t element;
            std::size_t attribute;  // 0 for the element itself, else 1 + the attribute's place
            SelectedNode node;
        };
        std::vector<Keyed> keyed;
        keyed.reserve(nodes.size());
        for (const SelectedNode& node : nodes) {
            std::size_t attribute = 0;
            if (node.attribute != nullptr) {
                for (const TiXmlAttribute* a = node.element->FirstAttribute(); a != node.attribute;
                     a = a->Next()) {
                    ++attribute;
                }
                ++attribute;
            }
            keyed.push_back({indexOf(node.element), attribute, node});
        }
        std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
            return a.element != b.element ? a.element < b.element : a.attribute < b.attribute;
        });
        nodes.clear();
        for (std::size_t i = 0; i < keyed.size(); ++i) {
            if (i == 0 || keyed[i].element != keyed[i - 1].element ||
                keyed[i].attribute != keyed[i - 1].attribute) {
                nodes.push_back(keyed[i].node);
            }
        }
    }

    std::size_t indexOf(const TiXmlNode* node) const {
        return reinterpret_cast<std::uintptr_t>(node->GetUserData());
    }

    void add(TiXmlNode* node) {
        node->SetUserData(reinterpret_cast<void*>(static_cast<std::uintptr_t>(order_.size())));
        order_.push_back(node);
        subtreeEnd_.push_back(0);
    }

    // Every element below the root in document order, without recursion and without
    // numbering.
    template <typename Visit>
    void forEachElement(Visit visit) {
        TiXmlElement* node = root_.FirstChildElement();
        while (node != nullptr) {
            visit(node);
            if (TiXmlElement* child = node->FirstChildElement()) {
                node = child;
                continue;
            }
            while (node != nullptr && node->NextSiblingElement() == nullptr) {
                TiXmlNode* parent = node->Parent();
                node = parent != &root_ && parent != nullptr ? parent->ToElement() : nullptr;
            }
            if (node != nullptr) {
                node = node->NextSiblingElement();
            }
        }
    }

    void ensureIndex() {
        if (!indexed_) {
            buildIndex();
        }
    }

    // Pre-order over the root and every element below it, without recursion.
    void buildIndex() {
        add(&root_);
        TiXmlNode* node = root_.FirstChildElement();
        while (node != nullptr) {
            add(node);
            if (TiXmlElement* child = node->FirstChildElement()) {
                node = child;
                continue;
            }
            // A leaf: close it and every ancestor whose last child it ends, then go on at
            // the next sibling found on the way up.
            for (;;) {
                subtreeEnd_[indexOf(node)] = order_.size() - 1;
                if (TiXmlElement* next = node->NextSiblingElement()) {
                    node = next;
                    break;
                }
                node = node->Parent();
                if (node == &root_) {
                    node = nullptr;
                    break;
                }
            }
        }
        subtreeEnd_[0] = order_.size() - 1;
        indexed_ = true;
    }

    // Every node of the subtrees of `context` (which is in document order), each once.
    NodeList descendantsOrSelf(const NodeList& context) {
        NodeList nodes;
        forEachSubtree(context, [&](std::size_t first, std::size_t last) {
            nodes.insert(nodes.end(), order_.begin() + static_cast<std::ptrdiff_t>(first),
                         order_.begin() + static_cast<std::ptrdiff_t>(last) + 1);
        });
        return nodes;
    }

    // Calls use(first, last) with the numbers of the first and last node of each subtree
    // rooted in `context` (which is in document order), skipping those inside one already
    // given, so that every node is reached once.
    template <typename Use>
    void forEachSubtree(const NodeList& context, Use use) {
        ensureIndex();
        bool covered = false;
        std::size_t coveredEnd = 0;
        for (const TiXmlNode* node : context) {
            const std::size_t first = indexOf(node);
            if (covered && first <= coveredEnd) {
                continue;
            }
            covered = true;
            coveredEnd = subtreeEnd_[first];
            use(first, coveredEnd);
        }
    }

    // The children of each context node that pass the step, parent by parent.
    NodeList childStep(const NodeList& context, const PathStep& step) {
        std::vector<std::uint64_t> positions(positionTests(step));
        NodeList selected;
        for (TiXmlNode* parent : context) {
            std::fill(positions.begin(), positions.end(), 0);
            for (TiXmlElement* child = parent->FirstChildElement(); child != nullptr;
                 child = child->NextSiblingElement()) {
                if (nameMatches(*child, step) && passes(*child, step, positions.data())) {
                    selected.push_back(child);
                }
            }
        }
        // Children of nested context nodes interleave in the document.
        if (nested_) {
            restoreOrder(selected);
        }
        return selected;
    }

    // "//step": the step's children of every node of the context's subtrees. Without a
    // position test each element passes or fails on its own, so the subtrees are read once
    // in order; with one the passing is counted per parent.
    NodeList descendantStep(const NodeList& context, const PathStep& step) {
        NodeList selected;
        if (!hasPositionTest(step) && isRootAlone(context)) {
            forEachElement([&](TiXmlElement* element) {
                if (nameMatches(*element, step) && passes(*element, step, nullptr)) {
                    selected.push_back(element);
                }
            });
            nested_ = true;
            return selected;
        }
        if (hasPositionTest(step)) {
            NodeList expanded = descendantsOrSelf(context);
            nested_ = true;
            return childStep(expanded, step);
        }
        nested_ = true;
        forEachSubtree(context, [&](std::size_t first, std::size_t last) {
            // The subtree's root is not its own descendant.
            for (std::size_t i = first + 1; i <= last; ++i) {
                TiXmlElement* element = order_[i]->ToElement();
                if (nameMatches(*element, step) && passes(*element, step, nullptr)) {
                    selected.push_back(element);
                }
            }
        });
        return selected;
    }

    // Puts numbered nodes (no duplicates among them) back into document order.
    void restoreOrder(NodeList& nodes) {
        ensureIndex();
        auto before = [this](const TiXmlNode* a, const TiXmlNode* b) {
            return indexOf(a) < indexOf(b);
        };
        if (std::is_sorted(nodes.begin(), nodes.end(), before)) {
            return;
        }
        if (nodes.size() < order_.size() / 16) {
            std::sort(nodes.begin(), nodes.end(), before);
            return;
        }
        std::vector<bool> marked(order_.size());
        for (const TiXmlNode* node : nodes) {
            marked[indexOf(node)] = true;
        }
        nodes.clear();
        for (std::size_t i = 0; i < order_.size(); ++i) {
            if (marked[i]) {
                nodes.push_back(order_[i]);
            }
        }
    }

    static std::vector<SelectedNode> attributesOf(const NodeList& context,
                                                  const std::string& name) {
        std::vector<SelectedNode> selected;
        for (const TiXmlNode* node : context) {
            const TiXmlElement* element = node->ToElement();
            if (element == nullptr) {
                continue;
            }
            for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute != nullptr;
                 attribute = attribute->Next()) {
                if (std::strcmp(attribute->Name(), name.c_str()) == 0) {
                    selected.push_back({element, attribute});
                    break;
                }
            }
        }
        return selected;
    }

    TiXmlNode& root_;
    bool indexed_ = false;
    bool nested_ = false;                  // the context may hold nodes inside each other
    NodeList order_;                       // the document, then its elements in pre-order
    std::vector<std::size_t> subtreeEnd_;  // per number: the number of the subtree's last node
};

}  // namespace

const char* selectedValue(const SelectedNode& node) {
    return node.attribute != nullptr ? node.attribute->Value() : textOf(*node.element);
}

std::vector<SelectedNode> selectNodes(TiXmlDocument& document, const Path& path) {
    return Selection(document).unionOf(path);
}

std::vector<SelectedNode> selectNodesFrom(TiXmlElement& context, const LocationPath& path) {
    return Selection(context).run(path);
}

const TiXmlElement* firstSelectedChild(const TiXmlElement& parent, const PathStep& step) {
    constexpr std::size_t kFewTests = 4;
    std::uint64_t few[kFewTests] = {};
    std::vector<std::uint64_t> many;
    std::uint64_t* positions = few;
    if (positionTests(step) > kFewTests) {
        many.resize(positionTests(step));
        positions = many.data();
    }
    for (const TiXmlElement* child = parent.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (nameMatches(*child, step) && passes(*child, step, positions)) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace pelzor
