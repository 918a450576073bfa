#pragma once
// The header of a column of a table to write: a column path of the writable kind. Names,
// [k] positions with k >= 1 and a final @name, as in "name", "a/b", "@x", "a/@x",
// "line[2]/sku"; or "." alone, the record's own text. White space around it is ignored.

#include <cstdint>
#include <string>
#include <vector>

namespace pelzor {

// The highest position a step may name; a row never holds enough cells to fill more, and the
// elements before it are made empty.
constexpr std::uint64_t kHighestWritablePosition = 65536;

struct WritableHeader {
    struct Step {
        std::string name;
        std::uint32_t position;  // 1 for a plain step
    };
    std::vector<Step> elements;  // from the record down
    bool attribute = false;      // the cell becomes the attribute `attributeName` of the last
                                 // element (of the record when there is none)
    std::string attributeName;
    // "." : the cell becomes the record's own text. Otherwise, without an attribute, the text
    // of the last element.
    bool recordText = false;
};

// False when `text` is not such a path.
bool readWritableHeader(const char* text, WritableHeader& header);

}  // namespace pelzor
