#pragma once
// The library's exported interface. Macro code binds to the compiler-decorated names of
// these private static member functions, so everything that shapes those names is fixed:
// the class name, private access, static, the calling convention and the exact parameter
// types (plain char*, never const char*). A BSTR result is declared as wchar_t*.
//
// One argument is compiled differently from the name it is exported under: the bool of
// appendXMLChild. A caller fills only its low byte (VBA's True is 0xFF, other callers pass
// 1) and leaves the rest of the argument's slot as it was, while a C++ bool parameter lets
// the compiler assume the byte is 0 or 1. So the compiled function takes the whole slot as
// an integer and tests its low byte; the module-definition files export it under the name
// a bool parameter gives.

#include <cstdint>

// OLE Automation's VARIANT (oaidl.h on Windows, values/ole_native_types.h elsewhere).
struct tagVARIANT;

#if defined(_WIN32) && !defined(_WIN64)
#define PELZOR_EXPORT_CALL __stdcall
#else
#define PELZOR_EXPORT_CALL
#endif

class XML {
    // Lets the native unit tests call the exports directly; it adds no exported symbol.
    friend struct XMLExportAccess;

    XML() = delete;

    static wchar_t* PELZOR_EXPORT_CALL appendXMLChild(char* xmlText, char* childName,
                                                      char* parentName, char* childText,
                                                      std::uintptr_t unescapeTagsSlot);
    static wchar_t* PELZOR_EXPORT_CALL createBlankXML(char* rootName);
    static bool PELZOR_EXPORT_CALL getDouble1DArray(char* xmlText, char* elementName,
                                                    double* values, int count);
    static bool PELZOR_EXPORT_CALL getDouble2DArray(char* xmlText, char* elementName,
                                                    double* values, int count);
    static int PELZOR_EXPORT_CALL getDoubleArrayColumns(char* xmlText, char* elementName);
    static int PELZOR_EXPORT_CALL getDoubleArrayRows(char* xmlText, char* elementName);
    static double PELZOR_EXPORT_CALL getDoubleValue(char* xmlText, char* elementName);
    static int PELZOR_EXPORT_CALL getIntegerValue(char* xmlText, char* elementName);
    static wchar_t* PELZOR_EXPORT_CALL getStringValue(char* xmlText, char* elementName);

    // Paths: the nodes a path selects (see paths/path.h for the language).
    static int PELZOR_EXPORT_CALL checkPath(char* path);
    static wchar_t* PELZOR_EXPORT_CALL selectText(char* xmlText, char* path);
    static wchar_t* PELZOR_EXPORT_CALL selectTexts(char* xmlText, char* path);
    static int PELZOR_EXPORT_CALL selectCount(char* xmlText, char* path);
    static int PELZOR_EXPORT_CALL selectDoubles(char* xmlText, char* path, double* values,
                                                int count);

    // Tables: records to rows (a two-dimensional array of Variants), rows to records.
    static int PELZOR_EXPORT_CALL selectTable(char* xmlText, char* recordPath, char* columnPaths,
                                              tagVARIANT* table);
    static wchar_t* PELZOR_EXPORT_CALL buildTable(char* rootName, char* recordName,
                                                  tagVARIANT* table);
};
