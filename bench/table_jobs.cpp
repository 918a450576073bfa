#include "table_jobs.h"

#include <memory>

#include "call_arguments.h"
#include "call_result.h"
#include "documents.h"
#include "edit_jobs.h"
#include "values/ole.h"
#ifdef _WIN32
#include "dll_exports.h"
#else
#include "export_access.h"
#endif

namespace bench {

namespace {

using Text = std::shared_ptr<const std::string>;

// A table as selectTable gives it, kept for the comparisons' life and freed with them.
using Table = OwnedVariant;

template <typename Call>
Variant variantOf(Call call) {
    return Variant{[call] { consume(call()); }, [call] { return describe(call()); }};
}

Variant selectTableOf(const Text& text) {
    auto call = [text] {
        VARIANT table{};
        const int count = Exports::selectTable(argument(text->c_str()), argument("records/record"),
                                               argument(""), &table);
        pelzor::ole::clearVariant(&table);
        return count;
    };
    return variantOf(call);
}

Variant buildTableOf(const std::shared_ptr<Table>& table) {
    return variantOf([table] {
        return Exports::buildTable(argument(kRecordsRoot), argument(kRecordName), &table->value);
    });
}

// The records built one appendXMLChild call each, every call's document the next one's.
Variant appendChainOf(int records) {
    auto markups = std::make_shared<std::vector<std::string>>();
    for (int i = 0; i < records; ++i) {
        markups->push_back(recordMarkup(i));
    }
    auto build = [markups] {
        std::string document = describe(Exports::createBlankXML(argument(kRecordsRoot)));
        for (const std::string& markup : *markups) {
            document = describe(
                Exports::appendXMLChild(argument(document.c_str()), argument(kRecordName),
                                        argument(kRecordsRoot), argument(markup.c_str()), true));
        }
        return document;
    };
    return Variant{[build] { keep(build()); }, build};
}

Variant absentName(const Text& text) {
    return variantOf(
        [text] { return Exports::getStringValue(argument(text->c_str()), argument("absent")); });
}

std::shared_ptr<Table> tableOf(const Text& text) {
    auto table = std::make_shared<Table>();
    Exports::selectTable(argument(text->c_str()), argument("records/record"), argument(""),
                         &table->value);
    return table;
}

}  // namespace

std::vector<Comparison> allComparisons() {
    std::vector<Comparison> comparisons;
    {
        constexpr int kRecords = 10000;
        const Text text = std::make_shared<const std::string>(recordsDocument(kRecords));
        const std::shared_ptr<Table> table = tableOf(text);
        comparisons.push_back({"selectTable", "records", kRecords, text->size(),
                               selectTableOf(text), "getStringValue", absentName(text), 2.0});
        comparisons.push_back({"buildTable", "records", kRecords, text->size(), buildTableOf(table),
                               "getStringValue", absentName(text), 2.0});
    }
    for (int records : {1000, 4000}) {
        const Text text = std::make_shared<const std::string>(recordsDocument(records));
        comparisons.push_back({"buildTable", "records-chain", records, text->size(),
                               buildTableOf(tableOf(text)), "appendXMLChild-chain",
                               appendChainOf(records), 0.0});
    }
    for (Comparison& edit : editComparisons()) {
        comparisons.push_back(std::move(edit));
    }
    return comparisons;
}

std::string comparisonName(const Comparison& comparison, bool measured) {
    return comparison.group + "/" + comparison.exportName + "/" + comparison.document + "/" +
           std::to_string(comparison.records) + "/" +
           (measured ? "library" : comparison.referenceName);
}

}  // namespace bench
