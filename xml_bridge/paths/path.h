#pragma once
// A parsed path: location paths in the library's small subset of XPath's abbreviated syntax,
// joined by '|' into a union, and where a text stops being such a path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelzor {

// A test applied, in order, to the elements a step selects from one parent.
struct PathPredicate {
    enum class Kind : std::uint8_t {
        Position,         // [n]: the n-th (1-based) of those still selected from that parent
        HasAttribute,     // [@a]
        AttributeEquals,  // [@a='v']
        ChildEquals,      // [child='v']: some child element named `name` has the text v
    };
    Kind kind;
    std::uint64_t position = 0;  // Position only; saturated, so a huge n selects nothing
    std::string name;            // attribute or child name
    std::string value;           // the compared text
};

struct PathStep {
    // Preceded by "//": the step selects among all descendants of the context, not only its
    // children (descendant-or-self, then child). A "." preceded by "//" keeps the context
    // and every element below it.
    bool anyDepth = false;
    // "@name": selects the attribute `name` of each context element; only ever the last step.
    bool attribute = false;
    bool anyName = false;  // "*"
    bool self = false;     // ".": the context itself; never has predicates
    std::string name;      // element or attribute name, compared byte for byte
    std::vector<PathPredicate> predicates;
};

// One operand of a union: a location path, and the bytes it spans in the text (the white
// space around it left out).
struct LocationPath {
    bool absolute = false;  // starts with '/' or "//"
    std::vector<PathStep> steps;
    std::size_t textBegin = 0;
    std::size_t textEnd = 0;
};

// A path: one location path, or several joined by '|', which select the union of their
// nodes. Every path starts at the document, with or without a leading '/'.
struct Path {
    std::vector<LocationPath> operands;
};

// The most steps and predicates a path may hold, all operands together. Beyond this the path
// is not understood: each step and each different predicate can cost a pass over the nodes it
// selects from, and the limit bounds what one call can be made to do (about a thousand
// passes over the document).
constexpr std::size_t kMaxPathParts = 1024;

struct PathParse {
    Path path;
    // -1 when the whole text is a path; otherwise the byte offset of the first byte that is
    // not understood (the length of the text when it ends too early).
    std::ptrdiff_t errorOffset = -1;
    bool understood() const { return errorOffset < 0; }
};

// Reads `text` (NUL-terminated; null reads as empty). White space may stand around each
// operand of a union. Iterative: no recursion whatever the text holds. Throws std::bad_alloc
// when memory runs out.
PathParse parsePath(const char* text);

// Whether a path can name an element or attribute called `name` as it is: a name, or two
// names joined by one ':'.
bool isPathName(const char* name, std::size_t length);

}  // namespace pelzor
