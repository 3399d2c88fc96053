// DenseMatrix: size semantics, builders, products, partial clones and the
// operations that end in a solver error.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/DenseMatrix.hpp"
#include "support/TestSupport.hpp"
#include "VectorFixtures.hpp"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

using Rows = std::vector<std::vector<double>>;

// A matrix owned by the test, with room for growth.
class Mat {
 public:
  Mat(std::int32_t max_rows, std::int32_t max_cols)
      : m_(DenseMatrix_Create(max_rows, max_cols)) {}
  Mat(const Rows& rows, std::int32_t max_rows, std::int32_t max_cols)
      : m_(DenseMatrix_Create(max_rows, max_cols)) {
    DenseMatrix_SetRows(m_, static_cast<std::int32_t>(rows.size()));
    DenseMatrix_SetCols(m_, rows.empty() ? 0 : static_cast<std::int32_t>(rows[0].size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      for (std::size_t j = 0; j < rows[i].size(); ++j) {
        DenseMatrix_SetValue(m_, static_cast<std::int32_t>(i + 1),
                             static_cast<std::int32_t>(j + 1), rows[i][j]);
      }
    }
  }
  ~Mat() { DenseMatrix_Destroy(m_); }
  Mat(const Mat&) = delete;
  Mat& operator=(const Mat&) = delete;
  operator DenseMatrix*() const { return m_; }
  DenseMatrix* get() const { return m_; }
  Rows rows() const {
    Rows out(m_->rows, std::vector<double>(m_->cols));
    for (std::int32_t i = 1; i <= m_->rows; ++i) {
      for (std::int32_t j = 1; j <= m_->cols; ++j) out[i - 1][j - 1] = DenseMatrix_Value(m_, i, j);
    }
    return out;
  }

 private:
  DenseMatrix* m_;
};

::testing::AssertionResult SameRows(const Rows& actual, const Rows& expected) {
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure() << actual.size() << " rows, expected " << expected.size();
  }
  for (std::size_t i = 0; i < actual.size(); ++i) {
    auto row = SameVector(actual[i], expected[i]);
    if (!row) return row << " in row " << i + 1;
  }
  return ::testing::AssertionSuccess();
}

class DenseMatrixTest : public LibraryTest {};

// --- Layout and size ----------------------------------------------------------------

TEST_F(DenseMatrixTest, RowsShareOneBlock) {
  CountingMemory memory;
  DenseMatrix* m = DenseMatrix_Create(3, 4);
  EXPECT_EQ(memory.live(), 3);  // block, row pointers, record
  EXPECT_EQ(m->max_rows, 3);
  EXPECT_EQ(m->max_cols, 4);
  EXPECT_EQ(DenseMatrix_Rows(m), 0);
  EXPECT_EQ(DenseMatrix_Cols(m), 0);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(m->row[r], m->row[0] + 4 * r);
  DenseMatrix_SetValue(m, 2, 3, 5.0);
  EXPECT_EQ(m->row[1][2], 5.0);  // entry (2, 3)
  EXPECT_EQ(DenseMatrix_Reference(m), 2);
  EXPECT_EQ(DenseMatrix_Destroy(m), 1);
  EXPECT_EQ(DenseMatrix_Destroy(m), 0);
  EXPECT_EQ(memory.live(), 0);
}

TEST_F(DenseMatrixTest, SizeGrowsBothCapacitiesAndKeepsTheShape) {
  struct Case {
    const char* name;
    std::int32_t r, c;
    bool keeps_block;
    std::int32_t max_rows, max_cols;
  };
  const Case cases[] = {
      {"smaller", 1, 1, true, 2, 3},
      {"same", 2, 3, true, 2, 3},
      {"more rows", 5, 1, false, 5, 3},
      {"more columns", 1, 7, false, 2, 7},
  };
  for (const auto& c : cases) {
    Mat m({{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}}, 2, 3);
    double* block = m.get()->row[0];
    DenseMatrix_Size(m, c.r, c.c);
    EXPECT_EQ(m.get()->row[0] == block, c.keeps_block) << c.name;
    EXPECT_EQ(m.get()->max_rows, c.max_rows) << c.name;
    EXPECT_EQ(m.get()->max_cols, c.max_cols) << c.name;
    EXPECT_EQ(DenseMatrix_Rows(m), 2) << c.name;
    EXPECT_EQ(DenseMatrix_Cols(m), 3) << c.name;
    for (int r = 0; r < c.max_rows; ++r) {
      EXPECT_EQ(m.get()->row[r], m.get()->row[0] + r * c.max_cols) << c.name;
    }
    if (c.keeps_block) {
      EXPECT_TRUE(SameRows(m.rows(), {{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}})) << c.name;
    }
  }
}

