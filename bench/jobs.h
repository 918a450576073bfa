#pragma once
// The measured jobs: each export on the documents it is made for, at every size, paired
// with the direct use of the parser for the same job on the same text, and with that direct
// use again at the zero-cost allocation limit.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// One way of doing a job: `timed` makes the call and drops its result; `answer` makes it
// and describes its result.
struct Variant {
    std::function<void()> timed;
    std::function<std::string()> answer;
};

struct Job {
    std::string family;      // readers, arrays or builder
    std::string exportName;  // the export measured
    std::string document;    // settings, matrix or tree
    std::size_t textBytes;   // length of the document text
    Variant library;         // through the export
    Variant direct;          // the parser used directly
    Variant limit;           // the direct use with zero-cost allocation (ZeroCostScope)
};

// The documents are generated once and kept for the life of the returned jobs.
std::vector<Job> allJobs();

// The three ways of doing a job, in the order both harnesses report them.
struct VariantChoice {
    const char* name;
    const Variant Job::*variant;
};
extern const VariantChoice kVariants[3];

// The name of a job's variant in every report: family/export/document/bytes/variant.
std::string runName(const Job& job, const char* variant);

// Checks a variant's answer against the direct use's: empty when they agree, else what is
// wrong, naming the run.
std::string answerMismatch(const Job& job, const VariantChoice& choice);

}  // namespace bench
