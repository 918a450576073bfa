#include "jobs.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "call_result.h"
#include "direct_use.h"
#include "documents.h"
#include "export_access.h"
#include "zero_cost_heap.h"

namespace {

// The comparison is only fair when both sides do the same job: every job's two variants
// must give the same answer (the suite checks this again before timing).
TEST(Jobs, LibraryAndDirectUseAgreeOnEveryJobUpToOneMegabyte) {
    for (const bench::Job& job : bench::allJobs()) {
        if (job.textBytes > (2u << 20)) {
            continue;
        }
        SCOPED_TRACE(job.exportName + " on " + job.document + " of " +
                     std::to_string(job.textBytes) + " bytes");
        const std::string answer = job.direct.answer();
        EXPECT_EQ(job.library.answer(), answer);
        EXPECT_EQ(job.limit.answer(), answer);
        EXPECT_FALSE(answer.empty());
    }
}

// The limit's allocations are bumps in its region, never freed inside the scope, and all
// dropped when the scope ends; outside a scope operator new is the ordinary heap again.
TEST(ZeroCostHeap, BumpsInsideAScopeAndDropsEverythingAtItsEnd) {
    EXPECT_EQ(bench::zeroCostBytesInUse(), 0u);
    {
        bench::ZeroCostScope scope;
        // Calls of operator new itself, which the compiler may not leave out.
        auto* first = static_cast<char*>(::operator new(10));
        auto* second = static_cast<char*>(::operator new(100));
        EXPECT_EQ(second, first + 16);  // 10 bytes rounded up to 16-byte steps
        ::operator delete(first);
        auto* third = static_cast<char*>(::operator new(1));
        EXPECT_EQ(third, second + 112);  // nothing freed is taken again
        EXPECT_EQ(bench::zeroCostBytesInUse(), 16u + 112u + 16u);
        ::operator delete(second);
        ::operator delete(third);
    }
    EXPECT_EQ(bench::zeroCostBytesInUse(), 0u);
    auto outside = std::make_unique<char[]>(100);
    EXPECT_NE(outside, nullptr);
}

TEST(Jobs, CoverEveryFamilyOnItsDocumentsFromOneKilobyteToSixteenMegabytes) {
    std::set<std::string> exports;
    std::size_t smallest = SIZE_MAX;
    std::size_t largest = 0;
    for (const bench::Job& job : bench::allJobs()) {
        exports.insert(job.exportName);
        smallest = std::min(smallest, job.textBytes);
        largest = std::max(largest, job.textBytes);
    }
    // Every export that parses a document, checkPath and selectCount aside (selectText,
    // selectTexts and selectDoubles make the same selections).
    EXPECT_EQ(exports.size(), 11u);
    EXPECT_LE(smallest, 2048u);
    EXPECT_GE(largest, 16u << 20);
}

TEST(DirectUse, FindsTheSameElementsAsTheLibrary) {
    const std::string text = "<r><b><a>2</a></b><a>1</a><m><x>7</x><x>8.5</x></m></r>";
    EXPECT_EQ(bench::describe(bench::direct::stringValue(text.c_str(), "a")), "2");
    EXPECT_EQ(bench::direct::integerValue(text.c_str(), "x"), 7);
    EXPECT_EQ(bench::direct::doubleValue(text.c_str(), "missing"), 0.0);
    EXPECT_EQ(bench::direct::arrayRows(text.c_str(), "m"), 2);
    EXPECT_EQ(bench::direct::arrayColumns(text.c_str(), "r"), 1);
    double values[3] = {9, 9, 9};
    bench::direct::double1DArray(text.c_str(), "m", values, 3);
    EXPECT_EQ(values[0], 7.0);
    EXPECT_EQ(values[1], 8.5);
    EXPECT_EQ(values[2], 0.0);
}

TEST(DirectUse, AppendPrintsLikeTheLibrary) {
    const std::string text = "<?xml version=\"1.0\" ?><library><book>Dune</book></library>";
    const std::string direct =
        bench::describe(bench::direct::appendChild(text.c_str(), "book", "library", "Emma"));
    EXPECT_EQ(direct,
              "<?xml version=\"1.0\" ?>\n<library>\n    <book>Dune</book>\n"
              "    <book>Emma</book>\n</library>\n");
    Arg xml(text), child("book"), parent("library"), value("Emma");
    EXPECT_EQ(bench::describe(Exports::appendXMLChild(xml, child, parent, value, false)), direct);
    EXPECT_EQ(bench::describe(bench::direct::appendChild(text.c_str(), "x", "shelf", "1")),
              "Parent element does not exist");
}

}  // namespace
