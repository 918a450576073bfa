#pragma once

#include <string>

// The installer's only way to talk to the user: standard output and one-character waits.
class Console {
public:
    virtual ~Console() = default;
    virtual void write(const std::string& text) = 0;
    // Reads one character with the console's ordinary line input; returns at end of input.
    virtual void waitForCharacter() = 0;
};
