// Numeric arrays through the real DLL: the shape calls, then a real buffer of doubles
// filled in place, never beyond the count the caller passed.
#include <gtest/gtest.h>

#include <vector>

#include "pelzor_dll.h"

namespace {

const char kDocument[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?><data><m><r><c>1</c><c>2</c><c>3</c></r>"
    "<r><c>4</c><c>5</c><c>6</c></r></m><v><x>0.5</x><x>-2e3</x></v></data>";

constexpr int kGuard = 4;
constexpr double kMarker = -777.125;

// `count` doubles between guard zones of markers.
std::vector<double> guardedBuffer(int count) {
    return std::vector<double>(kGuard + count + kGuard, kMarker);
}

std::vector<double> inside(const std::vector<double>& buffer) {
    return std::vector<double>(buffer.begin() + kGuard, buffer.end() - kGuard);
}

bool guardsUntouched(const std::vector<double>& buffer) {
    for (int i = 0; i < kGuard; ++i) {
        if (buffer[i] != kMarker || buffer[buffer.size() - 1 - i] != kMarker) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(Arrays, MatrixIsReadWithItsShapeIntoACallersBuffer) {
    PelzorDll dll;
    const int rows = dll.getDoubleArrayRows(kDocument, "m");
    const int columns = dll.getDoubleArrayColumns(kDocument, "m");
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(columns, 3);
    std::vector<double> buffer = guardedBuffer(rows * columns);
    EXPECT_TRUE(dll.getDouble2DArray(kDocument, "m", buffer.data() + kGuard, rows * columns));
    EXPECT_EQ(inside(buffer), (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(guardsUntouched(buffer));
}

TEST(Arrays, VectorFillsZerosBehindItsValuesAndStopsAtCount) {
    PelzorDll dll;
    EXPECT_EQ(dll.getDoubleArrayRows(kDocument, "v"), 2);
    EXPECT_EQ(dll.getDoubleArrayColumns(kDocument, "v"), 0);
    std::vector<double> roomy = guardedBuffer(4);
    EXPECT_TRUE(dll.getDouble1DArray(kDocument, "v", roomy.data() + kGuard, 4));
    EXPECT_EQ(inside(roomy), (std::vector<double>{0.5, -2000, 0, 0}));
    std::vector<double> short1D = guardedBuffer(1);
    EXPECT_TRUE(dll.getDouble1DArray(kDocument, "v", short1D.data() + kGuard, 1));
    EXPECT_EQ(inside(short1D), (std::vector<double>{0.5}));
    std::vector<double> short2D = guardedBuffer(4);
    EXPECT_TRUE(dll.getDouble2DArray(kDocument, "m", short2D.data() + kGuard, 4));
    EXPECT_EQ(inside(short2D), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_TRUE(guardsUntouched(roomy) && guardsUntouched(short1D) && guardsUntouched(short2D));
}

TEST(Arrays, MissingElementAndEmptyCountsAreHandled) {
    PelzorDll dll;
    std::vector<double> missing = guardedBuffer(3);
    EXPECT_TRUE(dll.getDouble1DArray(kDocument, "w", missing.data() + kGuard, 3));
    EXPECT_EQ(inside(missing), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(dll.getDoubleArrayRows(kDocument, "w"), 0);
    EXPECT_EQ(dll.getDoubleArrayColumns(kDocument, "c"), 0);
    std::vector<double> empty = guardedBuffer(0);
    EXPECT_TRUE(dll.getDouble2DArray(kDocument, "m", empty.data() + kGuard, 0));
    EXPECT_TRUE(dll.getDouble2DArray(kDocument, "m", empty.data() + kGuard, -1));
    EXPECT_TRUE(guardsUntouched(missing) && guardsUntouched(empty));
}
