#include "documents.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>

namespace {

// The generators must produce the sizes and shapes that the results are reported under.
class GeneratedDocuments : public ::testing::TestWithParam<std::size_t> {};

TEST_P(GeneratedDocuments, SettingsAndTreeStayCloseToTheirTargetSize) {
    const std::size_t target = GetParam();
    for (const std::string& text : {bench::settingsDocument(target), bench::treeDocument(target)}) {
        EXPECT_GE(text.size(), target * 9 / 10);
        EXPECT_LE(text.size(), target * 11 / 10 + 200);
    }
}

TEST_P(GeneratedDocuments, ParseWithoutErrorAndEndWithTheLookedUpValues) {
    for (const std::string& text :
         {bench::settingsDocument(GetParam()), bench::treeDocument(GetParam())}) {
        TiXmlDocument document;
        document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
        ASSERT_FALSE(document.Error()) << document.ErrorDesc();
        EXPECT_LT(text.rfind("<title>Quarterly report</title>"), text.rfind("<ratio>"));
        EXPECT_GT(text.rfind("<ratio>0.618034</ratio>"), text.size() - 300);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, GeneratedDocuments,
                         ::testing::Values(std::size_t{1024}, std::size_t{65536},
                                           std::size_t{1 << 20}));

TEST(SettingsDocument, CountsOneSettingPerChildOfTheRoot) {
    TiXmlDocument document;
    const std::string text = bench::settingsDocument(4096);
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    int children = 0;
    for (TiXmlElement* child = document.RootElement()->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        ++children;
    }
    EXPECT_EQ(bench::settingsCount(text), children);
}

TEST(TreeDocument, HoldsTheSummaryFourLevelsBelowTheRoot) {
    const std::string text = bench::treeDocument(16384);
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    TiXmlElement* section = document.RootElement()->LastChild()->ToElement();
    ASSERT_NE(section, nullptr);
    TiXmlElement* summary =
        section->FirstChildElement("group")->FirstChildElement("item")->FirstChildElement();
    ASSERT_NE(summary, nullptr);
    EXPECT_STREQ(summary->Value(), bench::kTreeParent);
    EXPECT_STREQ(summary->FirstChildElement(bench::kTextName)->GetText(), "Quarterly report");
}

TEST(MatrixDocument, HoldsRowsOfTenCellsWithTheirValues) {
    const std::string text = bench::matrixDocument(25);
    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    TiXmlElement* matrix = document.RootElement()->FirstChildElement(bench::kMatrixName);
    ASSERT_NE(matrix, nullptr);
    int row = 0;
    for (TiXmlElement* r = matrix->FirstChildElement(); r != nullptr; r = r->NextSiblingElement()) {
        int column = 0;
        for (TiXmlElement* c = r->FirstChildElement(); c != nullptr; c = c->NextSiblingElement()) {
            EXPECT_NEAR(std::stod(c->GetText()), bench::matrixCell(row, column), 5e-4);
            EXPECT_EQ(std::string(c->GetText()).size(), 9u);
            ++column;
        }
        EXPECT_EQ(column, bench::kMatrixColumns);
        ++row;
    }
    EXPECT_EQ(row, 25);
}

TEST(MatrixDocument, HundredThousandRowsMakeAboutSixteenMegabytes) {
    const std::size_t bytes = bench::matrixDocument(100000).size();
    EXPECT_GT(bytes, 16u << 20);
    EXPECT_LT(bytes, 18u << 20);
}

}  // namespace
