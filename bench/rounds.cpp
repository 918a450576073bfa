// The benchmark's own timing harness, for the builds where Google Benchmark is not at hand
// (the Windows build, run under Wine, where the library variant calls the real pelzor.dll);
// it builds natively as well. Every job's three variants (library, direct, limit) first
// give their answers, which must agree; then each round times every variant of every job
// once, jobs in a shuffled order and the variants in a rotating one, so that a busy moment
// on the machine is spread over all of them. Each timing runs the call often enough to
// take about --min-time seconds (wall clock); the report uses the median over the rounds.
//
// usage: pelzor_rounds [--rounds N] [--min-time SECONDS] [--filter REGEX] [--out FILE]
//                      [--baseline DLL]
// --baseline (Windows build) times a fourth variant in the same rounds, "baseline": the
// library's calls made through another build of the DLL, for a before-and-after comparison
// that the machine's drift between two runs does not blur. The table exports' comparisons
// (table_jobs.h) run in the same rounds, both sides of each one after the other.
// The output is JSON in the layout of Google Benchmark's (one "median" aggregate per run,
// named family/export/document/bytes/variant), so that report.py reads both.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "jobs.h"
#include "table_jobs.h"
#ifdef _WIN32
#include "dll_exports.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int rounds = 9;
    double minTime = 0.05;
    std::string filter = ".";
    std::string out;
    std::string baseline;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--rounds") {
            options.rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (flag == "--min-time") {
            options.minTime = std::atof(argv[i + 1]);
        } else if (flag == "--filter") {
            options.filter = argv[i + 1];
        } else if (flag == "--out") {
            options.out = argv[i + 1];
        } else if (flag == "--baseline") {
            options.baseline = argv[i + 1];
        } else {
            return false;
        }
    }
    return argc % 2 == 1;
}

// The library, direct and limit variants, then the baseline: the library's through the other DLL.
constexpr int kBaseline = 3;

// Routes the library's calls to the baseline DLL while it lives (Windows build only).
struct BaselineChosen {
    explicit BaselineChosen(bool chosen) { choose(chosen); }
    ~BaselineChosen() { choose(false); }
    static void choose(bool chosen) {
#ifdef _WIN32
        DllExports::useBaseline(chosen);
#else
        static_cast<void>(chosen);
#endif
    }
};

// The variant's choice; the baseline runs the library's calls.
const bench::VariantChoice& choiceOf(int variant) {
    return bench::kVariants[variant == kBaseline ? 0 : variant];
}

const bench::Variant& variantOf(const bench::Job& job, int variant) {
    return job.*choiceOf(variant).variant;
}

// Both sides of a comparison: the measured call, then the reference. A side whose call
// takes less than a second is called once more, untimed, right before each timing, so that
// it is timed as calls made one after the other run (its memory in use, not fetched anew
// after another job's), however few calls fill the timing.
struct ComparisonTiming {
    std::string name[2];
    long iterations[2] = {1, 1};
    bool warmUp[2] = {true, true};
    std::vector<double> microseconds[2];
};

struct Timing {
    std::string name[4];
    int variants = 3;  // 4 with the baseline
    long iterations[4] = {1, 1, 1, 1};
    std::vector<double> microseconds[4];  // per call, one per round
};

double secondsOf(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// Seconds per call over `iterations` calls.
double timeCalls(const bench::Variant& variant, long iterations) {
    const Clock::time_point start = Clock::now();
    for (long i = 0; i < iterations; ++i) {
        variant.timed();
    }
    return secondsOf(Clock::now() - start) / static_cast<double>(iterations);
}

// Seconds per call, over as many calls as fill `seconds`: one call alone may be a cold one (the
// first in the process, or the first after a large job), and would leave a fast job with too
// few calls per timing.
double calibrate(const bench::Variant& variant, double seconds) {
    const Clock::time_point start = Clock::now();
    long calls = 0;
    do {
        variant.timed();
        ++calls;
    } while (secondsOf(Clock::now() - start) < seconds);
    return secondsOf(Clock::now() - start) / static_cast<double>(calls);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: pelzor_rounds [--rounds N] [--min-time SECONDS] [--filter REGEX] "
                     "[--out FILE]\n");
        return 2;
    }
#ifdef _WIN32
    if (!options.baseline.empty() && !DllExports::loadBaseline(options.baseline.c_str())) {
        std::fprintf(stderr, "pelzor_rounds: cannot load the baseline %s\n",
                     options.baseline.c_str());
        return 1;
    }
#else
    if (!options.baseline.empty()) {
        std::fprintf(stderr, "pelzor_rounds: --baseline needs the Windows build\n");
        return 2;
    }
