#include "arrays.h"

namespace pelzor {

void zeroDoubles(double* values, int count) {
    for (int i = 0; i < count; ++i) {
        values[i] = 0.0;
    }
}

// Not built yet: every call reads like a missing element.
bool readDouble1DArray(const char*, const char*, double* values, int count) {
    zeroDoubles(values, count);
    return true;
}

bool readDouble2DArray(const char*, const char*, double* values, int count) {
    zeroDoubles(values, count);
    return true;
}

int countArrayRows(const char*, const char*) { return 0; }

int countArrayColumns(const char*, const char*) { return 0; }

}  // namespace pelzor
