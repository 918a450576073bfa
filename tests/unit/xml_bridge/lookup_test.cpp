// Which element a name finds: depth-first pre-order from the root, the root's later
// siblings only when the root has no child element, exact byte comparison.
#include <gtest/gtest.h>

#include "by_name/lookup.h"

namespace {

struct LookupCase {
    const char* document;
    const char* name;
    const char* expectedText;  // text of the found element; null: nothing found
};

const LookupCase kLookupCases[] = {
    {"<r><a>1</a><b><a>2</a></b></r>", "a", "1"},
    {"<r><b><a>2</a></b><a>1</a></r>", "a", "2"},
    {"<r><x/></r><a>1</a>", "a", nullptr},
    {"<r/><a>1</a>", "a", "1"},
    {"<r/><b/><c><a>3</a></c>", "a", "3"},
    {"<r/>", "x", nullptr},
    {"<r>root<a/></r>", "r", "root"},
    {"<r><a>1</a></r>", "A", nullptr},
    {"<r><a>1</a></r>", " a", nullptr},
    {"<r><a>1</a></r>", "", nullptr},
    {"<r><!-- <a>1</a> --><a>2</a></r>", "a", "2"},
    {"<?xml version=\"1.0\"?><!-- c --><r>x</r>", "r", "x"},
    {"<r><ns:a>1</ns:a><a>2</a></r>", "ns:a", "1"},
    {"<r><ns:a>1</ns:a><a>2</a></r>", "a", "2"},
    {"<r><a><b><c>deep</c></b></a><d>after</d></r>", "d", "after"},
    {"<r><a><b/></a><c/></r><z>top</z>", "z", nullptr},
    {"<r><![CDATA[<a>1</a>]]><a>2</a></r>", "a", "2"},
    {"<a><b>5</b>", "b", "5"},
    {"", "a", nullptr},
    {"no markup", "a", nullptr},
    {"\xEF\xBB\xBF<r>bom</r>", "r", "bom"},
};

class Lookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(Lookup, FindsTheFirstElementInWalkOrder) {
    const LookupCase& c = GetParam();
    pelzor::CallDocument document(c.document);
    const TiXmlElement* found = pelzor::findNamedNode(document, c.name);
    if (c.expectedText == nullptr) {
        EXPECT_EQ(found, nullptr);
    } else {
        ASSERT_NE(found, nullptr);
        EXPECT_STREQ(found->GetText(), c.expectedText);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Lookup, ::testing::ValuesIn(kLookupCases));

TEST(LookupLimits, NullNameAndNullDocumentFindNothing) {
    pelzor::CallDocument document("<r><a/></r>");
    EXPECT_EQ(pelzor::findNamedNode(document, nullptr), nullptr);
    pelzor::CallDocument empty(nullptr);
    EXPECT_EQ(pelzor::findNamedNode(empty, "a"), nullptr);
}

TEST(LookupLimits, WalksAVeryWideTreeWithoutRecursion) {
    std::string text = "<r>";
    for (int i = 0; i < 20000; ++i) {
        text += "<x><y/></x>";
    }
    text += "<target>found</target></r>";
    pelzor::CallDocument document(text.c_str());
    const TiXmlElement* found = pelzor::findNamedNode(document, "target");
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->GetText(), "found");
}

}  // namespace