#endif
    const std::regex filter(options.filter);
    std::vector<bench::Job> jobs;
    std::vector<Timing> timings;
    for (bench::Job& job : bench::allJobs()) {
        Timing timing;
        for (int v = 0; v < 3; ++v) {
            timing.name[v] = bench::runName(job, bench::kVariants[v].name);
        }
        timing.name[kBaseline] = bench::runName(job, "baseline");
#ifdef _WIN32
        if (!options.baseline.empty() && DllExports::baselineHas(job.exportName)) {
            timing.variants = 4;
        }
#endif
        if (!std::regex_search(timing.name[0], filter)) {
            continue;
        }
        jobs.push_back(std::move(job));
        timings.push_back(timing);
    }

    std::vector<bench::Comparison> comparisons;
    std::vector<ComparisonTiming> comparisonTimings;
    for (bench::Comparison& comparison : bench::allComparisons()) {
        ComparisonTiming timing;
        timing.name[0] = bench::comparisonName(comparison, true);
        timing.name[1] = bench::comparisonName(comparison, false);
        if (std::regex_search(timing.name[0], filter)) {
            comparisons.push_back(std::move(comparison));
            comparisonTimings.push_back(timing);
        }
    }
    auto sideOf = [&](std::size_t c, int side) -> const bench::Variant& {
        return side == 0 ? comparisons[c].measured : comparisons[c].reference;
    };
    for (std::size_t c = 0; c < comparisons.size(); ++c) {
        for (int side = 0; side < 2; ++side) {
            const double perCall = calibrate(sideOf(c, side), options.minTime / 10);
            comparisonTimings[c].iterations[side] =
                std::max(1L, static_cast<long>(options.minTime / std::max(perCall, 1e-9)));
            comparisonTimings[c].warmUp[side] = perCall < 1.0;
        }
    }

    // Answers first, then a tenth of --min-time of calls tells how many calls fill --min-time.
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        for (int v = 0; v < timings[j].variants; ++v) {
            const BaselineChosen chosen(v == kBaseline);
            const std::string mismatch = bench::answerMismatch(jobs[j], choiceOf(v));
            if (!mismatch.empty()) {
                std::fprintf(stderr, "pelzor_rounds: %s%s\n", mismatch.c_str(),
                             v == kBaseline ? " (baseline)" : "");
                return 1;
            }
            const double perCall = calibrate(variantOf(jobs[j], v), options.minTime / 10);
            timings[j].iterations[v] =
                std::max(1L, static_cast<long>(options.minTime / std::max(perCall, 1e-9)));
        }
    }

    std::vector<std::size_t> order(jobs.size());
    for (std::size_t j = 0; j < order.size(); ++j) {
        order[j] = j;
    }
    std::mt19937 shuffle(14);
    for (int round = 0; round < options.rounds; ++round) {
        std::shuffle(order.begin(), order.end(), shuffle);
        for (std::size_t j : order) {
            const int variants = timings[j].variants;
            for (int k = 0; k < variants; ++k) {
                const int v = (k + round) % variants;
                const BaselineChosen chosen(v == kBaseline);
                timings[j].microseconds[v].push_back(
                    1e6 * timeCalls(variantOf(jobs[j], v), timings[j].iterations[v]));
            }
        }
        for (std::size_t c = 0; c < comparisons.size(); ++c) {
            for (int k = 0; k < 2; ++k) {
                const int side = (k + round) % 2;
                if (comparisonTimings[c].warmUp[side]) {
                    sideOf(c, side).timed();
                }
                comparisonTimings[c].microseconds[side].push_back(
                    1e6 * timeCalls(sideOf(c, side), comparisonTimings[c].iterations[side]));
            }
        }
        std::fprintf(stderr, "pelzor_rounds: round %d of %d done\n", round + 1, options.rounds);
    }

    FILE* out = options.out.empty() ? stdout : std::fopen(options.out.c_str(), "w");
    if (out == nullptr) {
        std::perror(options.out.c_str());
        return 1;
    }
    std::fprintf(out,
                 "{\n  \"context\": {\"harness\": \"pelzor_rounds\", \"rounds\": %d, "
                 "\"time\": \"wall clock\"},\n  \"benchmarks\": [\n",
                 options.rounds);
    bool first = true;
    auto entry = [&](const std::string& name, long iterations, double us, std::size_t bytes) {
        std::fprintf(out,
                     "%s    {\"name\": \"%s_median\", \"run_name\": \"%s\", "
                     "\"run_type\": \"aggregate\", \"aggregate_name\": \"median\", "
                     "\"iterations\": %ld, \"real_time\": %.3f, \"cpu_time\": %.3f, "
                     "\"time_unit\": \"us\", \"text_bytes\": %llu}",
                     first ? "" : ",\n", name.c_str(), name.c_str(), iterations, us, us,
                     static_cast<unsigned long long>(bytes));
        first = false;
    };
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        for (int v = 0; v < timings[j].variants; ++v) {
            entry(timings[j].name[v], timings[j].iterations[v], median(timings[j].microseconds[v]),
                  jobs[j].textBytes);
        }
    }
    for (std::size_t c = 0; c < comparisons.size(); ++c) {
        for (int side = 0; side < 2; ++side) {
            entry(comparisonTimings[c].name[side], comparisonTimings[c].iterations[side],
                  median(comparisonTimings[c].microseconds[side]), comparisons[c].textBytes);
        }
    }
    std::fprintf(out, "\n  ]\n}\n");
    if (out != stdout) {
        std::fclose(out);
    }
    return 0;
}
