#include "windows_file_system.h"

#include <windows.h>

#include <shlwapi.h>

std::size_t WindowsFileSystem::resolveFullPath(const char* path, char* buffer,
                                               std::size_t bufferSize) {
    const DWORD length = GetFullPathNameA(path, static_cast<DWORD>(bufferSize), buffer, nullptr);
    // Some implementations refuse a full path beyond MAX_PATH outright instead of telling
    // the size it needs; that is a path too long all the same.
    if (length == 0 && GetLastError() == ERROR_FILENAME_EXCED_RANGE) {
        return bufferSize;
    }
    return length;
}

bool WindowsFileSystem::exists(const char* fullPath) {
    return PathFileExistsA(fullPath) != FALSE;
}
