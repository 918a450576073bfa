#include "command_line.h"

#include <cstring>

namespace {

bool isUsageRequest(const char* argument) {
    return std::strcmp(argument, "?") == 0 || std::strcmp(argument, "help") == 0;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const argv[]) {
    CommandLine commandLine;
    if (argc < 2 || isUsageRequest(argv[1])) {
        commandLine.showUsage = true;
        return commandLine;
    }
    commandLine.pathArgument = argv[1];
    // Any second argument starting with '0' selects removal; everything else adds.
    commandLine.install = !(argc >= 3 && argv[2][0] == '0');
    return commandLine;
}