TEST_F(DenseMatrixTest, CapacityProductsBeyondTheIntegerRangeFail) {
  CountingMemory memory;
  // 65536 * 65536 = 2^32 entries: the product is formed in 64 bits and
  // refused before the allocator is asked.
  EXPECT_SOLVER_ERROR(DenseMatrix_Create(65536, 65536), "allocation failed");
  EXPECT_EQ(memory.allocations, 0);
  Mat m(2, 2);
  EXPECT_SOLVER_ERROR(DenseMatrix_Size(m, 70000, 70000), "allocation failed");
  EXPECT_EQ(m.get()->max_rows, 2);  // the matrix is left as it was
  DenseMatrix_Identity(m, 2);
  EXPECT_TRUE(SameRows(m.rows(), {{1.0, 0.0}, {0.0, 1.0}}));
}

// --- Builders ------------------------------------------------------------------------

TEST_F(DenseMatrixTest, Builders) {
  using Op = std::function<void(DenseMatrix*)>;
  Vec v({7.0, 8.0, 9.0});
  struct Case {
    const char* name;
    Op op;
    Rows expected;
  };
  const Rows start = {{1.0, 2.0}, {3.0, 0.0}, {5.0, 6.0}};
  const Case cases[] = {
      {"Zeros", [](DenseMatrix* m) { DenseMatrix_Zeros(m, 2, 1); }, {{0.0}, {0.0}}},
      {"Identity", [](DenseMatrix* m) { DenseMatrix_Identity(m, 2); }, {{1.0, 0.0}, {0.0, 1.0}}},
      {"MinusIdentity", [](DenseMatrix* m) { DenseMatrix_MinusIdentity(m, 2); },
       {{-1.0, 0.0}, {0.0, -1.0}}},
      // 0 - 0 keeps +0.
      {"Negate", [](DenseMatrix* m) { DenseMatrix_Negate(m); },
       {{-1.0, -2.0}, {-3.0, 0.0}, {-5.0, -6.0}}},
      {"AppendZeros", [](DenseMatrix* m) { DenseMatrix_AppendZeros(m, 1, 1); },
       {{1.0, 2.0, 0.0}, {3.0, 0.0, 0.0}, {5.0, 6.0, 0.0}, {0.0, 0.0, 0.0}}},
      {"AppendIdentityCols", [](DenseMatrix* m) { DenseMatrix_AppendIdentityCols(m, 2); },
       {{1.0, 2.0, 1.0, 0.0}, {3.0, 0.0, 0.0, 1.0}, {5.0, 6.0, 0.0, 0.0}}},
      {"AppendMinusIdentityCols",
       [](DenseMatrix* m) { DenseMatrix_AppendMinusIdentityCols(m, 1); },
       {{1.0, 2.0, -1.0}, {3.0, 0.0, 0.0}, {5.0, 6.0, 0.0}}},
      {"AppendRow", [&](DenseMatrix* m) { DenseMatrix_AppendRow(m, v); },
       {{1.0, 2.0}, {3.0, 0.0}, {5.0, 6.0}, {7.0, 8.0}}},
      {"AppendCol", [&](DenseMatrix* m) { DenseMatrix_AppendCol(m, v); },
       {{1.0, 2.0, 7.0}, {3.0, 0.0, 8.0}, {5.0, 6.0, 9.0}}},
      {"SetRow", [&](DenseMatrix* m) { DenseMatrix_SetRow(m, 2, v); },
       {{1.0, 2.0}, {7.0, 8.0}, {5.0, 6.0}}},
      {"SetCol", [&](DenseMatrix* m) { DenseMatrix_SetCol(m, 1, v); },
       {{7.0, 2.0}, {8.0, 0.0}, {9.0, 6.0}}},
      {"element updates",
       [](DenseMatrix* m) {
         DenseMatrix_AddValue(m, 1, 1, 0.5);
         DenseMatrix_SubValue(m, 1, 2, 0.5);
         DenseMatrix_IncrementValue(m, 3, 1);
         DenseMatrix_DecrementValue(m, 3, 2);
       },
       {{1.5, 1.5}, {3.0, 0.0}, {6.0, 5.0}}},
  };
  for (const auto& c : cases) {
    Mat m(start, 4, 4);
    c.op(m);
    EXPECT_TRUE(SameRows(m.rows(), c.expected)) << c.name;
  }
}

