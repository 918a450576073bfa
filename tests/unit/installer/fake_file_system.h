#pragma once

#include <cstring>
#include <set>
#include <string>

#include "file_system.h"

// A Windows-like file system: relative paths resolve against currentDirectory, paths with
// a drive or a UNC prefix are taken as they are, and exactly the listed paths exist.
class FakeFileSystem : public FileSystem {
public:
    std::size_t resolveFullPath(const char* path, char* buffer, std::size_t bufferSize) override {
        const std::string full = resolved(path);
        if (full.size() + 1 > bufferSize) {
            return full.size() + 1;
        }
        std::memcpy(buffer, full.c_str(), full.size() + 1);
        return full.size();
    }
    bool exists(const char* fullPath) override {
        existenceQueries.insert(fullPath);
        return existing.count(fullPath) != 0;
    }

    std::string currentDirectory = "C:\\Temp";
    std::set<std::string> existing;
    std::set<std::string> existenceQueries;

private:
    std::string resolved(const std::string& path) const {
        if (path.empty()) {
            return currentDirectory;
        }
        const bool hasDrive = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
        if (hasDrive || path.rfind("\\\\", 0) == 0) {
            return path;
        }
        return currentDirectory + "\\" + path;
    }
};
