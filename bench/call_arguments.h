#pragma once
// What the jobs hand the exports: texts as the char* the exports take, and Variants the jobs
// own for as long as the comparisons run.

#include <memory>
#include <string>

#include "values/ole.h"

namespace bench {

// The exports take char* for their texts but never write through it.
inline char* argument(const char* text) {
    return const_cast<char*>(text);
}
inline char* argument(const std::shared_ptr<const std::string>& text) {
    return const_cast<char*>(text->c_str());
}

// A Variant kept for the comparisons' life and cleared with them.
struct OwnedVariant {
    VARIANT value{};
    ~OwnedVariant() { pelzor::ole::clearVariant(&value); }
};

}  // namespace bench
