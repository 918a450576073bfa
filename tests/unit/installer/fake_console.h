#pragma once

#include <string>

#include "console.h"

// Records everything written; each wait appears in the transcript as "<wait>".
class FakeConsole : public Console {
public:
    void write(const std::string& text) override { transcript += text; }
    void waitForCharacter() override { transcript += "<wait>"; }

    std::string transcript;
};
