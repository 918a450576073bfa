#pragma once
// The exports of the real pelzor.dll, loaded at run time, under the same names as the
// native benchmark's Exports (export_access.h), so that the jobs call the DLL in the Windows
// build of the benchmark.

#include <windows.h>

#include <oleauto.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "export_table.h"

struct DllExports {
    static wchar_t* appendXMLChild(char* xml, char* child, char* parent, char* text,
                                   bool unescape) {
        return current()->append(xml, child, parent, text, unescape);
    }
    static bool getDouble1DArray(char* xml, char* name, double* values, int count) {
        return current()->array1D(xml, name, values, count);
    }
    static bool getDouble2DArray(char* xml, char* name, double* values, int count) {
        return current()->array2D(xml, name, values, count);
    }
    static int getDoubleArrayColumns(char* xml, char* name) {
        return current()->columns(xml, name);
    }
    static int getDoubleArrayRows(char* xml, char* name) { return current()->rows(xml, name); }
    static double getDoubleValue(char* xml, char* name) {
        return current()->doubleValue(xml, name);
    }
    static int getIntegerValue(char* xml, char* name) { return current()->integerValue(xml, name); }
    static wchar_t* getStringValue(char* xml, char* name) {
        return current()->stringValue(xml, name);
    }
    static wchar_t* selectText(char* xml, char* path) { return current()->selectText(xml, path); }
    static wchar_t* selectTexts(char* xml, char* path) { return current()->selectTexts(xml, path); }
    static int selectDoubles(char* xml, char* path, double* values, int count) {
        return current()->selectDoubles(xml, path, values, count);
    }
    static wchar_t* createBlankXML(char* root) { return current()->createBlank(root); }
    static int selectTable(char* xml, char* records, char* columns, VARIANT* table) {
        return current()->selectTable(xml, records, columns, table);
    }
    static wchar_t* buildTable(char* root, char* record, VARIANT* table) {
        return current()->buildTable(root, record, table);
    }

    // Loads a second DLL, built from other sources, whose exports stand in for pelzor.dll's
    // while useBaseline(true) holds: the same jobs time both DLLs in one run. False when it
    // cannot be loaded or lacks one of the exports every build has.
    static bool loadBaseline(const char* path) {
        dll();  // pelzor.dll first, so that its name finds it and not the baseline
        HMODULE module = LoadLibraryA(path);
        return module != nullptr && bindAll(module, baseline());
    }
    // Whether the baseline has `exportName` (the path exports may be missing).
    static bool baselineHas(const std::string& exportName) {
        for (const std::string& missing : baseline().missing) {
            if (missing == exportName) {
                return false;
            }
        }
        return true;
    }
    static void useBaseline(bool use) { current() = use ? &baseline() : &dll(); }

private:
    struct Loaded {
        wchar_t*(WINAPI* append)(char*, char*, char*, char*, bool);
        bool(WINAPI* array1D)(char*, char*, double*, int);
        bool(WINAPI* array2D)(char*, char*, double*, int);
        int(WINAPI* columns)(char*, char*);
        int(WINAPI* rows)(char*, char*);
        double(WINAPI* doubleValue)(char*, char*);
        int(WINAPI* integerValue)(char*, char*);
        wchar_t*(WINAPI* stringValue)(char*, char*);
        wchar_t*(WINAPI* selectText)(char*, char*);
        wchar_t*(WINAPI* selectTexts)(char*, char*);
        int(WINAPI* selectDoubles)(char*, char*, double*, int);
        wchar_t*(WINAPI* createBlank)(char*);
        int(WINAPI* selectTable)(char*, char*, char*, VARIANT*);
        wchar_t*(WINAPI* buildTable)(char*, char*, VARIANT*);
        std::vector<std::string> missing;
    };

    template <typename Function>
    static void bind(HMODULE module, const char* function, Function& address, Loaded& loaded) {
        FARPROC found = GetProcAddress(module, decoratedName(exportOf(function)));
        address = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
        if (found == nullptr) {
            loaded.missing.push_back(function);
        }
    }

    // Binds every export; true when those every build has are all there (the path exports
    // came later).
    static bool bindAll(HMODULE module, Loaded& l) {
        bind(module, "appendXMLChild", l.append, l);
        bind(module, "getDouble1DArray", l.array1D, l);
        bind(module, "getDouble2DArray", l.array2D, l);
        bind(module, "getDoubleArrayColumns", l.columns, l);
        bind(module, "getDoubleArrayRows", l.rows, l);
        bind(module, "getDoubleValue", l.doubleValue, l);
        bind(module, "getIntegerValue", l.integerValue, l);
        bind(module, "getStringValue", l.stringValue, l);
        const bool complete = l.missing.empty();
        bind(module, "selectText", l.selectText, l);
        bind(module, "selectTexts", l.selectTexts, l);
        bind(module, "selectDoubles", l.selectDoubles, l);
        bind(module, "createBlankXML", l.createBlank, l);
        bind(module, "selectTable", l.selectTable, l);
        bind(module, "buildTable", l.buildTable, l);
        return complete;
    }

    static Loaded& baseline() {
        static Loaded loaded{};
        return loaded;
    }

    static const Loaded*& current() {
        static const Loaded* chosen = &dll();
        return chosen;
    }

    static const Loaded& dll() {
        static const Loaded loaded = [] {
            Loaded l{};
            HMODULE module = LoadLibraryA("pelzor.dll");
            if (module == nullptr || !bindAll(module, l) || !l.missing.empty()) {
                std::abort();
            }
            return l;
        }();
        return loaded;
    }
};

using Exports = DllExports;
