// SparseMatrix products, measures, norms, statistics and printing, checked
// against dense computations in the test.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "SparseTestSupport.hpp"
#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace sparse_test;

class SparseMatrixProductsTest : public LibraryTest {
 protected:
  // 4 x 3 with values whose products and sums are exact in binary.
  const std::vector<Entry> entries_ = {{1, 1, 1.5}, {3, 1, -2.0}, {4, 1, 0.25}, {2, 2, 4.0},
                                       {4, 2, -1.0}, {1, 3, 3.0},  {2, 3, 0.5}};
  const std::vector<double> x3_ = {2.0, -0.5, 4.0};
  const std::vector<double> x4_ = {1.0, 2.0, -3.0, 0.5};
  const std::vector<double> z4_ = {10.0, 20.0, 30.0, 40.0};
  const std::vector<double> z3_ = {-1.0, -2.0, -3.0};
};

// Dense A x (or A' x), times alpha, plus sign * z (z empty: zeros).
std::vector<double> Reference(const Dense& a, bool transposed, double alpha,
                              const std::vector<double>& x, double sign,
                              const std::vector<double>& z) {
  const int out = transposed ? a.cols : a.rows;
  std::vector<double> y(out, 0.0);
  for (int k = 0; k < out; ++k) {
    double sum = 0.0;
    const int inner = transposed ? a.rows : a.cols;
    for (int m = 1; m <= inner; ++m) {
      sum += (transposed ? a.at(m, k + 1) : a.at(k + 1, m)) * x[m - 1];
    }
    y[k] = alpha * sum + (z.empty() ? 0.0 : sign * z[k]);
  }
  return y;
}

struct ProductCase {
  const char* name;
  bool transposed;
  double alpha;
  double sign;
  bool with_z;
  std::function<void(DenseVector* y, const SparseMatrix* A, const DenseVector* x,
                     const DenseVector* z)>
      run;
};

TEST_F(SparseMatrixProductsTest, ProductsMatchTheDenseReference) {
  const ProductCase cases[] = {
      {"Mult", false, 1.0, 1.0, true, [](auto y, auto A, auto x, auto z) { SparseMatrix_Mult(y, A, x, z); }},
      {"Mult without z", false, 1.0, 1.0, false,
       [](auto y, auto A, auto x, auto) { SparseMatrix_Mult(y, A, x, nullptr); }},
      {"MultSub", false, 1.0, -1.0, true, [](auto y, auto A, auto x, auto z) { SparseMatrix_MultSub(y, A, x, z); }},
      {"MultSigned -1", false, 1.0, -1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_MultSigned(y, A, x, -1.0, z); }},
      {"ScaledMult", false, 2.5, 1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_ScaledMult(y, 2.5, A, x, z); }},
      {"ScaledMultSub", false, -0.5, -1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_ScaledMultSub(y, -0.5, A, x, z); }},
      {"ScaledMultSigned without z", false, 4.0, -1.0, false,
       [](auto y, auto A, auto x, auto) { SparseMatrix_ScaledMultSigned(y, 4.0, A, x, -1.0, nullptr); }},
      {"TransMult", true, 1.0, 1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_TransMult(y, A, x, z); }},
      {"TransMult without z", true, 1.0, 1.0, false,
       [](auto y, auto A, auto x, auto) { SparseMatrix_TransMult(y, A, x, nullptr); }},
      {"TransMultSub", true, 1.0, -1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_TransMultSub(y, A, x, z); }},
      {"TransMultSigned -1", true, 1.0, -1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_TransMultSigned(y, A, x, -1.0, z); }},
      {"ScaledTransMult", true, 2.5, 1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_ScaledTransMult(y, 2.5, A, x, z); }},
      {"ScaledTransMultSub", true, -0.5, -1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_ScaledTransMultSub(y, -0.5, A, x, z); }},
      {"ScaledTransMultSigned", true, 4.0, -1.0, true,
       [](auto y, auto A, auto x, auto z) { SparseMatrix_ScaledTransMultSigned(y, 4.0, A, x, -1.0, z); }},
  };
  const Dense a = FromEntries(4, 3, entries_);
  for (Layout layout : {Layout::kPacked, Layout::kScattered}) {
    SparseMatrix* A = Build(4, 3, entries_, layout);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const std::vector<double>& xs = c.transposed ? x4_ : x3_;
      const std::vector<double>& zs = c.transposed ? z3_ : z4_;
      DenseVector* x = Vector(xs);
      DenseVector* z = Vector(zs);
      DenseVector* y = DenseVector_Create(4);
      DenseVector_SetLength(y, 1);
      c.run(y, A, x, c.with_z ? z : nullptr);
      EXPECT_EQ(Values(y),
                Reference(a, c.transposed, c.alpha, xs, c.sign, c.with_z ? zs : std::vector<double>{}));
      // The result may also be z itself.
      if (c.with_z) {
        c.run(z, A, x, z);
        EXPECT_EQ(Values(z), Reference(a, c.transposed, c.alpha, xs, c.sign, zs));
      }
      DenseVector_Destroy(x);
      DenseVector_Destroy(z);
      DenseVector_Destroy(y);
    }
    SparseMatrix_Destroy(A);
  }
}

