// The document builders on arbitrary text, names and child text; the printed result is
// parsed again, as the next call of a macro would.
#include "export_access.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    takeResult(Exports::createBlankXML(input.name.get()));
    const bool unescape = size > 0 && (data[0] & 1) != 0;
    std::string printed = takeResult(Exports::appendXMLChild(
        input.text.get(), input.name.get(), input.name.get(), input.text.get(), unescape));
    takeResult(Exports::appendXMLChild(Arg(printed), input.name.get(), input.name.get(),
                                       input.name.get(), !unescape));
    return 0;
}
