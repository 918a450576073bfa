#include "edit_jobs.h"

#include <gtest/gtest.h>

#include <string>

#include "documents.h"
#include "export_access.h"

namespace {

// Each edit and appendXMLChild print the document with their change made, so both sides of a
// comparison do the work of one parse and one print on the same records.
TEST(EditComparisons, EachEditChangesTheDocumentAppendXMLChildChanges) {
    int compared = 0;
    for (const bench::Comparison& comparison : bench::editComparisons()) {
        const std::string original = bench::recordsDocument(comparison.records);
        const std::string edited = comparison.measured.answer();
        const std::string appended = comparison.reference.answer();
        EXPECT_EQ(comparison.group, "edits");
        EXPECT_EQ(edited.compare(0, 5, "<?xml"), 0) << comparison.exportName;
        EXPECT_NE(edited, original) << comparison.exportName;
        EXPECT_NE(appended.find("<note>x</note>"), std::string::npos);
        if (comparison.exportName == "setValue") {
            EXPECT_EQ(takeResult(Exports::selectText(Arg(edited), Arg("records/record[1]/qty"))),
                      "7.5");
        } else if (comparison.exportName == "appendElement") {
            EXPECT_EQ(
                Exports::selectCount(Arg(edited), Arg("records/note[@id='7'][@currency='EUR']")),
                1);
        } else {
            EXPECT_EQ(Exports::selectCount(Arg(edited), Arg("records/record")),
                      comparison.records - 1);
        }
        ++compared;
    }
    EXPECT_EQ(compared, 6);
}

}  // namespace
