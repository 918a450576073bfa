#include "export_table.h"

#include <cstring>
#include <stdexcept>

const ExportEntry kExports[kExportCount] = {
    {1, "appendXMLChild", "?appendXMLChild@XML@@CGPA_WPAD000_N@Z",
     "?appendXMLChild@XML@@CAPEA_WPEAD000_N@Z", 20},
    {2, "createBlankXML", "?createBlankXML@XML@@CGPA_WPAD@Z", "?createBlankXML@XML@@CAPEA_WPEAD@Z",
     4},
    {3, "getDouble1DArray", "?getDouble1DArray@XML@@CG_NPAD0PANH@Z",
     "?getDouble1DArray@XML@@CA_NPEAD0PEANH@Z", 16},
    {4, "getDouble2DArray", "?getDouble2DArray@XML@@CG_NPAD0PANH@Z",
     "?getDouble2DArray@XML@@CA_NPEAD0PEANH@Z", 16},
    {5, "getDoubleArrayColumns", "?getDoubleArrayColumns@XML@@CGHPAD0@Z",
     "?getDoubleArrayColumns@XML@@CAHPEAD0@Z", 8},
    {6, "getDoubleArrayRows", "?getDoubleArrayRows@XML@@CGHPAD0@Z",
     "?getDoubleArrayRows@XML@@CAHPEAD0@Z", 8},
    {7, "getDoubleValue", "?getDoubleValue@XML@@CGNPAD0@Z", "?getDoubleValue@XML@@CANPEAD0@Z", 8},
    {8, "getIntegerValue", "?getIntegerValue@XML@@CGHPAD0@Z", "?getIntegerValue@XML@@CAHPEAD0@Z",
     8},
    {9, "getStringValue", "?getStringValue@XML@@CGPA_WPAD0@Z",
     "?getStringValue@XML@@CAPEA_WPEAD0@Z", 8},
    {10, "checkPath", "?checkPath@XML@@CGHPAD@Z", "?checkPath@XML@@CAHPEAD@Z", 4},
    {11, "selectText", "?selectText@XML@@CGPA_WPAD0@Z", "?selectText@XML@@CAPEA_WPEAD0@Z", 8},
    {12, "selectTexts", "?selectTexts@XML@@CGPA_WPAD0@Z", "?selectTexts@XML@@CAPEA_WPEAD0@Z", 8},
    {13, "selectCount", "?selectCount@XML@@CGHPAD0@Z", "?selectCount@XML@@CAHPEAD0@Z", 8},
    {14, "selectDoubles", "?selectDoubles@XML@@CGHPAD0PANH@Z",
     "?selectDoubles@XML@@CAHPEAD0PEANH@Z", 16},
    {15, "selectTable", "?selectTable@XML@@CGHPAD00PAUtagVARIANT@@@Z",
     "?selectTable@XML@@CAHPEAD00PEAUtagVARIANT@@@Z", 16},
    {16, "buildTable", "?buildTable@XML@@CGPA_WPAD0PAUtagVARIANT@@@Z",
     "?buildTable@XML@@CAPEA_WPEAD0PEAUtagVARIANT@@@Z", 12},
};

const char* decoratedName(const ExportEntry& entry) {
    return sizeof(void*) == 4 ? entry.name32 : entry.name64;
}

const ExportEntry& exportOf(const char* function) {
    for (const ExportEntry& entry : kExports) {
        if (std::strcmp(entry.function, function) == 0) {
            return entry;
        }
    }
    throw std::logic_error(function);
}