TEST_F(DenseMatrixTest, AppendIdentityColsOnATallMatrix) {
  Mat m({{1.0}, {2.0}, {3.0}}, 3, 3);
  DenseMatrix_AppendIdentityCols(m, 2);
  EXPECT_TRUE(SameRows(m.rows(), {{1.0, 1.0, 0.0}, {2.0, 0.0, 1.0}, {3.0, 0.0, 0.0}}));
}

TEST_F(DenseMatrixTest, RowsColumnsScalingAndDiagonal) {
  const Rows start = {{1.0, 2.0}, {3.0, 4.0}};
  Vec d({2.0, 0.0});
  struct Case {
    const char* name;
    void (*op)(DenseMatrix*, const DenseVector*);
    Rows expected;
  };
  const Case cases[] = {
      {"ScaleRows", DenseMatrix_ScaleRows, {{2.0, 4.0}, {0.0, 0.0}}},
      {"DivRows", DenseMatrix_DivRows, {{0.5, 1.0}, {kInf, kInf}}},
      {"ScaleCols", DenseMatrix_ScaleCols, {{2.0, 0.0}, {6.0, 0.0}}},
      {"DivCols", DenseMatrix_DivCols, {{0.5, kInf}, {1.5, kInf}}},
      {"AddDiagonal", DenseMatrix_AddDiagonal, {{3.0, 2.0}, {3.0, 4.0}}},
      {"SubDiagonal", DenseMatrix_SubDiagonal, {{-1.0, 2.0}, {3.0, 4.0}}},
  };
  for (const auto& c : cases) {
    Mat m(start, 2, 2);
    c.op(m, d);
    EXPECT_TRUE(SameRows(m.rows(), c.expected)) << c.name;
  }

  Mat m({{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}}, 2, 3);
  Vec v({});
  DenseMatrix_RowFull(v, m, 2);
  EXPECT_TRUE(SameVector(v.values(), {4.0, 5.0, 6.0}));
  DenseMatrix_ColFull(v, m, 3);
  EXPECT_TRUE(SameVector(v.values(), {3.0, 6.0}));
  DenseMatrix_Row(v, m, 1, nullptr);
  EXPECT_TRUE(SameVector(v.values(), {1.0, 2.0, 3.0}));
  DenseMatrix_Col(v, m, 1, nullptr);
  EXPECT_TRUE(SameVector(v.values(), {1.0, 4.0}));
}

// --- Copies, clones and transposes ---------------------------------------------------------

