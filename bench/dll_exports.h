#pragma once
// The nine exports of the real pelzor.dll, loaded at run time, under the same names as the
// native benchmark's Exports (export_access.h), so that the jobs call the DLL in the Windows
// build of the benchmark.

#include <windows.h>

#include <cstdlib>

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
    };

    template <typename Function>
    static void bind(HMODULE module, const char* name32, const char* name64, Function& function) {
        FARPROC address = GetProcAddress(module, sizeof(void*) == 4 ? name32 : name64);
        if (address == nullptr) {
            std::abort();
        }
        function = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    }

    static const Loaded& dll() {
        static const Loaded loaded = [] {
            HMODULE module = LoadLibraryA("pelzor.dll");
            if (module == nullptr) {
                std::abort();
            }
            Loaded l{};
            bind(module, "?appendXMLChild@XML@@CGPA_WPAD000_N@Z",
                 "?appendXMLChild@XML@@CAPEA_WPEAD000_N@Z", l.append);
            bind(module, "?getDouble1DArray@XML@@CG_NPAD0PANH@Z",
                 "?getDouble1DArray@XML@@CA_NPEAD0PEANH@Z", l.array1D);
            bind(module, "?getDouble2DArray@XML@@CG_NPAD0PANH@Z",
                 "?getDouble2DArray@XML@@CA_NPEAD0PEANH@Z", l.array2D);
            bind(module, "?getDoubleArrayColumns@XML@@CGHPAD0@Z",
                 "?getDoubleArrayColumns@XML@@CAHPEAD0@Z", l.columns);
            bind(module, "?getDoubleArrayRows@XML@@CGHPAD0@Z",
                 "?getDoubleArrayRows@XML@@CAHPEAD0@Z", l.rows);
            bind(module, "?getDoubleValue@XML@@CGNPAD0@Z", "?getDoubleValue@XML@@CANPEAD0@Z",
                 l.doubleValue);
            bind(module, "?getIntegerValue@XML@@CGHPAD0@Z", "?getIntegerValue@XML@@CAHPEAD0@Z",
                 l.integerValue);
            bind(module, "?getStringValue@XML@@CGPA_WPAD0@Z", "?getStringValue@XML@@CAPEA_WPEAD0@Z",
                 l.stringValue);
            return l;
        }();
        return loaded;
    }
};

using Exports = DllExports;
