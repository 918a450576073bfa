#include "edit_jobs.h"

#include <memory>
#include <string>

#include "call_arguments.h"
#include "call_result.h"
#include "documents.h"
#include "values/ole.h"
#include "values/ole_string.h"
#ifdef _WIN32
#include "dll_exports.h"
#else
#include "export_access.h"
#endif

namespace bench {

namespace {

using Text = std::shared_ptr<const std::string>;

// The attributes as a ParamArray gives them: id = 7, currency = "EUR".
std::shared_ptr<OwnedVariant> attributeList() {
    auto list = std::make_shared<OwnedVariant>();
    SAFEARRAYBOUND bounds[1] = {{4, 0}};
    list->value.vt = VT_ARRAY | VT_VARIANT;
    list->value.parray = pelzor::ole::createArray(VT_VARIANT, 1, bounds);
    auto* items = static_cast<VARIANT*>(pelzor::ole::lockData(list->value.parray));
    const char* const texts[] = {"id", nullptr, "currency", "EUR"};
    for (int i = 0; i < 4; ++i) {
        if (texts[i] != nullptr) {
            items[i].vt = VT_BSTR;
            items[i].bstrVal =
                pelzor::newOleString(texts[i], std::char_traits<char>::length(texts[i]));
        }
    }
    items[1].vt = VT_I4;
    items[1].lVal = 7;
    pelzor::ole::unlockData(list->value.parray);
    return list;
}

template <typename Call>
Variant variantOf(Call call) {
    return Variant{[call] { consume(call()); }, [call] { return describe(call()); }};
}

Variant appendChild(const Text& text) {
    return variantOf([text] {
        return Exports::appendXMLChild(argument(text->c_str()), argument("note"),
                                       argument(kRecordsRoot), argument("x"), false);
    });
}

Variant setValueOf(const Text& text) {
    auto value = std::make_shared<OwnedVariant>();
    value->value.vt = VT_R8;
    value->value.dblVal = 7.5;
    return variantOf([text, value] {
        return Exports::setValue(argument(text->c_str()), argument("records/record[1]/qty"),
                                 &value->value);
    });
}

Variant appendElementOf(const Text& text) {
    auto list = attributeList();
    return variantOf([text, list] {
        return Exports::appendElement(argument(text->c_str()), argument("records"),
                                      argument("note"), argument("x"), &list->value);
    });
}

Variant removeNodesOf(const Text& text) {
    return variantOf([text] {
        return Exports::removeNodes(argument(text->c_str()), argument("records/record[1]"));
    });
}

}  // namespace

std::vector<Comparison> editComparisons() {
    std::vector<Comparison> comparisons;
    for (int records : {1000, 10000}) {
        const Text text = std::make_shared<const std::string>(recordsDocument(records));
        const struct {
            const char* exportName;
            Variant measured;
        } edits[] = {
            {"setValue", setValueOf(text)},
            {"appendElement", appendElementOf(text)},
            {"removeNodes", removeNodesOf(text)},
        };
        for (const auto& edit : edits) {
            comparisons.push_back({edit.exportName, "records", records, text->size(), edit.measured,
                                   "appendXMLChild", appendChild(text), 1.2, "edits"});
        }
    }
    return comparisons;
}

}  // namespace bench
