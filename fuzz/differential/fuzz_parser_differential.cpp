// The differential fuzz target: every input is parsed by the parser the library ships (with
// the project's patches) and by the unmodified one (Debian's source with its two security
// patches only), both in this process, and the library's exports run on each. The printed
// documents, the trees node by node and every export's answer must be byte for byte the
// same; the first difference is printed and the run stops.
//
// Input: an element name up to the first NUL (at most 16 bytes), then the document text.
// The exports are asked about that name and the first few element names of the tree.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../fuzz_input.h"
#include "parser_view.h"

namespace {

// The parser's known overrun: a text that ends inside a UTF-8 sequence makes it step over
// the terminating NUL. The library reads a copy with NUL bytes behind it; so does this.
std::string padded(const char* text) {
    std::string copy(text);
    copy.append(16, '\0');
    return copy;
}

void requireSame(const char* what, const std::string& input, const std::string& patched,
                 const std::string& unpatched) {
    if (patched == unpatched) {
        return;
    }
    std::size_t at = 0;
    while (at < patched.size() && at < unpatched.size() && patched[at] == unpatched[at]) {
        ++at;
    }
    const std::size_t from = at > 60 ? at - 60 : 0;
    std::fprintf(stderr,
                 "differential: %s differs at byte %zu\n  input: %s\n  patched:   ...%s\n"
                 "  unpatched: ...%s\n",
                 what, at, input.c_str(), patched.substr(from, 160).c_str(),
                 unpatched.substr(from, 160).c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string text = padded(input.text.get());
    const ParseView patched = patched_parser::viewParse(text.c_str());
    const ParseView unpatched = unpatched_parser::viewParse(text.c_str());
    requireSame("the parse", input.text.get(), patched.description, unpatched.description);

    std::vector<std::string> names = unpatched.elementNames;
    names.insert(names.begin(), input.name.get());
    for (const std::string& name : names) {
        requireSame(("the exports' answers for \"" + name + "\"").c_str(), input.text.get(),
                    patched_parser::viewExports(input.text.get(), name.c_str()),
                    unpatched_parser::viewExports(input.text.get(), name.c_str()));
    }
    return 0;
}
