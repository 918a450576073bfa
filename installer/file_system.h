#pragma once

#include <cstddef>

// The two file-system questions the installer asks, in the form the system calls answer
// them.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Resolves path against the current directory into buffer. Returns the length of the
    // full path without its NUL when it fitted, a value of at least bufferSize when the
    // buffer was too small, and 0 on any other failure.
    virtual std::size_t resolveFullPath(const char* path, char* buffer, std::size_t bufferSize) = 0;
    // True for any existing file-system object, directories included.
    virtual bool exists(const char* fullPath) = 0;
};
