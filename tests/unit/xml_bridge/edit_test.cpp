// setValue, appendElement and removeNodes through the exports: which nodes each changes (every
// one the path selects, nested ones included), what stays as it was, and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export_access.h"
#include "table_values.h"

namespace {

// The printed document on one line: each line break and the indentation after it left out.
std::string squeezed(const std::string& printed) {
    std::string out;
    for (std::size_t i = 0; i < printed.size(); ++i) {
        if (printed[i] != '\n') {
            out += printed[i];
            continue;
        }
        while (i + 1 < printed.size() && printed[i + 1] == ' ') {
            ++i;
        }
    }
    return out;
}

std::string setValue(const std::string& xml, const std::string& path, VARIANT value) {
    OwnedVariant owned;
    owned.value = value;
    return squeezed(takeResult(Exports::setValue(Arg(xml), Arg(path), owned.get())));
}

// A one-dimensional array of Variants with the given lower bound, taking over the items.
void makeList(VARIANT* out, const std::vector<VARIANT>& items, std::int32_t lower = 0) {
    SAFEARRAYBOUND bounds[1] = {{static_cast<std::uint32_t>(items.size()), lower}};
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = pelzor::ole::createArray(VT_VARIANT, 1, bounds);
    auto* cells = static_cast<VARIANT*>(pelzor::ole::lockData(out->parray));
    for (std::size_t i = 0; i < items.size(); ++i) {
        cells[i] = items[i];
    }
    pelzor::ole::unlockData(out->parray);
}

std::string appendElement(const std::string& xml, const std::string& parents,
                          const std::string& name, const std::string& text,
                          const std::vector<VARIANT>& attributes) {
    OwnedVariant list;
    makeList(list.get(), attributes);
    return squeezed(takeResult(
        Exports::appendElement(Arg(xml), Arg(parents), Arg(name), Arg(text), list.get())));
}

std::string removeNodes(const std::string& xml, const std::string& path) {
    return squeezed(takeResult(Exports::removeNodes(Arg(xml), Arg(path))));
}

TEST(SetValue, WritesTheTextOfEverySelectedElementAndKeepsItsOtherChildren) {
    const struct {
        const char* xml;
        const char* path;
        const char* value;
        const char* result;
    } cases[] = {
        // The first child, a text, is replaced; the others stay.
        {"<r><a>old<b/>tail</a></r>", "r/a", "new", "<r><a>new<b />tail</a></r>"},
        // Without a text first, one is put first.
        {"<r><a><b>x</b></a></r>", "r/a", "new", "<r><a>new<b>x</b></a></r>"},
        {"<r><a/></r>", "r/a", "a & <b>", "<r><a>a &amp; &lt;b&gt;</a></r>"},
        // A CDATA section becomes a plain text, which no value can end early.
        {"<r><a><![CDATA[x]]></a></r>", "r/a", "]]>", "<r><a>]]&gt;</a></r>"},
        // "" takes the text away.
        {"<r><a>old<b/></a></r>", "r/a", "", "<r><a><b /></a></r>"},
        // Every selected element, one inside another too.
        {"<r><a>1<a>2</a></a><b><a/></b></r>", "//a", "v",
         "<r><a>v<a>v</a></a><b><a>v</a></b></r>"},
        {"<r><a>1</a><a>2</a></r>", "r/a[2] | r/a[2]", "v", "<r><a>1</a><a>v</a></r>"},
        // The root and a prefixed name, with no namespace declaration added.
        {"<p:r xmlns:p='u'><p:a/></p:r>", "/p:r", "v", "<p:r xmlns:p=\"u\">v<p:a /></p:r>"},
        // Declarations, comments, processing instructions and unknown markup stay.
        {"<?xml version='1.0'?><!-- c --><?pi x?><!DOCTYPE r><r><!-- d -->t</r>", "r", "v",
         "<?xml version=\"1.0\" ?><!-- c --><?pi x?><!DOCTYPE r><r>v<!-- d -->t</r>"},
        // Nothing selected, or a path not understood.
        {"<r><a/></r>", "//missing", "v", "Element does not exist"},
        {"<r><a/></r>", "//a[", "v", "Element does not exist"},
        {"<r><a/></r>", ".", "v", "Element does not exist"},
        {"", "r", "v", "Element does not exist"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(setValue(c.xml, c.path, text(c.value)), c.result) << c.xml << " " << c.path;
    }
}

TEST(SetValue, SetsAnAttributeOnEverySelectedElementAddingItWhereMissing) {
    const struct {
        const char* xml;
        const char* path;
        const char* result;
    } cases[] = {
        {"<r><a x='1' y='2'/><a/><b/></r>", "r/a/@x",
         "<r><a x=\"v\" y=\"2\" /><a x=\"v\" /><b /></r>"},
        {"<r><a><a/></a></r>", "//@x", "<r x=\"v\"><a x=\"v\"><a x=\"v\" /></a></r>"},
        {"<r><a><b/></a></r>", "r/a//@x", "<r><a x=\"v\"><b x=\"v\" /></a></r>"},
        {"<r><a>t</a></r>", "r/a | r/a/@id", "<r><a id=\"v\">v</a></r>"},
        {"<p:r><p:a/></p:r>", "p:r/p:a/@p:x", "<p:r><p:a p:x=\"v\" /></p:r>"},
        // Every target is found before any changes: the second operand selects by the sku
        // the first one overwrites.
        {"<o><line><sku>A</sku></line></o>", "//sku | //line[sku='A']/@hit",
         "<o><line hit=\"v\"><sku>v</sku></line></o>"},
        {"<r><a/></r>", "r/b/@x", "Element does not exist"},
        {"<r><a/></r>", "@x", "Element does not exist"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(setValue(c.xml, c.path, text("v")), c.result) << c.path;
    }
}

TEST(SetValue, WritesValuesAsTheTableExportsDoAndRefusesThoseWithoutText) {
    VARIANT yes = ofType(VT_BOOL);
    yes.boolVal = VARIANT_TRUE;
    VARIANT date = ofType(VT_DATE);
    date.date = 46363.0 + 0.5;
    VARIANT holdsNul = text(std::string("a\0b", 3));
    const struct {
        VARIANT value;
        const char* result;
    } cases[] = {
        {number(0.1 + 0.2), "<r><a>0.30000000000000004</a></r>"},
        {yes, "<r><a>true</a></r>"},
        {date, "<r><a>2026-12-07T12:00:00</a></r>"},
        {empty(), "<r><a /></r>"},
        {ofType(VT_NULL), "The value is Null, which cannot become document text"},
        {ofType(VT_ERROR),
         "The value is an error value (such as #N/A), which cannot become document text"},
        {holdsNul, "The value holds a NUL character, which no document can hold"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(setValue("<r><a>old</a></r>", "r/a", c.value), c.result);
    }
    // Through a reference, as a Variant passed ByRef arrives; a null Variant is Empty.
    VARIANT held = number(2.5);
    VARIANT byReference = ofType(VT_BYREF | VT_VARIANT);
    byReference.pvarVal = &held;
    EXPECT_EQ(squeezed(takeResult(Exports::setValue(Arg("<a/>"), Arg("a"), &byReference))),
              "<a>2.5</a>");
    EXPECT_EQ(squeezed(takeResult(Exports::setValue(Arg("<a>x</a>"), Arg("a"), nullptr))), "<a />");
}

TEST(SetValue, TheValueReadsBackThroughTheSamePath) {
    const char xml[] = "<o><line n='1'><qty>2</qty></line><line><qty>x<u/></qty></line></o>";
    for (const char* path : {"//line/qty", "//line/@n", "o/line[2]/qty | o/line/@m"}) {
        const std::string edited = setValue(xml, path, text("7 & <8>"));
        const int count = Exports::selectCount(Arg(edited), Arg(path));
        EXPECT_GE(count, Exports::selectCount(Arg(xml), Arg(path))) << path;
        std::string values;
        for (int i = 0; i < count; ++i) {
            values += std::string("7 & <8>") + '\0';
        }
        EXPECT_EQ(takeResult(Exports::selectTexts(Arg(edited), Arg(path))), values) << path;
    }
}

TEST(AppendElement, AppendsTheElementUnderEverySelectedParent) {
    VARIANT seven = ofType(VT_I4);
    seven.lVal = 7;
    const struct {
        const char* xml;
        const char* parents;
        const char* name;
        const char* text;
        std::vector<VARIANT> attributes;
        const char* result;
    } cases[] = {
        // As the last child, the attributes in the order given.
        {"<orders><order/><order><line/></order></orders>",
         "orders/order[2]",
         "line",
         "x & y",
         {text("id"), seven, text("currency"), text("EUR")},
         "<orders><order /><order><line /><line id=\"7\" currency=\"EUR\">x &amp; y</line>"
         "</order></orders>"},
        // "" gives an element without text; every parent gets one, nested ones too, and the
        // new elements are no parents though they bear the name the path selects.
        {"<r><a><a/></a><b/></r>", "//a", "a", "", {}, "<r><a><a><a /></a><a /></a><b /></r>"},
        // The names as given, prefix included; no namespace declaration added.
        {"<p:r xmlns:p='u'/>",
         "p:r",
         "p:line",
         "t",
         {text("p:n"), text("1")},
         "<p:r xmlns:p=\"u\"><p:line p:n=\"1\">t</p:line></p:r>"},
        {"<?xml version='1.0'?><!-- c --><r/>",
         "r",
         "n",
         "",
         {text("a"), empty()},
         "<?xml version=\"1.0\" ?><!-- c --><r><n a=\"\" /></r>"},
        // Attributes are no parents; nothing selected, or a path not understood.
        {"<r a='1'/>", "r/@a", "n", "", {}, "Parent element does not exist"},
        {"<r/>", "//missing", "n", "", {}, "Parent element does not exist"},
        {"<r/>", "r[", "n", "", {}, "Parent element does not exist"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(appendElement(c.xml, c.parents, c.name, c.text, c.attributes), c.result)
            << c.parents;
    }
}

TEST(AppendElement, RefusesWhatItCannotWriteSayingWhatIsWrong) {
    const struct {
        const char* name;
        std::vector<VARIANT> attributes;
        const char* refusal;
    } cases[] = {
        {"1n", {}, "The element name \"1n\" is not an XML name"},
        {"a b", {}, "The element name \"a b\" is not an XML name"},
        {"", {}, "The element name \"\" is not an XML name"},
        {"n", {text("a b"), text("1")}, "The attribute name \"a b\" is not an XML name"},
        {"n",
         {text("a"), text("1"), text(std::string("a\0b", 3)), text("1")},
         "The attribute name of item 2 holds a NUL character, which no document can hold"},
        {"n",
         {text("a"), text("1"), text("a"), text("2")},
         "The attribute name \"a\" is given twice"},
        {"n",
         {text("a"), text("1"), text("b")},
         "The attributes hold 3 items: names and values come in pairs"},
        {"n",
         {text("a"), ofType(VT_NULL)},
         "The value of the attribute \"a\" is Null, which cannot become document text"},
        {"n",
         {text("a"), text("1"), number(2), text("x")},
         "Item 2 of the attributes is not a text: names and values come alternately, a name "
         "first"},
    };
    for (const auto& c : cases) {
        const std::string refusal = appendElement("<r/>", "r", c.name, "", c.attributes);
        EXPECT_EQ(refusal.substr(0, std::string(c.refusal).size()), c.refusal) << c.name;
        EXPECT_NE(refusal.front(), '<');
    }
    OwnedVariant notAList;
    notAList.value = text("a");
    EXPECT_EQ(takeResult(
                  Exports::appendElement(Arg("<r/>"), Arg("r"), Arg("n"), Arg(""), notAList.get())),
              "The attributes are not an array of names and values");
    OwnedVariant table;
    makeTable(table.get(), {{text("a"), text("1")}});
    EXPECT_EQ(
        takeResult(Exports::appendElement(Arg("<r/>"), Arg("r"), Arg("n"), Arg(""), table.get())),
        "The attributes are an array of 2 dimensions; names and values taken alternately "
        "need 1");
}

TEST(AppendElement, ReadsTheAttributesDirectlyOrByReference) {
    OwnedVariant list;
    makeList(list.get(), {text("a"), number(0.5)}, 1);
    VARIANT toVariant = ofType(VT_BYREF | VT_VARIANT);
    toVariant.pvarVal = list.get();
    VARIANT toArray = ofType(VT_BYREF | VT_ARRAY | VT_VARIANT);
    toArray.pparray = &list.value.parray;
    OwnedVariant none;
    makeList(none.get(), {});
    VARIANT neverSized = ofType(VT_ARRAY | VT_VARIANT);
    neverSized.parray = nullptr;
    const struct {
        VARIANT* attributes;
        const char* result;
    } cases[] = {
        {list.get(), "<r><n a=\"0.5\">t</n></r>"}, {&toVariant, "<r><n a=\"0.5\">t</n></r>"},
        {&toArray, "<r><n a=\"0.5\">t</n></r>"},   {none.get(), "<r><n>t</n></r>"},
        {&neverSized, "<r><n>t</n></r>"},          {nullptr, "<r><n>t</n></r>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(squeezed(takeResult(Exports::appendElement(Arg("<r/>"), Arg("r"), Arg("n"),
                                                             Arg("t"), c.attributes))),
                  c.result);
    }
}

TEST(RemoveNodes, RemovesEverySelectedNodeWithAllItHolds) {
    const struct {
        const char* xml;
        const char* path;
        const char* result;
    } cases[] = {
        {"<r><a x='1'><b>t</b></a><c/></r>", "r/a", "<r><c /></r>"},
        {"<r><a x='1' y='2'/></r>", "r/a/@x", "<r><a y=\"2\" /></r>"},
        // Elements inside selected ones, and attributes of those, go with them.
        {"<r><a><a>1</a></a><b><a y='2'/>t</b></r>", "//a | //a/@y", "<r><b>t</b></r>"},
        {"<r><a k='1'><b><a/></b></a><a/></r>", "//a[@k] | //b | //a", "<r />"},
        // The root's attributes may go.
        {"<r x='1'><a/></r>", "r/@x | r/a", "<r />"},
        // Declarations, comments, processing instructions and unknown markup stay.
        {"<?xml version='1.0'?><!DOCTYPE r><r><!-- c --><?pi x?><a/></r>", "//a",
         "<?xml version=\"1.0\" ?><!DOCTYPE r><r><!-- c --><?pi x?></r>"},
        // Nothing selected: the document unchanged, printed.
        {"<r><a/></r>", "//missing", "<r><a /></r>"},
        {"", "//a", ""},
        // The root is never removed, nor is anything of a selection that holds it.
        {"<r><a/></r>", "/r", "The path selects the root element, which is never removed"},
        {"<r><a/></r>", "//*", "The path selects the root element, which is never removed"},
        {"<r><a/></r>", "r/a | .//.", "The path selects the root element, which is never removed"},
        // A path not understood.
        {"<r><a/></r>", "r/a[", "Element does not exist"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(removeNodes(c.xml, c.path), c.result) << c.path;
    }
}

}  // namespace
