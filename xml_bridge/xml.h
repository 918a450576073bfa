#pragma once
// The library's exported interface. Macro code binds to the compiler-decorated names of
// these private static member functions, so everything that shapes those names is fixed:
// the class name, private access, static, the calling convention and the exact parameter
// types (plain char*, never const char*). A BSTR result is declared as wchar_t*.

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
                                                      bool unescapeTags);
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

    // Paths: the nodes a path selects (see path.h for the language).
    static int PELZOR_EXPORT_CALL checkPath(char* path);
    static wchar_t* PELZOR_EXPORT_CALL selectText(char* xmlText, char* path);
    static wchar_t* PELZOR_EXPORT_CALL selectTexts(char* xmlText, char* path);
    static int PELZOR_EXPORT_CALL selectCount(char* xmlText, char* path);
    static int PELZOR_EXPORT_CALL selectDoubles(char* xmlText, char* path, double* values,
                                                int count);
};
