// The numeric array getters on arbitrary text, with a buffer of exactly `count` doubles.
#include <vector>

#include "export_access.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int count = size > 0 ? data[size - 1] % 64 : 0;
    std::vector<double> values(static_cast<std::size_t>(count) + 1);
    Exports::getDoubleArrayRows(input.text.get(), input.name.get());
    Exports::getDoubleArrayColumns(input.text.get(), input.name.get());
    Exports::getDouble1DArray(input.text.get(), input.name.get(), values.data(), count);
    Exports::getDouble2DArray(input.text.get(), input.name.get(), values.data(), count);
    return 0;
}
