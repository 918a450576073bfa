#include "document/printed_result.h"

#include "text/result_string.h"

namespace pelzor {

wchar_t* printedResult(const TiXmlDocument& document) {
    TiXmlPrinter printer;
    document.Accept(&printer);
    return makeResultBytes(printer.CStr(), printer.Size());
}

}  // namespace pelzor
