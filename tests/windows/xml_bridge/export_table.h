#pragma once
// The export table macro code binds to: ordinals, the decorated names of both builds and the
// bytes of arguments a 32-bit export removes. Shared by the DLL's tests and the benchmark's
// Windows harness, which bind the real pelzor.dll by these names.

struct ExportEntry {
    int ordinal;
    const char* function;
    const char* name32;
    const char* name64;
    int argumentBytes32;
};

// The export table macro code binds to, in ordinal order: the nine readers and builders,
// the five path functions, then the two table functions.
constexpr int kExportCount = 16;
extern const ExportEntry kExports[kExportCount];

// The decorated name of an export in this build's bitness.
const char* decoratedName(const ExportEntry& entry);
const ExportEntry& exportOf(const char* function);
