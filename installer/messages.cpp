#include "messages.h"

namespace messages {

std::string usage() {
    return "\nThis utility adds Excel Addins from *.xla file\n"
           "Usage:\n"
           "Tressvold                       - Displays this text\n"
           "Tressvold ?                     - Displays this text\n"
           "Tressvold help                  - Displays this text\n"
           "Tressvold Path to *.xla File    - Add to Excel given Addin \n"
           "Tressvold Path to *.xla File 1  - Add to Excel given Addin \n"
           "Tressvold Path to *.xla File 0  - Remove from Excel given Addin\n"
           "Note: FilePath must be full, for example c:\\Temp\\Test.xla \n"
           "Press enter to exit...\n";
}

std::string announcement() {
    return "Addition the add-in component 'Razir1' to Excel. \n";
}

// No line feed follows this message.
std::string fileMissing(const std::string& pathArgument) {
    return "File " + pathArgument + " is not exist!";
}

std::string pathTooLong(const std::string& pathArgument, std::size_t capacity) {
    return "The full path of " + pathArgument + " is too long: at most " +
           std::to_string(capacity - 1) + " characters are possible.\n";
}

std::string noApplication() {
    return "Excel isn't installed or can't run!\n";
}

std::string additionSucceeded(const std::string& fullPath) {
    return "Addition of " + fullPath + " is success\n";
}

std::string removalSucceeded(const std::string& addInName) {
    return "Disconnection of " + addInName + " is success\n";
}

}  // namespace messages
