// The numeric arrays through the export layer: values packed row after row into exactly
// the caller's `count` doubles, zeros where nothing was found, and the shape of a matrix.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "export_access.h"

namespace {

const char kWorked[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?><data><m><r><c>1</c><c>2</c><c>3</c></r>"
    "<r><c>4</c><c>5</c><c>6</c></r></m><v><x>0.5</x><x>-2e3</x></v></data>";

// A caller's buffer of `count` doubles with a guard zone on each side, all set to a marker
// that no call may write.
class GuardedBuffer {
public:
    static constexpr int kGuard = 8;
    static constexpr double kMarker = -777.125;

    explicit GuardedBuffer(int count)
        : storage_(static_cast<std::size_t>(kGuard + (count > 0 ? count : 0) + kGuard), kMarker) {}

    double* values() { return storage_.data() + kGuard; }

    std::vector<double> inside() const {
        return std::vector<double>(storage_.begin() + kGuard, storage_.end() - kGuard);
    }
    bool guardsUntouched() const {
        for (int i = 0; i < kGuard; ++i) {
            if (storage_[i] != kMarker || storage_[storage_.size() - 1 - i] != kMarker) {
                return false;
            }
        }
        return true;
    }

private:
    std::vector<double> storage_;
};

enum class Shape { OneD, TwoD };

struct ArrayCase {
    const char* label;
    Shape shape;
    const char* document;
    const char* name;
    std::vector<double> expected;  // its size is the count passed
};

// Names a case in test output (the default printer would dump its bytes, padding included).
void PrintTo(const ArrayCase& c, std::ostream* out) {
    *out << c.label;
}

const ArrayCase kArrayCases[] = {
    {"Worked2D", Shape::TwoD, kWorked, "m", {1, 2, 3, 4, 5, 6}},
    {"Worked1DWithRoomToSpare", Shape::OneD, kWorked, "v", {0.5, -2000, 0, 0}},
    {"Worked1DOfRowsHoldingElements", Shape::OneD, kWorked, "m", {0, 0}},
    {"WorkedMissingElement", Shape::OneD, kWorked, "w", {0, 0, 0}},
    {"MissingElement2D", Shape::TwoD, kWorked, "w", {0, 0}},
    {"TwoDWithRoomToSpare", Shape::TwoD, kWorked, "m", {1, 2, 3, 4, 5, 6, 0, 0}},
    {"TwoDOfAOneDElement", Shape::TwoD, kWorked, "v", {0, 0}},
    {"OneDExtraValuesIgnored", Shape::OneD, "<v><x>1</x><x>2</x><x>3</x></v>", "v", {1, 2}},
    {"TwoDExtraValuesIgnored", Shape::TwoD, kWorked, "m", {1, 2, 3, 4}},
    {"TwoDExtraRowsIgnored", Shape::TwoD, kWorked, "m", {1, 2, 3}},
    {"RaggedPackedRowAfterRow",
     Shape::TwoD,
     "<m><r><c>1</c></r><r><c>2</c><c>3</c></r></m>",
     "m",
     {1, 2, 3}},
    {"LongerFirstRowPacked",
     Shape::TwoD,
     "<m><r><c>1</c><c>2</c></r><r><c>3</c></r></m>",
     "m",
     {1, 2, 3, 0}},
    {"RowsWithoutCellsAddNothing",
     Shape::TwoD,
     "<m><r><c>1</c></r><r/><r>7</r><r><!-- c --></r><r><c>2</c></r></m>",
     "m",
     {1, 2, 0}},
    {"TextsAndCommentsBetweenValues",
     Shape::OneD,
     "<v> <x>1</x> note <!-- old --> <x>2</x></v>",
     "v",
     {1, 2}},
    {"TextsAndCommentsBetweenRowsAndCells",
     Shape::TwoD,
     "<m>a<r>b<c>1</c><!-- x --><c>2</c>c</r><!-- y -->d<r><c>3</c>e<c>4</c></r></m>",
     "m",
     {1, 2, 3, 4}},
    {"CommentFirstInCellGivesZero",
     Shape::OneD,
     "<v><x><!-- old -->7</x><x>8</x></v>",
     "v",
     {0, 8}},
    {"CellConversions",
     Shape::OneD,
     "<v><x> 1.5 </x><x>12abc</x><x>abc</x><x><![CDATA[2.5]]></x><x/><x><y>9</y></x>"
     "<x>1,5</x><x>-0.25e1</x></v>",
     "v",
     {1.5, 12, 0, 2.5, 0, 0, 1, -2.5}},
    {"CellConversions2D",
     Shape::TwoD,
     "<m><r><c> 1.5 </c><c>12abc</c></r><r><c><![CDATA[2.5]]></c><c/></r></m>",
     "m",
     {1.5, 12, 2.5, 0}},
    {"ElementsBelowValuesIgnored", Shape::OneD, "<v><x>1<y>5</y></x><x>2</x></v>", "v", {1, 2}},
    {"FirstElementOfTheNameOnly",
     Shape::OneD,
     "<d><v><x>1</x></v><v><x>2</x></v></d>",
     "v",
     {1, 0}},
    {"NamedElementAnywhere", Shape::TwoD, "<d><e><m><r><c>9</c></r></m></e></d>", "m", {9}},
    {"EmptyDocument", Shape::TwoD, "", "m", {0, 0}},
    {"BrokenOffDocument", Shape::OneD, "<d><v><x>1</x><x>2</x>", "v", {1, 2, 0}},
};

class ArrayValues : public ::testing::TestWithParam<ArrayCase> {};

bool readArray(Shape shape, const char* document, const char* name, double* values, int count) {
    return shape == Shape::OneD
               ? Exports::getDouble1DArray(Arg(document), Arg(name), values, count)
               : Exports::getDouble2DArray(Arg(document), Arg(name), values, count);
}

TEST_P(ArrayValues, FillExactlyTheCallersCountOfDoubles) {
    const ArrayCase& c = GetParam();
    const int count = static_cast<int>(c.expected.size());
    GuardedBuffer buffer(count);
    EXPECT_TRUE(readArray(c.shape, c.document, c.name, buffer.values(), count));
    EXPECT_EQ(buffer.inside(), c.expected);
    EXPECT_TRUE(buffer.guardsUntouched());
}

INSTANTIATE_TEST_SUITE_P(Cases, ArrayValues, ::testing::ValuesIn(kArrayCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ArrayBounds, CountZeroOrNegativeWritesNothing) {
    for (Shape shape : {Shape::OneD, Shape::TwoD}) {
        for (int count : {0, -1, -2147483647 - 1}) {
            GuardedBuffer buffer(0);
            EXPECT_TRUE(readArray(shape, kWorked, "m", buffer.values(), count)) << count;
            EXPECT_TRUE(readArray(shape, kWorked, "missing", buffer.values(), count)) << count;
            EXPECT_TRUE(buffer.guardsUntouched()) << count;
        }
    }
}

TEST(ArrayBounds, NullArgumentsGiveZeros) {
    GuardedBuffer buffer(2);
    EXPECT_TRUE(Exports::getDouble1DArray(nullptr, Arg("v"), buffer.values(), 2));
    EXPECT_EQ(buffer.inside(), (std::vector<double>{0, 0}));
    GuardedBuffer other(2);
    EXPECT_TRUE(Exports::getDouble2DArray(Arg(kWorked), nullptr, other.values(), 2));
    EXPECT_EQ(other.inside(), (std::vector<double>{0, 0}));
    EXPECT_TRUE(buffer.guardsUntouched() && other.guardsUntouched());
}

struct ShapeCase {
    const char* document;
    const char* name;
    int rows;
    int columns;
};

void PrintTo(const ShapeCase& c, std::ostream* out) {
    *out << c.name << " in " << c.document;
}

const ShapeCase kShapeCases[] = {
    {kWorked, "m", 2, 3},
    {kWorked, "v", 2, 0},
    {kWorked, "w", 0, 0},
    {kWorked, "c", 0, 0},
    {kWorked, "data", 2, 2},
    {"<m><r><c>1</c></r><r><c>2</c><c>3</c></r></m>", "m", 2, 1},
    {"<m><r/><r><c/></r></m>", "m", 2, 0},
    {"<v> <x>1</x> note <!-- old --> <x>2</x></v>", "v", 2, 0},
    {"<m><!-- r --><r>a<c/>b<!-- c --><c/></r>text</m>", "m", 1, 2},
    {"<d><m><r><c/></r></m><m><r/><r/></m></d>", "m", 1, 1},
    {"", "m", 0, 0},
};

class ArrayShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ArrayShape, CountsRowsAndTheCellsOfTheFirstRow) {
    const ShapeCase& c = GetParam();
    EXPECT_EQ(Exports::getDoubleArrayRows(Arg(c.document), Arg(c.name)), c.rows);
    EXPECT_EQ(Exports::getDoubleArrayColumns(Arg(c.document), Arg(c.name)), c.columns);
}

INSTANTIATE_TEST_SUITE_P(Cases, ArrayShape, ::testing::ValuesIn(kShapeCases));

TEST(ArrayShapeLimits, NullArgumentsGiveZero) {
    EXPECT_EQ(Exports::getDoubleArrayRows(nullptr, Arg("m")), 0);
    EXPECT_EQ(Exports::getDoubleArrayColumns(nullptr, Arg("m")), 0);
    EXPECT_EQ(Exports::getDoubleArrayRows(Arg(kWorked), nullptr), 0);
    EXPECT_EQ(Exports::getDoubleArrayColumns(Arg(kWorked), nullptr), 0);
}

}  // namespace
