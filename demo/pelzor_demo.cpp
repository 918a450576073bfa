// Shows pelzor.dll at work the way macro code uses it: loads the DLL, binds the exports by
// their decorated names and reads values out of a sample document.
//
// usage: pelzor_demo PATH\TO\pelzor.dll PATH\TO\sample.xml
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

#if defined(_WIN64)
#define EXPORT_NAME(name32, name64) name64
#else
#define EXPORT_NAME(name32, name64) name32
#endif

using StringFn = wchar_t*(__stdcall*)(char*, char*);
using IntegerFn = int(__stdcall*)(char*, char*);
using DoubleFn = double(__stdcall*)(char*, char*);
using ArrayFn = bool(__stdcall*)(char*, char*, double*, int);
using BlankFn = wchar_t*(__stdcall*)(char*);
using AppendFn = wchar_t*(__stdcall*)(char*, char*, char*, char*, bool);

template <typename Fn>
Fn bind(HMODULE dll, const char* name) {
    FARPROC address = GetProcAddress(dll, name);
    if (address == nullptr) {
        std::fprintf(stderr, "missing export %s\n", name);
        std::exit(1);
    }
    // Through the generic function pointer type, which converts to any other without a
    // warning: the export's real signature is the one Fn names.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

// A result string holds 8-bit bytes; its length prefix counts them.
std::string take(wchar_t* result) {
    if (result == nullptr) {
        return "(null)";
    }
    std::string bytes(reinterpret_cast<const char*>(result), SysStringByteLen(result));
    SysFreeString(result);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pelzor_demo PELZOR_DLL SAMPLE_XML\n");
        return 2;
    }
    HMODULE dll = LoadLibraryA(argv[1]);
    if (dll == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    std::ifstream file(argv[2], std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    std::string text = content.str();
    char* xml = text.data();

    auto getString = bind<StringFn>(dll, EXPORT_NAME("?getStringValue@XML@@CGPA_WPAD0@Z",
                                                     "?getStringValue@XML@@CAPEA_WPEAD0@Z"));
    auto getInteger = bind<IntegerFn>(
        dll, EXPORT_NAME("?getIntegerValue@XML@@CGHPAD0@Z", "?getIntegerValue@XML@@CAHPEAD0@Z"));
    auto getDouble = bind<DoubleFn>(
        dll, EXPORT_NAME("?getDoubleValue@XML@@CGNPAD0@Z", "?getDoubleValue@XML@@CANPEAD0@Z"));
    auto getRows = bind<IntegerFn>(dll, EXPORT_NAME("?getDoubleArrayRows@XML@@CGHPAD0@Z",
                                                    "?getDoubleArrayRows@XML@@CAHPEAD0@Z"));
    auto getColumns = bind<IntegerFn>(dll, EXPORT_NAME("?getDoubleArrayColumns@XML@@CGHPAD0@Z",
                                                       "?getDoubleArrayColumns@XML@@CAHPEAD0@Z"));
    auto get2D = bind<ArrayFn>(dll, EXPORT_NAME("?getDouble2DArray@XML@@CG_NPAD0PANH@Z",
                                                "?getDouble2DArray@XML@@CA_NPEAD0PEANH@Z"));
    auto blank = bind<BlankFn>(
        dll, EXPORT_NAME("?createBlankXML@XML@@CGPA_WPAD@Z", "?createBlankXML@XML@@CAPEA_WPEAD@Z"));
    auto append = bind<AppendFn>(dll, EXPORT_NAME("?appendXMLChild@XML@@CGPA_WPAD000_N@Z",
                                                  "?appendXMLChild@XML@@CAPEA_WPEAD000_N@Z"));

    char title[] = "title", year[] = "year", rate[] = "rate", matrix[] = "matrix";
    std::printf("getStringValue(\"title\")  = %s\n", take(getString(xml, title)).c_str());
    std::printf("getIntegerValue(\"year\")  = %d\n", getInteger(xml, year));
    std::printf("getDoubleValue(\"rate\")   = %.4f\n", getDouble(xml, rate));
    const int rows = getRows(xml, matrix);
    const int columns = getColumns(xml, matrix);
    std::printf("matrix shape            = %d x %d\n", rows, columns);
    double values[64] = {};
    const int count = rows * columns < 64 ? rows * columns : 64;
    get2D(xml, matrix, values, count);
    std::printf("getDouble2DArray        =");
    for (int i = 0; i < count; ++i) {
        std::printf(" %g", values[i]);
    }
    std::printf("\n");

    char library[] = "library", book[] = "book", dune[] = "Dune";
    std::string document = take(blank(library));
    std::printf("createBlankXML          = %s\n", document.c_str());
    std::printf("appendXMLChild          =\n%s",
                take(append(document.data(), book, library, dune, false)).c_str());
    FreeLibrary(dll);
    return 0;
}
