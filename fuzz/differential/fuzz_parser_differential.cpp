// The differential fuzz target: every input is parsed by the parser the library ships (with
// the project's patches) and by the unmodified one (Debian's source with its two security
// patches only), both in this process, and the library's exports run on each. The printed
// documents, the trees node by node and every export's answer must be byte for byte the
// same; the first difference is printed and the run stops.
//
// One difference is intended: the patched parser reads a document type declaration with an
// internal subset ("<!DOCTYPE a [<!ELEMENT a ANY>]>") to the '>' that closes it, where the
// unmodified one stops at the subset's first '>'. For such a text the unmodified parser is
// handed the text with each subset taken out and one placeholder byte left in its place
// (internal_subset.h); in the patched tree each such declaration has its subset replaced by
// the same byte. Then everything must be the same again, and the subsets the patched parser
// kept must be exactly those taken out.
//
// On the unmodified side appendXMLChild prints with the unmodified parser's own printer
// (reference_printer.cpp), so the library's printer is held to it: byte for byte where no text
// or attribute value holds an '&' followed by "#x", and otherwise byte for byte with what that
// printer writes when each '&' of a value is written "&amp;", as the library's printer writes
// it (the unmodified printer passes "&#x" up to the next ';' through unescaped).
//
// Input: an element name up to the first NUL (at most 16 bytes), then the document text.
// The exports are asked about that name and the first few element names of the tree.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../fuzz_input.h"
#include "internal_subset.h"
#include "parser_view.h"
#include "reference_printer.h"

namespace {

// The parser's known overrun: a text that ends inside a UTF-8 sequence makes it step over
// the terminating NUL. The library reads a copy with NUL bytes behind it; so does this.
std::string padded(const std::string& text) {
    return text + std::string(16, '\0');
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

std::string joined(const std::vector<std::string>& subsets) {
    std::string out;
    for (const std::string& subset : subsets) {
        out += std::to_string(subset.size()) + ':' + subset + '\n';
    }
    return out;
}

bool holdsAnInternalSubset(const std::string& text) {
    static const char kKeyword[] = "<!DOCTYPE";
    SubsetSpan span;
    for (std::size_t at = text.find(kKeyword); at != std::string::npos;
         at = text.find(kKeyword, at + 1)) {
        if (findInternalSubset(text, at + sizeof kKeyword - 1, span)) {
            return true;
        }
    }
    return false;
}

// A document the unmodified library printed, with each placeholder turned back into the
// subset it stands for: the printer writes a declaration it keeps unread byte for byte.
std::string withSubsets(const std::string& printed, char placeholder,
                        const std::vector<std::string>& subsets) {
    std::string out;
    std::size_t next = 0;
    for (char c : printed) {
        if (c != placeholder || placeholder == 0 || next == subsets.size()) {
            out += c;
            continue;
        }
        out += subsets[next++];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string text = input.text.get();
    const char placeholder = subsetPlaceholderFor(text);
    if (placeholder == 0 && holdsAnInternalSubset(text)) {
        return 0;  // every placeholder byte is taken: nothing can stand for a subset
    }

    PlaceholderText exportsText{text, {}};
    std::vector<std::string> names;
    for (ViewEncoding encoding : {ViewEncoding::utf8, ViewEncoding::unknown}) {
        const PlaceholderText unpatchedText = placeholder != 0
                                                  ? withSubsetsReplaced(text, encoding, placeholder)
                                                  : PlaceholderText{text, {}};
        const ParseView patched =
            patched_parser::viewParse(padded(text).c_str(), encoding, placeholder);
        const ParseView unpatched =
            unpatched_parser::viewParse(padded(unpatchedText.text).c_str(), encoding, 0);
        requireSame("the parse", text, patched.description, unpatched.description);
        requireSame("the internal subsets", text, joined(patched.subsets),
                    joined(unpatchedText.subsets));
        if (encoding == ViewEncoding::utf8) {
            exportsText = unpatchedText;
            names = unpatched.elementNames;
        }
    }
    requireSame("the made element", text, patched_parser::viewMadeElement(text.c_str()),
                unpatched_parser::viewMadeElement(text.c_str()));

    // The library reads as UTF-8.
    names.insert(names.begin(), input.name.get());
    for (const std::string& name : names) {
        const std::string what = "the exports' answers for \"" + name + "\"";
        const ExportAnswers patched = patched_parser::viewExports(text.c_str(), name.c_str());
        const ExportAnswers unpatched =
            unpatched_parser::viewExports(exportsText.text.c_str(), name.c_str());
        requireSame(what.c_str(), text, patched.values, unpatched.values);
        if (unpatched.appended == kNoReference || unpatched.appendedUnescaped == kNoReference) {
            continue;
        }
        requireSame((what + ", appended").c_str(), text, patched.appended,
                    withSubsets(unpatched.appended, placeholder, exportsText.subsets));
        requireSame((what + ", appended unescaped").c_str(), text, patched.appendedUnescaped,
                    withSubsets(unpatched.appendedUnescaped, placeholder, exportsText.subsets));
    }
    return 0;
}