TEST_F(SparseMatrixProductsTest, ZeroMultipliersSkipTheirColumns) {
  const double inf = std::numeric_limits<double>::infinity();
  // Column 2 holds an infinity; x(2) = 0 keeps it out of A x.
  SparseMatrix* A = Build(3, 2, {{1, 1, 1.0}, {2, 2, inf}, {3, 2, 1.0}}, Layout::kPacked);
  DenseVector* x = Vector({2.0, 0.0});
  DenseVector* z = Vector({1.0, 2.0, 3.0});
  DenseVector* y = DenseVector_Create(3);
  SparseMatrix_Mult(y, A, x, nullptr);
  EXPECT_EQ(Values(y), (std::vector<double>{2.0, 0.0, 0.0}));
  SparseMatrix_ScaledMult(y, 0.0, A, x, z);
  EXPECT_EQ(Values(y), Values(z));
  // The transposed products skip nothing: 0 * inf reaches the result.
  DenseVector* w = Vector({0.0, 0.0, 0.0});
  SparseMatrix_TransMult(y, A, w, nullptr);
  EXPECT_EQ(DenseVector_Length(y), 2);
  EXPECT_TRUE(std::isnan(DenseVector_Value(y, 2)));
  SparseMatrix_ScaledTransMult(y, 0.0, A, w, nullptr);
  EXPECT_EQ(Values(y), (std::vector<double>{0.0, 0.0}));
  DenseVector_Destroy(w);
  DenseVector_Destroy(x);
  DenseVector_Destroy(z);
  DenseVector_Destroy(y);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixProductsTest, MultColumnsAddsTheChosenColumns) {
  SparseMatrix* A = Build(4, 3, entries_, Layout::kScattered);
  const Dense a = FromEntries(4, 3, entries_);
  IDenseVector* list = IVector({3, 1, 2});
  DenseVector* v = Vector({2.0, 0.0, -1.0});
  DenseVector* z = Vector(z4_);
  DenseVector* y = DenseVector_Create(4);
  SparseMatrix_MultColumns(y, A, list, v, z);
  std::vector<double> want = z4_;
  for (int i = 1; i <= 4; ++i) want[i - 1] += a.at(i, 3) * 2.0 + a.at(i, 2) * -1.0;
  EXPECT_EQ(Values(y), want);
  IDenseVector* empty = IVector({});
  SparseMatrix_MultColumns(y, A, empty, v, nullptr);
  EXPECT_EQ(Values(y), (std::vector<double>{0.0, 0.0, 0.0, 0.0}));
  IDenseVector* bad = IVector({4});
  EXPECT_SOLVER_ERROR(SparseMatrix_MultColumns(y, A, bad, v, nullptr), "MultColumns: column out of range");
  IDenseVector_Destroy(bad);
  IDenseVector_Destroy(empty);
  IDenseVector_Destroy(list);
  DenseVector_Destroy(v);
  DenseVector_Destroy(z);
  DenseVector_Destroy(y);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixProductsTest, ProductsRefuseTooSmallOrAliasedVectors) {
  SparseMatrix* A = Build(4, 3, entries_, Layout::kPacked);
  DenseVector* x = Vector(x3_);
  DenseVector* small = DenseVector_Create(3);
  DenseVector* square = Vector({1.0, 2.0, 3.0, 4.0});
  EXPECT_SOLVER_ERROR(SparseMatrix_Mult(small, A, x, nullptr), "Mult: insufficient capacity");
  EXPECT_SOLVER_ERROR(SparseMatrix_TransMult(small, A, x, nullptr), "TransMult: insufficient capacity");
  SparseMatrix* B = Build(4, 4, {{1, 1, 1.0}}, Layout::kPacked);
  EXPECT_SOLVER_ERROR(SparseMatrix_Mult(square, B, square, nullptr), "Mult: result aliases the operand");
  SparseMatrix_Destroy(B);
  DenseVector_Destroy(square);
  DenseVector_Destroy(small);
  DenseVector_Destroy(x);
  SparseMatrix_Destroy(A);
}

