#include "windows_console.h"

#include <cstdio>

void WindowsConsole::write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void WindowsConsole::waitForCharacter() {
    std::getchar();
}
