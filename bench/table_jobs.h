#pragma once
// The table exports measured against other calls in the same run: selectTable with automatic
// columns, and buildTable of the table it gives, each against getStringValue of an absent
// name on the same document (one parse and a walk over every element); and buildTable against
// the chain of appendXMLChild calls that builds the same records one call each.

#include <cstddef>
#include <string>
#include <vector>

#include "jobs.h"

namespace bench {

struct Comparison {
    std::string exportName;  // the export measured: selectTable or buildTable
    std::string document;    // "records", or "records-chain" for the comparison with the chain
    int records;
    std::size_t textBytes;  // of the records document
    Variant measured;
    std::string referenceName;  // getStringValue or appendXMLChild-chain
    Variant reference;
    double target;  // the most measured / reference may be; 0 when the ratio is only reported
};

// The documents are generated once and kept for the life of the returned comparisons.
std::vector<Comparison> allComparisons();

// "tables/export/document/records/side": side "library" for the measured call, the
// reference's name for the other.
std::string comparisonName(const Comparison& comparison, bool measured);

}  // namespace bench
