#pragma once

#include <string>

// What the command line asks for: the usage text, or an addition or removal of the add-in
// at pathArgument.
struct CommandLine {
    bool showUsage = false;
    std::string pathArgument;
    bool install = true;
};

CommandLine parseCommandLine(int argc, const char* const argv[]);
