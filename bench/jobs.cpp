#include "jobs.h"

#include "call_arguments.h"
#include "call_result.h"
#include "direct_use.h"
#include "documents.h"
#include "zero_cost_heap.h"
#ifdef _WIN32
#include "dll_exports.h"
#else
#include "export_access.h"
#endif

namespace bench {

namespace {

using Text = std::shared_ptr<const std::string>;
using Buffer = std::shared_ptr<std::vector<double>>;

template <typename Call>
Variant variantOf(Call call) {
    return Variant{[call] { consume(call()); }, [call] { return describe(call()); }};
}

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;
// At 4.9 MB a call needs about the 64 MiB the pool keeps; at 16 MiB far more.
const std::size_t kDocumentSizes[] = {1 * kKiB, 16 * kKiB, 64 * kKiB, 1 * kMiB, 4900000, 16 * kMiB};
const int kMatrixRows[] = {10, 100, 400, 1000, 10000, 100000};
// Paths: selectText on the readers' documents from 4 KiB to 1 MiB, and the lists of values.
const std::size_t kPathDocumentSizes[] = {4 * kKiB, 16 * kKiB, 64 * kKiB, 1 * kMiB};
const int kListCounts[] = {1000, 10000, 100000};

// The direct use with every allocation a pointer bump and no free.
Variant atZeroCost(const Variant& direct) {
    return Variant{[timed = direct.timed] {
                       ZeroCostScope scope;
                       timed();
                   },
                   [answer = direct.answer] {
                       std::string bumped;
                       {
                           ZeroCostScope scope;
                           bumped = answer();
                       }
                       // A copy on the ordinary heap, before the region is bumped again.
                       return std::string(bumped);
                   }};
}

Job job(const char* family, const char* exportName, const char* document, const Text& text,
        Variant library, Variant direct) {
    Variant limit = atZeroCost(direct);
    return Job{family,          exportName,         document,
               text->size(),    std::move(library), std::move(direct),
               std::move(limit)};
}

void addReaders(std::vector<Job>& jobs, const char* document, const Text& text) {
    jobs.push_back(job(
        "readers", "getStringValue", document, text,
        variantOf([text] { return Exports::getStringValue(argument(text), argument(kTextName)); }),
        variantOf([text] { return direct::stringValue(text->c_str(), kTextName); })));
    jobs.push_back(
        job("readers", "getIntegerValue", document, text, variantOf([text] {
                return Exports::getIntegerValue(argument(text), argument(kIntegerName));
            }),
            variantOf([text] { return direct::integerValue(text->c_str(), kIntegerName); })));
    jobs.push_back(
        job("readers", "getDoubleValue", document, text, variantOf([text] {
                return Exports::getDoubleValue(argument(text), argument(kDoubleName));
            }),
            variantOf([text] { return direct::doubleValue(text->c_str(), kDoubleName); })));
}

void addAppend(std::vector<Job>& jobs, const char* document, const Text& text, const char* parent) {
    jobs.push_back(
        job("builder", "appendXMLChild", document, text, variantOf([text, parent] {
                return Exports::appendXMLChild(argument(text), argument("added"), argument(parent),
                                               argument("New value 17"), false);
            }),
            variantOf([text, parent] {
                return direct::appendChild(text->c_str(), "added", parent, "New value 17");
            })));
}

// Each variant fills its own buffer, so that the two answers can be told apart.
void add1DArray(std::vector<Job>& jobs, const Text& text) {
    const int count = settingsCount(*text);
    Buffer library = std::make_shared<std::vector<double>>(count);
    Buffer direct = std::make_shared<std::vector<double>>(count);
    jobs.push_back(job("arrays", "getDouble1DArray", "settings", text, variantOf([text, library] {
                           Exports::getDouble1DArray(argument(text), argument(kSettingsRoot),
                                                     library->data(),
                                                     static_cast<int>(library->size()));
                           return static_cast<const std::vector<double>*>(library.get());
                       }),
                       variantOf([text, direct] {
                           direct::double1DArray(text->c_str(), kSettingsRoot, direct->data(),
                                                 static_cast<int>(direct->size()));
                           return static_cast<const std::vector<double>*>(direct.get());
                       })));
}

void addMatrix(std::vector<Job>& jobs, const Text& text, int rows) {
    const std::size_t count = static_cast<std::size_t>(rows) * kMatrixColumns;
    Buffer library = std::make_shared<std::vector<double>>(count);
    Buffer direct = std::make_shared<std::vector<double>>(count);
    jobs.push_back(job("arrays", "getDouble2DArray", "matrix", text, variantOf([text, library] {
                           Exports::getDouble2DArray(argument(text), argument(kMatrixName),
                                                     library->data(),
                                                     static_cast<int>(library->size()));
                           return static_cast<const std::vector<double>*>(library.get());
                       }),
                       variantOf([text, direct] {
                           direct::double2DArray(text->c_str(), kMatrixName, direct->data(),
                                                 static_cast<int>(direct->size()));
                           return static_cast<const std::vector<double>*>(direct.get());
                       })));
    jobs.push_back(
        job("arrays", "getDoubleArrayRows", "matrix", text, variantOf([text] {
                return Exports::getDoubleArrayRows(argument(text), argument(kMatrixName));
            }),
            variantOf([text] { return direct::arrayRows(text->c_str(), kMatrixName); })));
    jobs.push_back(
        job("arrays", "getDoubleArrayColumns", "matrix", text, variantOf([text] {
                return Exports::getDoubleArrayColumns(argument(text), argument(kMatrixName));
            }),
            variantOf([text] { return direct::arrayColumns(text->c_str(), kMatrixName); })));
}

// selectText of the element that getStringValue finds by name: from the root down in the
// settings, at any depth in the tree. The readers' jobs on the same documents give
// getStringValue's own time.
void addSelectText(std::vector<Job>& jobs, const char* document, const Text& text,
                   const char* path) {
    jobs.push_back(
        job("paths", "selectText", document, text,
            variantOf([text, path] { return Exports::selectText(argument(text), argument(path)); }),
            variantOf([text] { return direct::stringValue(text->c_str(), kTextName); })));
    jobs.push_back(job(
        "paths", "getStringValue", document, text,
        variantOf([text] { return Exports::getStringValue(argument(text), argument(kTextName)); }),
        variantOf([text] { return direct::stringValue(text->c_str(), kTextName); })));
}

// Every value of a list in one call: as numbers (against the 1D array's direct use) and as
// texts.
void addList(std::vector<Job>& jobs, int count) {
    const Text text = std::make_shared<const std::string>(listDocument(count));
    Buffer library = std::make_shared<std::vector<double>>(count);
    Buffer direct = std::make_shared<std::vector<double>>(count);
    static const std::string path = std::string(kListName) + "/" + kListItem;
    jobs.push_back(job("paths", "selectDoubles", "list", text, variantOf([text, library] {
                           Exports::selectDoubles(argument(text), argument(path.c_str()),
                                                  library->data(),
                                                  static_cast<int>(library->size()));
                           return static_cast<const std::vector<double>*>(library.get());
                       }),
                       variantOf([text, direct] {
                           direct::double1DArray(text->c_str(), kListName, direct->data(),
                                                 static_cast<int>(direct->size()));
                           return static_cast<const std::vector<double>*>(direct.get());
                       })));
    jobs.push_back(job("paths", "selectTexts", "list", text, variantOf([text] {
                           return Exports::selectTexts(argument(text), argument(path.c_str()));
                       }),
                       variantOf([text] { return direct::childTexts(text->c_str(), kListName); })));
}

}  // namespace

const VariantChoice kVariants[3] = {
    {"library", &Job::library},
    {"direct", &Job::direct},
    {"limit", &Job::limit},
};

std::string runName(const Job& job, const char* variant) {
    return job.family + "/" + job.exportName + "/" + job.document + "/" +
           std::to_string(job.textBytes) + "/" + variant;
}

std::string answerMismatch(const Job& job, const VariantChoice& choice) {
    if ((job.*choice.variant).answer() == job.direct.answer()) {
        return std::string();
    }
    return runName(job, choice.name) + " disagrees with the direct use";
}

std::vector<Job> allJobs() {
    std::vector<Job> jobs;
    for (std::size_t bytes : kDocumentSizes) {
        const Text settings = std::make_shared<const std::string>(settingsDocument(bytes));
        const Text tree = std::make_shared<const std::string>(treeDocument(bytes));
        addReaders(jobs, "settings", settings);
        addReaders(jobs, "tree", tree);
        add1DArray(jobs, settings);
        addAppend(jobs, "settings", settings, kSettingsRoot);
        addAppend(jobs, "tree", tree, kTreeParent);
    }
    for (int rows : kMatrixRows) {
        addMatrix(jobs, std::make_shared<const std::string>(matrixDocument(rows)), rows);
    }
    for (std::size_t bytes : kPathDocumentSizes) {
        addSelectText(jobs, "settings",
                      std::make_shared<const std::string>(settingsDocument(bytes)),
                      "settings/title");
        addSelectText(jobs, "tree", std::make_shared<const std::string>(treeDocument(bytes)),
                      "//title");
    }
    for (int count : kListCounts) {
        addList(jobs, count);
    }
    return jobs;
}

}  // namespace bench
