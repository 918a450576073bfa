#include "document/printed_result.h"

#include "document/printer.h"
#include "text/result_string.h"

namespace pelzor {

// Counted first, then written straight into the result string: no growing buffer, no copy.
wchar_t* printedResult(const TiXmlDocument& document) {
    const TextInPlace none{nullptr, nullptr, nullptr};
    char* bytes = nullptr;
    wchar_t* result = makeResultToWrite(printDocument(document, none, nullptr), bytes);
    if (result != nullptr) {
        printDocument(document, none, bytes);
    }
    return result;
}

}  // namespace pelzor
