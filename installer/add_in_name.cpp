#include "add_in_name.h"

std::string addInNameFromPath(const std::string& fullPath) {
    // Walk back from the end to the last backslash (position 0 is never examined); the
    // last '.' met on the way is the first '.' of the last component.
    std::size_t componentStart = 0;
    std::size_t nameEnd = fullPath.size();
    for (std::size_t position = fullPath.size(); position-- > 1;) {
        if (fullPath[position] == '\\') {
            componentStart = position + 1;
            break;
        }
        if (fullPath[position] == '.') {
            nameEnd = position;
        }
    }
    // A component without '.' is the name as a whole.
    return fullPath.substr(componentStart, nameEnd - componentStart);
}