// --- Measures, norms and extremes -------------------------------------------

TEST_F(SparseMatrixProductsTest, RowAndColumnMeasuresMatchTheDenseReference) {
  SparseMatrix* A = Build(4, 3, entries_, Layout::kScattered);
  const Dense a = FromEntries(4, 3, entries_);
  DenseVector* d = DenseVector_Create(4);
  DenseVector* s = Vector(x4_);
  using Fn = std::function<double(double)>;
  struct MeasureCase {
    const char* name;
    void (*run)(DenseVector*, const SparseMatrix*);
    bool by_row;
    Fn term;
    bool max;
  };
  const MeasureCase cases[] = {
      {"RowSum", SparseMatrix_RowSum, true, [](double v) { return v; }, false},
      {"ColSum", SparseMatrix_ColSum, false, [](double v) { return v; }, false},
      {"RowSumSquares", SparseMatrix_RowSumSquares, true, [](double v) { return v * v; }, false},
      {"ColSumSquares", SparseMatrix_ColSumSquares, false, [](double v) { return v * v; }, false},
      {"RowSumAbs", SparseMatrix_RowSumAbs, true, [](double v) { return std::fabs(v); }, false},
      {"ColSumAbs", SparseMatrix_ColSumAbs, false, [](double v) { return std::fabs(v); }, false},
      {"RowMaxAbs", SparseMatrix_RowMaxAbs, true, [](double v) { return std::fabs(v); }, true},
      {"ColMaxAbs", SparseMatrix_ColMaxAbs, false, [](double v) { return std::fabs(v); }, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.run(d, A);
    std::vector<double> want(c.by_row ? 4 : 3, 0.0);
    for (int i = 1; i <= 4; ++i) {
      for (int j = 1; j <= 3; ++j) {
        if (!a.mask(i, j)) continue;
        double& w = want[(c.by_row ? i : j) - 1];
        const double t = c.term(a.at(i, j));
        w = c.max ? std::max(w, t) : w + t;
      }
    }
    EXPECT_EQ(Values(d), want);
  }
  SparseMatrix_ScaledColSumSquares(d, A, s);
  std::vector<double> want(3, 0.0);
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 3; ++j) want[j - 1] += std::pow(x4_[i - 1] * a.at(i, j), 2);
  }
  EXPECT_EQ(Values(d), want);
  DenseVector_Destroy(s);
  DenseVector_Destroy(d);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixProductsTest, NormsReportTheFirstLargestColumnOrRow) {
  // Columns 2 and 3 share the largest absolute sum (5); rows 1 and 2 (4).
  SparseMatrix* A = Build(3, 3, {{1, 1, 1.0}, {1, 2, -3.0}, {2, 2, 2.0}, {2, 3, 2.0}, {3, 3, -3.0}},
                          Layout::kScattered);
  DenseVector* work = DenseVector_Create(3);
  double value = -1.0;
  std::int32_t index = -1;
  SparseMatrix_Norm1(&value, &index, work, A);
  EXPECT_EQ(value, 5.0);
  EXPECT_EQ(index, 2);
  SparseMatrix_NormInf(&value, &index, work, A);
  EXPECT_EQ(value, 4.0);
  EXPECT_EQ(index, 1);
  EXPECT_DOUBLE_EQ(SparseMatrix_Norm2Bound(A, work), std::sqrt(20.0));
  EXPECT_DOUBLE_EQ(SparseMatrix_NormFrobenius(A), std::sqrt(1.0 + 9 + 4 + 4 + 9));
  SparseMatrix* empty = SparseMatrix_Create(0, 0, 0);
  SparseMatrix_Norm1(&value, &index, work, empty);
  EXPECT_EQ(value, 0.0);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(SparseMatrix_NormFrobenius(empty), 0.0);
  SparseMatrix_Destroy(empty);
  DenseVector_Destroy(work);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixProductsTest, ExtremeNonzerosIgnoreZerosAndKeepTheFirstCandidate) {
  SparseMatrix* A = Build(3, 2, {{1, 1, 0.0}, {2, 1, -5.0}, {3, 1, 2.0}, {1, 2, -0.5}, {3, 2, 7.0}},
                          Layout::kScattered);
  struct ExtremeCase {
    const char* name;
    double got;
    double want;
  };
  const ExtremeCase cases[] = {
      {"MinNonzero", SparseMatrix_MinNonzero(A), -5.0},
      {"MaxNonzero", SparseMatrix_MaxNonzero(A), 7.0},
      {"MinAbsNonzero", SparseMatrix_MinAbsNonzero(A), 0.5},
      {"MaxAbsNonzero", SparseMatrix_MaxAbsNonzero(A), 7.0},
      {"RowMinNonzero 1", SparseMatrix_RowMinNonzero(A, 1), -0.5},
      {"RowMaxNonzero 1", SparseMatrix_RowMaxNonzero(A, 1), -0.5},
      {"RowMinAbsNonzero 3", SparseMatrix_RowMinAbsNonzero(A, 3), 2.0},
      {"RowMaxAbsNonzero 2", SparseMatrix_RowMaxAbsNonzero(A, 2), 5.0},
      {"ColMinNonzero 1", SparseMatrix_ColMinNonzero(A, 1), -5.0},
      {"ColMaxNonzero 2", SparseMatrix_ColMaxNonzero(A, 2), 7.0},
      {"ColMinAbsNonzero 2", SparseMatrix_ColMinAbsNonzero(A, 2), 0.5},
      {"ColMaxAbsNonzero 1", SparseMatrix_ColMaxAbsNonzero(A, 1), 5.0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
  SparseMatrix* zeros = Build(2, 2, {{1, 1, 0.0}, {2, 2, 0.0}}, Layout::kPacked);
  EXPECT_EQ(SparseMatrix_MinNonzero(zeros), 0.0);
  EXPECT_EQ(SparseMatrix_MaxAbsNonzero(zeros), 0.0);
  EXPECT_EQ(SparseMatrix_RowMaxNonzero(zeros, 1), 0.0);
  SparseMatrix_Destroy(zeros);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixProductsTest, StatisticsOverTheNonzeroMagnitudes) {
  SparseMatrix* A = Build(3, 2, {{1, 1, 3.0}, {3, 2, -4.0}, {2, 2, 0.0}}, Layout::kScattered);
  double largest = 0.0;
  double mean = 0.0;
  double deviation = 0.0;
  std::int32_t row = 0;
  std::int32_t col = 0;
  SparseMatrix_Statistics(A, &largest, &row, &col, &mean, &deviation);
  EXPECT_EQ(largest, 4.0);
  EXPECT_EQ(row, 3);
  EXPECT_EQ(col, 2);
  EXPECT_EQ(mean, 3.5);
  EXPECT_DOUBLE_EQ(deviation, std::sqrt(0.5));
  SparseMatrix* zeros = Build(2, 2, {{2, 2, 0.0}}, Layout::kPacked);
  SparseMatrix_Statistics(zeros, &largest, &row, &col, &mean, &deviation);
  EXPECT_EQ(largest, 0.0);
  EXPECT_EQ(row, 1);
  EXPECT_EQ(col, 1);
  EXPECT_EQ(mean, 0.0);
  EXPECT_EQ(deviation, 0.0);
  SparseMatrix_Destroy(zeros);
  SparseMatrix_Destroy(A);
}

// --- Printing -------------------------------------------------------------

TEST_F(SparseMatrixProductsTest, PrintWritesTheColumnCountAndOneLinePerEntry) {
  SparseMatrix* A = Build(2, 2, {{1, 2, 1.0}, {2, 1, -2.5}}, Layout::kPacked);
  SparseMatrix_Print(A, OUTPUT_LOG);
  EXPECT_EQ(output()->log(),
            "2\n"
            "(    2,    1)   -2.5000000000e+00\n"
            "(    1,    2)    1.0000000000e+00\n");
  EXPECT_EQ(output()->status(), "");
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixProductsTest, DisplayRenumbersThroughTheMapsAndDisplayColumnsSkipsZeros) {
  SparseMatrix* A = Build(3, 3, {{1, 1, 1.0}, {3, 1, 2.0}, {2, 2, 0.0}, {3, 3, 4.0}},
                          Layout::kScattered);
  IDenseVector* rowmap = IVector({2, 0, 1});
  IDenseVector* colmap = IVector({1, 0, 2});
  SparseMatrix_Display(A, rowmap, colmap, "%d %d %g\n", OUTPUT_STATUS);
  EXPECT_EQ(output()->status(), "3\n1 1 2\n2 1 1\n1 2 4\n");
  output()->Clear();
  IDenseVector* list = IVector({3, 2});
  SparseMatrix_DisplayColumns(A, nullptr, list, "%d %d %g\n", OUTPUT_LISTING);
  EXPECT_EQ(output()->listing(), "3 1 4\n");
  IDenseVector_Destroy(list);
  IDenseVector_Destroy(rowmap);
  IDenseVector_Destroy(colmap);
  SparseMatrix_Destroy(A);
}

}  // namespace
