#pragma once

#include "console.h"

// Standard output and input through the C runtime, in its ordinary text mode.
class WindowsConsole : public Console {
public:
    void write(const std::string& text) override;
    void waitForCharacter() override;
};
