#pragma once
// The exports of the real pelzor.dll, loaded at run time, under the same names as the
// native benchmark's Exports (export_access.h), so that the jobs call the DLL in the Windows
// build of the benchmark.

#include <windows.h>

#include <cstdlib>

#include "export_table.h"

struct DllExports {
    static wchar_t* appendXMLChild(char* xml, char* child, char* parent, char* text,
                                   bool unescape) {
        return dll().append(xml, child, parent, text, unescape);
    }
    static bool getDouble1DArray(char* xml, char* name, double* values, int count) {
        return dll().array1D(xml, name, values, count);
    }
    static bool getDouble2DArray(char* xml, char* name, double* values, int count) {
        return dll().array2D(xml, name, values, count);
    }
    static int getDoubleArrayColumns(char* xml, char* name) { return dll().columns(xml, name); }
    static int getDoubleArrayRows(char* xml, char* name) { return dll().rows(xml, name); }
    static double getDoubleValue(char* xml, char* name) { return dll().doubleValue(xml, name); }
    static int getIntegerValue(char* xml, char* name) { return dll().integerValue(xml, name); }
    static wchar_t* getStringValue(char* xml, char* name) { return dll().stringValue(xml, name); }
    static wchar_t* selectText(char* xml, char* path) { return dll().selectText(xml, path); }
    static wchar_t* selectTexts(char* xml, char* path) { return dll().selectTexts(xml, path); }
    static int selectDoubles(char* xml, char* path, double* values, int count) {
        return dll().selectDoubles(xml, path, values, count);
    }

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
    };

    template <typename Function>
    static void bind(HMODULE module, const char* function, Function& address) {
        FARPROC found = GetProcAddress(module, decoratedName(exportOf(function)));
        if (found == nullptr) {
            std::abort();
        }
        address = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
    }

    static const Loaded& dll() {
        static const Loaded loaded = [] {
            HMODULE module = LoadLibraryA("pelzor.dll");
            if (module == nullptr) {
                std::abort();
            }
            Loaded l{};
            bind(module, "appendXMLChild", l.append);
            bind(module, "getDouble1DArray", l.array1D);
            bind(module, "getDouble2DArray", l.array2D);
            bind(module, "getDoubleArrayColumns", l.columns);
            bind(module, "getDoubleArrayRows", l.rows);
            bind(module, "getDoubleValue", l.doubleValue);
            bind(module, "getIntegerValue", l.integerValue);
            bind(module, "getStringValue", l.stringValue);
            bind(module, "selectText", l.selectText);
            bind(module, "selectTexts", l.selectTexts);
            bind(module, "selectDoubles", l.selectDoubles);
            return l;
        }();
        return loaded;
    }
};

using Exports = DllExports;
