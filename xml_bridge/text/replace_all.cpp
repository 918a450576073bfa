#include "text/replace_all.h"

#include <cstring>

#include "memory/call_memory.h"

namespace pelzor {

namespace {

// The first match of the pattern in `text`, or null; an empty pattern never matches.
const char* findMatch(const char* text, const char* pattern, std::size_t patternLength) {
    return patternLength != 0 ? std::strstr(text, pattern) : nullptr;
}

std::size_t countMatches(const char* source, const char* pattern, std::size_t patternLength) {
    std::size_t matches = 0;
    for (const char* match = findMatch(source, pattern, patternLength); match != nullptr;
         match = findMatch(match + patternLength, pattern, patternLength)) {
        ++matches;
    }
    return matches;
}

std::size_t resultLength(const char* source, const char* pattern, std::size_t patternLength,
                         std::size_t replacementLength) {
    const std::size_t sourceLength = std::strlen(source);
    // Equal lengths keep the text's length whatever the number of matches.
    if (patternLength == replacementLength) {
        return sourceLength;
    }
    const std::size_t matches = countMatches(source, pattern, patternLength);
    return sourceLength - matches * patternLength + matches * replacementLength;
}

}  // namespace

char* replaceAll(const char* source, const char* pattern, const char* replacement) {
    const std::size_t patternLength = std::strlen(pattern);
    const std::size_t replacementLength = std::strlen(replacement);
    char* result = static_cast<char*>(
        heapAllocate(resultLength(source, pattern, patternLength, replacementLength) + 1));
    if (result == nullptr) {
        return nullptr;
    }
    char* out = result;
    const char* rest = source;
    for (const char* match = findMatch(rest, pattern, patternLength); match != nullptr;
         match = findMatch(rest, pattern, patternLength)) {
        const std::size_t before = static_cast<std::size_t>(match - rest);
        std::memcpy(out, rest, before);
        std::memcpy(out + before, replacement, replacementLength);
        out += before + replacementLength;
        rest = match + patternLength;
    }
    std::memcpy(out, rest, std::strlen(rest) + 1);
    return result;
}

}  // namespace pelzor
