// The five path functions and the table functions on an arbitrary path and document: the
// path is the input up to its first NUL (within the first 512 bytes), the document is the
// rest. Each text sits in
// storage of its own exact size, so that AddressSanitizer sees any read beyond it.
#include <cstring>
#include <memory>
#include <vector>

#include "export_access.h"

namespace {

std::unique_ptr<char[]> copyOf(const char* bytes, std::size_t length) {
    std::unique_ptr<char[]> out(new char[length + 1]);
    std::memcpy(out.get(), bytes, length);
    out[length] = '\0';
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(bytes, 0, size < 512 ? size : 512);
    const std::size_t pathLength = nul ? static_cast<const char*>(nul) - bytes : 0;
    const std::size_t textStart = nul ? pathLength + 1 : 0;
    auto path = copyOf(bytes, pathLength);
    auto text = copyOf(bytes + textStart, size - textStart);

    const int offset = Exports::checkPath(path.get());
    if (offset > static_cast<int>(pathLength)) {
        __builtin_trap();  // an offset beyond the path
    }
    takeResult(Exports::selectText(text.get(), path.get()));
    takeResult(Exports::selectTexts(text.get(), path.get()));
    const int count = Exports::selectCount(text.get(), path.get());
    std::vector<double> values(4);
    if (Exports::selectDoubles(text.get(), path.get(), values.data(), 3) != count ||
        (offset >= 0 && count != 0)) {
        __builtin_trap();  // the count differs between calls, or a bad path selected nodes
    }
    // The path as the records, with automatic columns, and as the columns of every element;
    // each table written back as a document.
    char everyElement[] = "//*";
    char root[] = "t";
    char record[] = "r";
    for (bool asRecords : {true, false}) {
        OwnedVariant table;
        const int records =
            asRecords ? Exports::selectTable(text.get(), path.get(), nullptr, table.get())
                      : Exports::selectTable(text.get(), everyElement, path.get(), table.get());
        if ((asRecords && offset >= 0 && records != -1) ||
            (records > 0) != (table.value.vt == (VT_ARRAY | VT_VARIANT))) {
            __builtin_trap();  // a bad path read records, or the table does not say the count
        }
        takeResult(Exports::buildTable(root, record, table.get()));
    }
    return 0;
}
