// The three value readers on arbitrary text.
#include "export_access.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    takeResult(Exports::getStringValue(input.text.get(), input.name.get()));
    Exports::getIntegerValue(input.text.get(), input.name.get());
    Exports::getDoubleValue(input.text.get(), input.name.get());
    return 0;
}
