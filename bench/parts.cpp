#include "parts.h"

#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include <memory>
#include <string>
#include <vector>

#include "document/nesting_scan.h"
#include "document/text_guard.h"
#include "documents.h"

namespace bench {

namespace {

using Text = std::shared_ptr<const std::string>;

void parseAndDestroy(benchmark::State& state, const Text& text) {
    for (auto _ : state) {
        TiXmlDocument document;
        document.Parse(text->c_str(), nullptr, TIXML_ENCODING_UTF8);
        benchmark::DoNotOptimize(document.FirstChild());
    }
}

void guardedCopy(benchmark::State& state, const Text& text) {
    for (auto _ : state) {
        pelzor::GuardedText guarded(text->c_str());
        benchmark::DoNotOptimize(guarded.c_str());
    }
}

// The scan reads a text followed by NUL padding, as the guarded copy provides it.
void nestingScan(benchmark::State& state, const Text& text) {
    std::string padded = *text + std::string(pelzor::kGuardPadding, '\0');
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            pelzor::nestingCutOffset(padded.data(), text->size(), pelzor::kMaxNestingDepth));
    }
}

// How fast one pass over the text can go when it stops only at the bytes where a reading
// of XML text has something to decide: '<', '&', bytes from 0x80 up (UTF-8 sequences) and
// the terminating NUL. The floor for any scan that reads the text byte by byte.
void tablePass(benchmark::State& state, const Text& text) {
    bool stops[256] = {};
    stops[0] = stops[static_cast<unsigned char>('<')] = stops[static_cast<unsigned char>('&')] =
        true;
    for (int byte = 0x80; byte < 256; ++byte) {
        stops[byte] = true;
    }
    for (auto _ : state) {
        std::size_t stopped = 0;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text->c_str());
             *p != 0; ++p) {
            while (!stops[*p]) {
                ++p;
            }
            stopped += *p == '<';
            if (*p == 0) {
                break;
            }
        }
        benchmark::DoNotOptimize(stopped);
    }
}

void add(const char* piece, void (*run)(benchmark::State&, const Text&), const char* document,
         const Text& text) {
    const std::string name =
        std::string("parts/") + piece + "/" + document + "/" + std::to_string(text->size());
    benchmark::RegisterBenchmark(name.c_str(), [run, text](benchmark::State& state) {
        run(state, text);
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text->size()));
    })->Unit(benchmark::kMicrosecond);
}

}  // namespace

void registerParts() {
    for (std::size_t bytes : {std::size_t{64} << 10, std::size_t{1} << 20}) {
        const Text settings = std::make_shared<const std::string>(settingsDocument(bytes));
        const Text tree = std::make_shared<const std::string>(treeDocument(bytes));
        for (const auto& [document, text] :
             {std::pair{"settings", settings}, std::pair{"tree", tree}}) {
            add("parse", parseAndDestroy, document, text);
            add("guardedText", guardedCopy, document, text);
            add("nestingScan", nestingScan, document, text);
            add("tablePass", tablePass, document, text);
        }
    }
}

}  // namespace bench
