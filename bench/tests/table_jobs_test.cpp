#include "table_jobs.h"

#include <gtest/gtest.h>

#include <string>

#include "documents.h"
#include "export_access.h"
#include "table_values.h"

namespace {

std::string tableOf(const std::string& document) {
    OwnedVariant table;
    const int count =
        Exports::selectTable(Arg(document), Arg("records/record"), Arg(""), table.get());
    return std::to_string(count) + "\n" + tableText(table.value);
}

// The records document is what buildTable prints for its own table, byte for byte, so the
// comparisons build the very document they read; the chain of appendXMLChild calls builds the
// same records.
TEST(TableComparisons, BuildTheDocumentTheyRead) {
    const std::string document = bench::recordsDocument(50);
    OwnedVariant table;
    ASSERT_EQ(Exports::selectTable(Arg(document), Arg("records/record"), Arg(""), table.get()), 50);
    EXPECT_EQ(takeResult(Exports::buildTable(Arg("records"), Arg("record"), table.get())),
              document);
    for (const bench::Comparison& comparison : bench::allComparisons()) {
        if (comparison.referenceName == "appendXMLChild-chain" && comparison.records == 1000) {
            EXPECT_EQ(tableOf(comparison.reference.answer()),
                      tableOf(bench::recordsDocument(1000)));
            EXPECT_EQ(comparison.measured.answer(), bench::recordsDocument(1000));
        }
    }
}

TEST(TableComparisons, MeasureBothExportsOnTenThousandRecordsOfTenFields) {
    int judged = 0;
    for (const bench::Comparison& comparison : bench::allComparisons()) {
        if (comparison.target > 0) {
            ++judged;
            EXPECT_EQ(comparison.records, 10000);
            EXPECT_EQ(comparison.reference.answer(), "Element does not exist");
        }
    }
    EXPECT_EQ(judged, 2);
    // Ten fields, numbers among them.
    EXPECT_EQ(tableOf(bench::recordsDocument(2)),
              "2\n\"id\" | \"sku\" | \"name\" | \"qty\" | \"price\" | \"currency\" | \"date\" | "
              "\"status\" | \"ratio\" | \"note\"\n"
              "#0 | \"SKU-100000\" | \"Item 0\" | #1 | #0.5 | \"USD\" | \"2026-12-10\" | "
              "\"closed\" | #0.25 | \"Blue sky 0\"\n"
              "#1 | \"SKU-100001\" | \"Item 1\" | #2 | #1.5 | \"EUR\" | \"2026-12-11\" | "
              "\"open\" | #0.25 | \"Blue sky 1\"\n");
}

}  // namespace
