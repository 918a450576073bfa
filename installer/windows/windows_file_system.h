#pragma once

#include "file_system.h"

// The file system through GetFullPathNameA and PathFileExistsA.
class WindowsFileSystem : public FileSystem {
public:
    std::size_t resolveFullPath(const char* path, char* buffer, std::size_t bufferSize) override;
    bool exists(const char* fullPath) override;
};