TEST_F(DenseMatrixTest, CopyAndClone) {
  Mat src({{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}}, 2, 3);
  IVec cols({0, 2, 1});
  IVec rows({0, 1});
  IVec drop({0, 0});
  struct Case {
    const char* name;
    const IDenseVector* rowmap;
    const IDenseVector* colmap;
    Rows expected;
  };
  const Case cases[] = {
      {"copy", nullptr, nullptr, {{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}}},
      // Column 1 of the result is source column 3, column 2 is source column 2.
      {"column map", nullptr, cols, {{3.0, 2.0}, {6.0, 5.0}}},
      {"row map", rows, nullptr, {{4.0, 5.0, 6.0}}},
      {"both maps", rows, cols, {{6.0, 5.0}}},
      {"every row dropped", drop, nullptr, {}},
  };
  for (const auto& c : cases) {
    Mat dst(3, 3);
    DenseMatrix_Clone(dst, src, c.rowmap, c.colmap);
    EXPECT_TRUE(SameRows(dst.rows(), c.expected)) << c.name;
  }
  // The maps are lent, not taken: their counts are back where they were.
  EXPECT_EQ(cols.get()->refcount, 1);
  EXPECT_EQ(rows.get()->refcount, 1);

  DenseMatrix_Copy(src, src);
  EXPECT_TRUE(SameRows(src.rows(), {{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}}));
}

TEST_F(DenseMatrixTest, PartialCloneKeepsEntriesItDoesNotReach) {
  Mat src({{1.0, 2.0}, {3.0, 4.0}}, 2, 2);
  Mat dst({{9.0, 9.0}, {9.0, 9.0}}, 2, 2);
  IVec rows({2, 0});
  IVec cols({0, 1});
  // One kept row numbered 2 (the caller numbers kept rows 1..count; here
  // the numbering is off on purpose, to show which entries are written).
  DenseMatrix_ClonePartial(dst, src, rows, cols);
  EXPECT_EQ(DenseMatrix_Rows(dst), 1);
  EXPECT_EQ(DenseMatrix_Cols(dst), 1);
  EXPECT_EQ(DenseMatrix_Value(dst, 1, 1), 9.0);
  EXPECT_EQ(DenseMatrix_Value(dst, 2, 1), 2.0);
}

TEST_F(DenseMatrixTest, Transpose) {
  Mat src({{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}}, 2, 3);
  Mat dst(3, 2);
  DenseMatrix_Transpose(dst, src);
  EXPECT_TRUE(SameRows(dst.rows(), {{1.0, 4.0}, {2.0, 5.0}, {3.0, 6.0}}));
}

// --- Products ------------------------------------------------------------------------------------

TEST_F(DenseMatrixTest, Products) {
  // A x = (5, 5) for x = (1, 1, 0) even though column 3 holds an infinity:
  // a column whose x_j is 0 is skipped.
  Mat a({{2.0, 3.0, kInf}, {4.0, 1.0, -kInf}}, 2, 3);
  Vec x({1.0, 1.0, 0.0});
  Vec b({1.0, 2.0});
  struct Case {
    const char* name;
    std::function<void(DenseVector*)> op;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"MulAdd", [&](DenseVector* y) { DenseMatrix_MulAdd(y, a, x); }, {15.0, 25.0, 30.0}},
      {"MulPlus", [&](DenseVector* y) { DenseMatrix_MulPlus(y, a, x, b); }, {6.0, 7.0}},
      {"MulPlus without b", [&](DenseVector* y) { DenseMatrix_MulPlus(y, a, x, nullptr); },
       {5.0, 5.0}},
      {"MulMinus", [&](DenseVector* y) { DenseMatrix_MulMinus(y, a, x, b); }, {4.0, 3.0}},
      {"MulMinus without b", [&](DenseVector* y) { DenseMatrix_MulMinus(y, a, x, nullptr); },
       {5.0, 5.0}},
  };
  for (const auto& c : cases) {
    Vec y({10.0, 20.0, 30.0});  // MulAdd keeps y's length
    c.op(y);
    EXPECT_TRUE(SameVector(y.values(), c.expected)) << c.name;
  }

  // A NaN in x is not 0: its column is used.
  Vec x_nan({0.0, 0.0, kNaN});
  Vec y({0.0, 0.0});
  DenseMatrix_MulAdd(y, a, x_nan);
  EXPECT_TRUE(std::isnan(DenseVector_Value(y, 1)) && std::isnan(DenseVector_Value(y, 2)));
}

