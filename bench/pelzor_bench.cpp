// The benchmark suite: every job three times, through the export ("library"), with the
// parser used directly ("direct") and with that direct use at the zero-cost allocation
// limit ("limit"), named family/export/document/bytes/variant. Before a job is timed, each
// variant runs once: its answer must agree with the direct use's, and that run's heap use
// is reported with the timings as counters (allocations, alloc_bytes, peak_heap per call,
// text_bytes).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "counting_heap.h"
#include "jobs.h"
#include "memory/call_memory.h"
#include "parts.h"
#include "table_jobs.h"

namespace {

// The first run of a job's variant: checks the answer and counts the heap, once.
struct Preflight {
    bool done = false;
    std::string error;
    bench::HeapUse heap;
};

void runPreflight(const bench::Job& job, const bench::VariantChoice& choice, Preflight& preflight) {
    if (preflight.done) {
        return;
    }
    preflight.done = true;
    preflight.error = bench::answerMismatch(job, choice);
    if (!preflight.error.empty()) {
        return;
    }
    // The pool of chunks that the library keeps between calls starts empty, so that the
    // call's peak counts every chunk it holds, whether it came from the pool or not.
    pelzor::CallMemory::releasePool();
    preflight.heap = bench::measureHeap((job.*choice.variant).timed);
}

void measure(benchmark::State& state, const bench::Job& job, const bench::VariantChoice& choice,
             Preflight& preflight) {
    runPreflight(job, choice, preflight);
    if (!preflight.error.empty()) {
        state.SkipWithError(preflight.error.c_str());
        return;
    }
    const bench::Variant& variant = job.*choice.variant;
    for (auto _ : state) {
        variant.timed();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * job.textBytes));
    state.counters["text_bytes"] = static_cast<double>(job.textBytes);
    state.counters["allocations"] = static_cast<double>(preflight.heap.allocations);
    state.counters["alloc_bytes"] = static_cast<double>(preflight.heap.bytes);
    state.counters["peak_heap"] = static_cast<double>(preflight.heap.peak);
}

void registerJob(const std::shared_ptr<const bench::Job>& job) {
    for (const bench::VariantChoice& choice : bench::kVariants) {
        auto preflight = std::make_shared<Preflight>();
        benchmark::RegisterBenchmark(bench::runName(*job, choice.name).c_str(),
                                     [job, &choice, preflight](benchmark::State& state) {
                                         measure(state, *job, choice, *preflight);
                                     })
            ->Unit(benchmark::kMicrosecond);
    }
}

// Both sides of a comparison, with its own name each; the report divides one by the other.
void registerComparison(const std::shared_ptr<const bench::Comparison>& comparison) {
    for (bool measured : {true, false}) {
        const bench::Variant& side = measured ? comparison->measured : comparison->reference;
        benchmark::RegisterBenchmark(bench::comparisonName(*comparison, measured).c_str(),
                                     [comparison, &side](benchmark::State& state) {
                                         for (auto _ : state) {
                                             side.timed();
                                         }
                                         state.counters["text_bytes"] =
                                             static_cast<double>(comparison->textBytes);
                                     })
            ->Unit(benchmark::kMicrosecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Freed blocks are merged at once instead of waiting in glibc's fast bins until the next
    // large request. Otherwise a call that happens to make one large allocation (the
    // library's copy of the text) gets its tree nodes from freshly merged memory while the
    // direct use gets them scattered, and the parse runs up to twice as fast for that reason
    // alone. Both variants run on the same heap behaviour this way.
    mallopt(M_MXFAST, 0);
    // Freed memory stays with the process, as the Windows heap keeps it, instead of going back
    // to the system whenever the top of the heap is free. Otherwise whichever variant happens
    // to free a large block last makes the next call fault its pages in again, which on this
    // sandboxed machine costs more than the parse of a small document.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    for (bench::Job& job : bench::allJobs()) {
        registerJob(std::make_shared<const bench::Job>(std::move(job)));
    }
    for (bench::Comparison& comparison : bench::allComparisons()) {
        registerComparison(std::make_shared<const bench::Comparison>(std::move(comparison)));
    }
    bench::registerParts();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
