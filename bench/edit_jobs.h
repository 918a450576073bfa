#pragma once
// The edit exports measured against appendXMLChild on the same records document, in the same
// run: each edit is one parse and one print, as appendXMLChild is (which also makes its
// clean-up passes over the printed text), so each may cost at most 1.2 times as much.

#include <vector>

#include "table_jobs.h"

namespace bench {

// setValue of a field, appendElement with two attributes under the root, and removeNodes of
// a record, each against appendXMLChild of a child under the root, on 1,000 and 10,000
// records. The documents are generated once and kept for the life of the comparisons.
std::vector<Comparison> editComparisons();

}  // namespace bench