TEST_F(DenseMatrixTest, ProductIntoItsOwnOperandIsRefused) {
  Mat a({{1.0, 1.0}, {0.0, 1.0}}, 2, 2);
  Vec x({1.0, 2.0});
  EXPECT_SOLVER_ERROR(DenseMatrix_MulAdd(x, a, x),
                      "DenseMatrix: MulAdd: result overlaps the operand.\n");
  EXPECT_SOLVER_ERROR(DenseMatrix_MulPlus(x, a, x, nullptr),
                      "DenseMatrix: MulPlus: result overlaps the operand.\n");
  EXPECT_SOLVER_ERROR(DenseMatrix_MulMinus(x, a, x, nullptr),
                      "DenseMatrix: MulMinus: result overlaps the operand.\n");
  EXPECT_TRUE(SameVector(x.values(), {1.0, 2.0}));
}

TEST_F(DenseMatrixTest, DisplayPrintsEveryEntryOnTheLog) {
  Mat m({{1.0, -2.5}, {3.14159, 100.0}}, 2, 2);
  DenseMatrix_Display(m);
  EXPECT_EQ(output()->log(), "  1.00 -2.50\n  3.14 100.00\n");
  EXPECT_EQ(output()->status(), "");
}

// --- Operations that end in a solver error ------------------------------------------------------

TEST_F(DenseMatrixTest, UnsupportedOperationsRaiseTheirMessages) {
  Mat m({{1.0}}, 1, 1);
  Mat other({{1.0}}, 1, 1);
  IVec partial({1});
  Vec v({});
  struct Case {
    std::function<void()> op;
    const char* message;
  };
  const Case cases[] = {
      {[&] { DenseMatrix_ClonePartial(m, m, partial, nullptr); },
       "DenseMatrix: ClonePartial: cannot clone partial in place.\n"},
      {[&] { DenseMatrix_Clone(m, m, nullptr, partial); },
       "DenseMatrix: ClonePartial: cannot clone partial in place.\n"},
      {[&] { DenseMatrix_Augment(m, m, other); },
       "DenseMatrix: Augment: augment matrix not implemented yet.\n"},
      {[&] { DenseMatrix_Row(v, m, 1, partial); },
       "DenseMatrix: Row: partial row not implemented yet.\n"},
      {[&] { DenseMatrix_Col(v, m, 1, partial); },
       "DenseMatrix: Col: partial col not implemented yet.\n"},
      {[&] { DenseMatrix_Add(m, m, other); }, "DenseMatrix: Add: add not implemented yet.\n"},
      {[&] { DenseMatrix_Sub(m, m, other); }, "DenseMatrix: Sub: sub not implemented yet.\n"},
      {[&] { DenseMatrix_Mul(m, m, other); }, "DenseMatrix: Mul: mul not implemented yet.\n"},
      {[&] { DenseMatrix_SMul(m, other, 2.0); },
       "DenseMatrix: SMul: scalar mul not implemented yet.\n"},
      {[&] { DenseMatrix_Transpose(m, m); },
       "DenseMatrix: Transpose: in place transpose not implemented.\n"},
      {[&] { DenseMatrix_DisplaySparse(m); }, "DenseMatrix: DisplaySparse: Not implemented yet.\n"},
      {[&] { DenseMatrix_OneNorm(m); }, "DenseMatrix: OneNorm: one norm not implemented yet.\n"},
      {[&] { DenseMatrix_TwoNorm(m); }, "DenseMatrix: TwoNorm: two norm not implemented yet.\n"},
      {[&] { DenseMatrix_InfNorm(m); }, "DenseMatrix: InfNorm: inf norm not implemented yet.\n"},
  };
  for (const auto& c : cases) {
    output()->Clear();
    try {
      c.op();
      ADD_FAILURE() << "no solver error for " << c.message;
    } catch (const SolverErrorException& error) {
      EXPECT_EQ(std::string(error.what()), c.message);  // the message is the whole report
      EXPECT_EQ(output()->status(), std::string("  ** SOLVER ERROR **\n") + c.message);
    }
  }
  EXPECT_TRUE(SameRows(m.rows(), {{1.0}}));
}

}  // namespace
