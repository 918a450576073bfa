// Documents whose document type declaration holds an internal subset read in full through
// the real DLL: the declaration ends at the '>' that closes it, not at the first '>' inside
// the subset.
#include <gtest/gtest.h>

#include "pelzor_dll.h"

namespace {

// An illustration program's SVG: entities for its namespaces in the internal subset.
const char kSvg[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!-- Generator: an illustration program -->\n"
    "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
    "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\" [\n"
    "\t<!ENTITY ns_svg \"http://www.w3.org/2000/svg\">\n"
    "\t<!ENTITY ns_xlink \"http://www.w3.org/1999/xlink\">\n"
    "]>\n"
    "<svg version=\"1.1\" xmlns=\"&ns_svg;\" xmlns:xlink=\"&ns_xlink;\" width=\"120px\">\n"
    "<title>Logo</title>\n<rect x=\"0\" y=\"0\" width=\"120\" height=\"40\"/>\n</svg>\n";

// An older XHTML page that declares an entity.
const char kXhtml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\" [\n"
    "<!ENTITY nbsp \"&#160;\">\n]>\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>Rates</title></head>\n"
    "<body><p class=\"rate\">1.0872</p></body></html>\n";

// A data file that declares its elements, attributes and an entity.
const char kData[] =
    "<!DOCTYPE settings [<!ELEMENT settings (rate, owner)><!ATTLIST rate unit CDATA \"EUR\">"
    "<!ENTITY company \"Pelz &amp; Co\">]>"
    "<settings><rate unit=\"USD\">1.08</rate><owner>&company;</owner></settings>";

struct DocumentTypeCase {
    const char* document;
    const char* name;
    const char* stringValue;  // getStringValue
    const char* path;
    const char* pathValue;  // selectText
};

const DocumentTypeCase kDocumentTypeCases[] = {
    {"<!DOCTYPE a [<!ELEMENT a ANY>]><a><b>1</b></a>", "b", "1", "a/b", "1"},
    {kSvg, "title", "Logo", "svg/rect/@width", "120"},
    {kSvg, "svg", "", "svg/@xmlns", "ns_svg;"},
    {kXhtml, "title", "Rates", "html/body/p[@class='rate']", "1.0872"},
    {kData, "rate", "1.08", "settings/rate/@unit", "USD"},
    // Entities the subset declares are not expanded.
    {kData, "owner", "company;", "//owner", "company;"},
    // '>' and ']' inside quoted strings, comments and processing instructions.
    {"<!DOCTYPE a [<!ENTITY g '>]>'><!ATTLIST a b CDATA \"]\">]><a b='2'><c>2</c></a>", "c", "2",
     "a/@b", "2"},
    {"<!DOCTYPE a [<!-- ]> --><?pi ]> ?>]><a><c>3</c></a>", "c", "3", "//c", "3"},
    // Without a subset, and with a '[' only in a quoted identifier.
    {"<!DOCTYPE a SYSTEM \"a.dtd\"><a><c>4</c></a>", "c", "4", "a/c", "4"},
    {"<!DOCTYPE a SYSTEM \"a[1].dtd\"><a><c>5</c></a>", "c", "5", "a/c", "5"},
    // An unclosed subset or string runs to the end of the text.
    {"<!DOCTYPE a [<!ELEMENT a ANY><a><c>6</c></a>", "c", "Element does not exist", "a/c",
     "Element does not exist"},
    {"<!DOCTYPE a [<!ENTITY e \"x>]><a><c>7</c></a>", "c", "Element does not exist", "a/c",
     "Element does not exist"},
};

}  // namespace

TEST(DocumentType, DocumentsWithAnInternalSubsetAreReadInFull) {
    PelzorDll dll;
    for (const DocumentTypeCase& c : kDocumentTypeCases) {
        EXPECT_EQ(Bstr(dll.getStringValue(c.document, c.name)).bytes(), c.stringValue)
            << c.document;
        EXPECT_EQ(Bstr(dll.selectText(c.document, c.path)).bytes(), c.pathValue) << c.document;
    }
}
