// Runs one variant of the benchmark's jobs a fixed number of times, for a profiler: under
// callgrind (`valgrind --tool=callgrind --instr-atstart=no`) only the measured calls are
// instrumented, after the documents are made and the warm-up calls have filled the
// library's pool, so the counts are those of a call in a steady run, repeatable to the
// instruction.
//
// usage: pelzor_profile RUN-REGEX VARIANT [CALLS] [WARM-UP CALLS]
//   RUN-REGEX picks jobs by their run names (family/export/document/bytes, as the reports
//   name them), VARIANT is library, direct or limit; 5 calls after 3 by default.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "jobs.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

namespace {

// Apart, so that a profile can be cut at it (`--toggle-collect=*measuredCalls*`) too.
[[gnu::noinline]] void measuredCalls(const bench::Variant& variant, int calls) {
    for (int i = 0; i < calls; ++i) {
        variant.timed();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: pelzor_profile RUN-REGEX VARIANT [CALLS] [WARM-UP CALLS]\n");
        return 2;
    }
    const std::regex runs(argv[1]);
    const bench::VariantChoice* choice = nullptr;
    for (const bench::VariantChoice& candidate : bench::kVariants) {
        if (std::strcmp(candidate.name, argv[2]) == 0) {
            choice = &candidate;
        }
    }
    if (choice == nullptr) {
        std::fprintf(stderr, "pelzor_profile: no variant %s (library, direct, limit)\n", argv[2]);
        return 2;
    }
    const int calls = argc > 3 ? std::atoi(argv[3]) : 5;
    const int warmUp = argc > 4 ? std::atoi(argv[4]) : 3;
    int matched = 0;
    for (const bench::Job& job : bench::allJobs()) {
        const std::string name = bench::runName(job, choice->name);
        if (!std::regex_search(name, runs)) {
            continue;
        }
        ++matched;
        const bench::Variant& variant = job.*choice->variant;
        measuredCalls(variant, warmUp);
        CALLGRIND_START_INSTRUMENTATION;
        measuredCalls(variant, calls);
        CALLGRIND_STOP_INSTRUMENTATION;
        std::printf("%s: %d calls after %d\n", name.c_str(), calls, warmUp);
    }
    if (matched == 0) {
        std::fprintf(stderr, "pelzor_profile: no job matches %s\n", argv[1]);
        return 1;
    }
    return 0;
}
