// SparseMatrix element access, builders and structural edits, checked
// against dense pictures built in the test.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "SparseTestSupport.hpp"
#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace sparse_test;

class SparseMatrixEditTest : public LibraryTest {
 protected:
  // 3 x 4, stored scattered; no (2,2) and an empty column 4.
  const std::vector<Entry> entries_ = {{1, 1, 1.0}, {3, 1, 2.0}, {1, 2, 3.0},
                                       {3, 2, -4.0}, {2, 3, 5.0}, {3, 3, 6.0}};
};

// --- Element access and extraction -------------------------------------------

TEST_F(SparseMatrixEditTest, ExtractionsMatchTheDenseReference) {
  SparseMatrix* A = Build(3, 4, entries_, Layout::kScattered);
  const Dense d = FromEntries(3, 4, entries_);
  DenseVector* v = DenseVector_Create(8);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 4; ++j) EXPECT_EQ(SparseMatrix_GetElement(A, i, j), d.at(i, j));
  }
  for (int i = 1; i <= 3; ++i) {
    SparseMatrix_GetRow(v, A, i, nullptr);
    EXPECT_EQ(Values(v), (std::vector<double>{d.at(i, 1), d.at(i, 2), d.at(i, 3), d.at(i, 4)}));
  }
  for (int j = 1; j <= 4; ++j) {
    SparseMatrix_GetCol(v, A, j, nullptr);
    EXPECT_EQ(Values(v), (std::vector<double>{d.at(1, j), d.at(2, j), d.at(3, j)}));
  }
  SparseMatrix_GetDiagonal(v, A);
  EXPECT_EQ(Values(v), (std::vector<double>{1.0, 0.0, 6.0}));

  IDenseVector* colmap = IVector({0, 2, 1, 3});  // drop column 1, swap 2 and 3
  SparseMatrix_GetRow(v, A, 3, colmap);
  EXPECT_EQ(Values(v), (std::vector<double>{6.0, -4.0, 0.0}));
  IDenseVector* rowmap = IVector({0, 0, 1});
  SparseMatrix_GetCol(v, A, 2, rowmap);
  EXPECT_EQ(Values(v), (std::vector<double>{-4.0}));
  IDenseVector* none = IVector({0, 0, 0});
  SparseMatrix_GetCol(v, A, 1, none);
  EXPECT_EQ(DenseVector_Length(v), 0);

  IDenseVector_Destroy(colmap);
  IDenseVector_Destroy(rowmap);
  IDenseVector_Destroy(none);
  DenseVector_Destroy(v);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixEditTest, ExtractionsRefuseTooSmallDestinationsAndBadColumns) {
  SparseMatrix* A = Build(3, 4, entries_, Layout::kPacked);
  DenseVector* small = DenseVector_Create(2);
  EXPECT_SOLVER_ERROR(SparseMatrix_GetRow(small, A, 1, nullptr), "GetRowFull: insufficient capacity");
  EXPECT_SOLVER_ERROR(SparseMatrix_GetCol(small, A, 1, nullptr), "GetColFull: insufficient capacity");
  EXPECT_SOLVER_ERROR(SparseMatrix_GetElement(A, 1, 5), "GetElement: column out of range");
  EXPECT_SOLVER_ERROR(SparseMatrix_GetElement(A, 1, 0), "GetElement: column out of range");
  IDenseVector* bad = IVector({1, 3, 0, 0});  // 3 exceeds the 2 kept columns
  DenseVector* v = DenseVector_Create(4);
  EXPECT_SOLVER_ERROR(SparseMatrix_GetRow(v, A, 1, bad), "map value out of range");
  IDenseVector_Destroy(bad);
  DenseVector_Destroy(v);
  DenseVector_Destroy(small);
  SparseMatrix_Destroy(A);
}

struct ElementCase {
  const char* name;
  std::function<void(SparseMatrix*, int row, int col)> op;
  double expected;  // new value of (1, 2), which holds 3.0
  const char* missing_message;
};

TEST_F(SparseMatrixEditTest, ElementUpdatesChangeOneEntryOrReportTheMissingOne) {
  const ElementCase cases[] = {
      {"replace", [](SparseMatrix* A, int i, int j) { SparseMatrix_ReplaceElement(A, i, j, 9.0); },
       9.0, "ReplaceElement: element not found"},
      {"add", [](SparseMatrix* A, int i, int j) { SparseMatrix_AddElement(A, i, j, 0.5); }, 3.5,
       "AddElement: element not found"},
      {"sub", [](SparseMatrix* A, int i, int j) { SparseMatrix_SubElement(A, i, j, 0.5); }, 2.5,
       "AddElement: element not found"},
      {"multiply", [](SparseMatrix* A, int i, int j) { SparseMatrix_SMulElement(A, i, j, -2.0); },
       -6.0, "SMulElement: element not found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SparseMatrix* A = Build(3, 4, entries_, Layout::kScattered);
    c.op(A, 1, 2);
    Dense want = FromEntries(3, 4, entries_);
    want.at(1, 2) = c.expected;
    ExpectSameDense(Read(A), want);
    EXPECT_SOLVER_ERROR(c.op(A, 2, 2), c.missing_message);
    EXPECT_SOLVER_ERROR(c.op(A, 1, 4), c.missing_message);  // empty column
    ExpectSameDense(Read(A), want);
    SparseMatrix_Destroy(A);
  }
}

TEST_F(SparseMatrixEditTest, NegationAndScalingMatchTheDenseReference) {
  SparseMatrix* A = Build(3, 4, entries_, Layout::kScattered);
  DenseVector* rows = Vector({2.0, -1.0, 0.5});
  DenseVector* cols = Vector({4.0, 0.25, -2.0, 8.0});
  Dense want = FromEntries(3, 4, entries_);

  SparseMatrix_ScaleRows(A, rows);
  SparseMatrix_ScaleCols(A, cols);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 4; ++j) {
      want.at(i, j) = want.at(i, j) * DenseVector_Value(rows, i) * DenseVector_Value(cols, j);
    }
  }
  ExpectSameDense(Read(A), want);
  SparseMatrix_UnscaleCols(A, cols);
  SparseMatrix_UnscaleRows(A, rows);
  ExpectSameDense(Read(A), FromEntries(3, 4, entries_));

  SparseMatrix_NegateCol(A, 2);
  SparseMatrix_Negate(A);
  want = FromEntries(3, 4, entries_);
  for (int i = 1; i <= 3; ++i) {
    for (int j : {1, 3}) want.at(i, j) = 0.0 - want.at(i, j);
  }
  ExpectSameDense(Read(A), want);

  DenseVector_Destroy(rows);
  DenseVector_Destroy(cols);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixEditTest, NegatingAZeroGivesPositiveZero) {
  SparseMatrix* A = Build(1, 1, {{1, 1, 0.0}}, Layout::kPacked);
  SparseMatrix_Negate(A);
  EXPECT_FALSE(std::signbit(SparseMatrix_GetElement(A, 1, 1)));
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixEditTest, DiagonalPerturbationStopsAtTheFirstMissingEntry) {
  SparseMatrix* A = Build(3, 4, entries_, Layout::kScattered);
  EXPECT_SOLVER_ERROR(SparseMatrix_PerturbDiagonalVal(A, 0.25),
                      "PerturbDiagonalVal: could not perform perturbation");
  EXPECT_EQ(SparseMatrix_GetElement(A, 1, 1), 1.25);  // changed before the stop
  EXPECT_EQ(SparseMatrix_GetElement(A, 3, 3), 6.0);   // not reached
  DenseVector* d = Vector({1.0, 1.0, 1.0});
  EXPECT_SOLVER_ERROR(SparseMatrix_UnperturbDiagonal(A, d),
                      "UnperturbDiagonal: could not perform perturbation");
  DenseVector_Destroy(d);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixEditTest, DiagonalPerturbationRoundTrips) {
  SparseMatrix* src = Build(3, 4, entries_, Layout::kScattered);
  SparseMatrix* A = SparseMatrix_Create(3, 4, 12);
  SparseMatrix_Clone(A, src, nullptr, nullptr, 1);
  const Dense before = Read(A);
  DenseVector* d = Vector({0.1, 0.2, 0.3});
  SparseMatrix_PerturbDiagonal(A, d);
  EXPECT_EQ(SparseMatrix_GetElement(A, 2, 2), 0.2);
  SparseMatrix_PerturbDiagonalVal(A, 1e-3);
  SparseMatrix_UnperturbDiagonalVal(A, 1e-3);
  SparseMatrix_UnperturbDiagonal(A, d);
  const Dense after = Read(A);
  for (int j = 1; j <= 3; ++j) EXPECT_NEAR(after.at(j, j), before.at(j, j), 1e-15);
  DenseVector_Destroy(d);
  SparseMatrix_Destroy(src);
  SparseMatrix_Destroy(A);
}

struct RowMoveCase {
  const char* name;
  std::vector<Entry> column;  // entries of column 1 of a 3 x 2 matrix
  int r;
  int s;
  const char* error;  // nullptr: succeeds
  std::vector<int> rows_after;
};

TEST_F(SparseMatrixEditTest, RowMoveNeedsExactlyOneEntryInTheTargetRow) {
  const RowMoveCase cases[] = {
      {"same row on an empty column", {}, 2, 2, nullptr, {}},
      {"entry moves", {{1, 1, 4.0}}, 1, 3, nullptr, {3}},
      {"already in the target row", {{3, 1, 4.0}}, 1, 3, nullptr, {3}},
      {"nothing to move", {{2, 1, 4.0}}, 1, 3, "RPermElement: permutation not done", {2}},
      {"two entries end in the row", {{1, 1, 4.0}, {3, 1, 5.0}}, 1, 3,
       "RPermElement: column contains two entries", {3, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SparseMatrix* A = Build(3, 2, c.column, Layout::kPacked);
    if (c.error) {
      EXPECT_SOLVER_ERROR(SparseMatrix_RPermElement(A, c.r, 1, c.s), c.error);
    } else {
      SparseMatrix_RPermElement(A, c.r, 1, c.s);
    }
    std::vector<int> rows;
    for (int p = 1; p <= IDenseVector_Value(SparseMatrix_ColLen(A), 1); ++p) {
      rows.push_back(IDenseVector_Value(SparseMatrix_RowIndex(A), p));
    }
    EXPECT_EQ(rows, c.rows_after);
    SparseMatrix_Destroy(A);
  }
}

TEST_F(SparseMatrixEditTest, MovingADiagonalEntryAwayDropsTheDiagonalFlag) {
  SparseMatrix* A = Build(2, 2, {{1, 1, 1.0}, {2, 2, 2.0}}, Layout::kPacked);
  SparseMatrix_SetFlags(A, SPARSE_DIAGONAL | SPARSE_PACKED);
  SparseMatrix_RPermElement(A, 1, 1, 2);
  EXPECT_EQ(SparseMatrix_GetFlags(A), SPARSE_PACKED);
  // A later clone with add therefore puts the diagonal back.
  SparseMatrix* B = SparseMatrix_Create(2, 2, 4);
  SparseMatrix_Clone(B, A, nullptr, nullptr, 1);
  EXPECT_TRUE(AllDiagonalsStored(Read(B)));
  SparseMatrix_Destroy(A);
  SparseMatrix_Destroy(B);
}

// --- Builders and structural edits -----------------------------------------

TEST_F(SparseMatrixEditTest, IdentityAndDiagonalPatterns) {
  SparseMatrix* A = SparseMatrix_Create(3, 3, 3);
  SparseMatrix_SetFlags(A, 8);
  SparseMatrix_SetDiagonalPattern(A, 2, 3);
  ExpectSameDense(Read(A), FromEntries(2, 3, {{1, 1, 0.0}, {2, 2, 0.0}}));
  EXPECT_EQ(SparseMatrix_GetFlags(A), 8);  // unchanged
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColStart(A), 3), 3);
  SparseMatrix_SetNegIdentity(A, 3);
  ExpectSameDense(Read(A), FromEntries(3, 3, {{1, 1, -1.0}, {2, 2, -1.0}, {3, 3, -1.0}}));
  EXPECT_EQ(SparseMatrix_GetFlags(A), 5);
  EXPECT_SOLVER_ERROR(SparseMatrix_SetIdentity(A, 4), "insufficient capacity");
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixEditTest, AppendedIdentityColumnsAreRemovedAgain) {
  // 5 x 4 packed; the pivoting method's augment-and-remove round trip.
  std::vector<Entry> e = {{1, 1, 1.0}, {5, 2, 2.0}, {3, 4, 3.0}};
  SparseMatrix* A = Build(5, 4, e, Layout::kPacked, 6);
  SparseMatrix_AppendIdentity(A, 3);
  Dense want = FromEntries(5, 7, e);
  for (int i = 1; i <= 3; ++i) {
    want.at(i, 4 + i) = 1.0;
    want.mask(i, 4 + i) = 1;
  }
  ExpectSameDense(Read(A), want);
  ExpectPacked(A);
  EXPECT_SOLVER_ERROR(SparseMatrix_RemoveCols(A, 2, 3), "RemoveCols: not done in general");
  SparseMatrix_RemoveCols(A, 5, 7);
  EXPECT_EQ(SparseMatrix_Cols(A), 4);
  EXPECT_EQ(SparseMatrix_NNZ(A), 3);
  ExpectSameDense(Read(A), FromEntries(5, 4, e));
  SparseMatrix_AppendNegIdentity(A, 2);
  EXPECT_EQ(SparseMatrix_GetElement(A, 2, 6), -1.0);
  EXPECT_SOLVER_ERROR(SparseMatrix_AppendIdentity(A, 5), "AppendIdentity: insufficient capacity");
  EXPECT_SOLVER_ERROR(SparseMatrix_AppendIdentity(A, 6), "AppendIdentity: row out of range");
  EXPECT_EQ(SparseMatrix_Cols(A), 6);  // nothing appended by the refused calls
  SparseMatrix_Destroy(A);
}

struct AppendCase {
  const char* name;
  std::function<void(SparseMatrix*)> op;
  int rows;
  int cols;
  std::vector<Entry> added;  // entries expected besides the original ones
};

TEST_F(SparseMatrixEditTest, AppendsMatchTheExpectedMatrix) {
  // A: 2 x 2 with entries (1,1) and (2,1).
  const std::vector<Entry> base = {{1, 1, 1.0}, {2, 1, 2.0}};
  const AppendCase cases[] = {
      {"rows", [](SparseMatrix* A) { SparseMatrix_AddRows(A, 2); }, 4, 2, {}},
      {"diagonal columns", [](SparseMatrix* A) { SparseMatrix_AppendDiagonalCols(A, 2); }, 2, 4, {}},
      {"diagonal block", [](SparseMatrix* A) { SparseMatrix_AppendDiagonalBlock(A, 3, 2); }, 5, 4,
       {{3, 3, 0.0}, {4, 4, 0.0}}},
      {"diagonal block with fewer rows", [](SparseMatrix* A) { SparseMatrix_AppendDiagonalBlock(A, 1, 3); },
       3, 5, {{3, 3, 0.0}}},
      {"identity block", [](SparseMatrix* A) { SparseMatrix_AppendIdentityBlock(A, 2); }, 4, 4,
       {{3, 3, 1.0}, {4, 4, 1.0}}},
      {"negative identity block", [](SparseMatrix* A) { SparseMatrix_AppendNegIdentityBlock(A, 1); },
       3, 3, {{3, 3, -1.0}}},
      {"column without its zeros",
       [](SparseMatrix* A) {
         DenseVector* x = Vector({0.0, 2.0});
         SparseMatrix_AppendColumn(A, x);
         DenseVector_Destroy(x);
       },
       2, 3, {{2, 3, 2.0}}},
      {"matrix without its zeros",
       [](SparseMatrix* A) {
         SparseMatrix* B = Build(2, 2, {{1, 1, 0.0}, {2, 1, 3.0}, {1, 2, 4.0}}, Layout::kScattered);
         SparseMatrix_AppendMatrix(A, B);
         SparseMatrix_Destroy(B);
       },
       2, 4, {{2, 3, 3.0}, {1, 4, 4.0}}},
      {"block diagonal",
       [](SparseMatrix* A) {
         // B (2 x 2): (1,1) = 0 lies on the new diagonal and is kept, (2,1)
         // = 0 is dropped, column 2 gets its diagonal placeholder.
         SparseMatrix* B = Build(2, 2, {{1, 1, 0.0}, {2, 1, 0.0}, {1, 2, 5.0}}, Layout::kPacked);
         SparseMatrix_AppendBlockDiagonal(A, B);
         SparseMatrix_Destroy(B);
       },
       4, 4, {{3, 3, 0.0}, {3, 4, 5.0}, {4, 4, 0.0}}},
      {"itself as a block", [](SparseMatrix* A) { SparseMatrix_AppendBlockDiagonal(A, A); }, 4, 4,
       {{3, 3, 1.0}, {4, 3, 2.0}, {4, 4, 0.0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Room for every case: 6 columns, 10 entries.
    SparseMatrix* A = SparseMatrix_Create(2, 6, 10);
    SparseMatrix* src = Build(2, 2, base, Layout::kPacked);
    SparseMatrix_Clone(A, src, nullptr, nullptr, 0);
    SparseMatrix_Destroy(src);
    c.op(A);
    std::vector<Entry> all = base;
    all.insert(all.end(), c.added.begin(), c.added.end());
    ExpectSameDense(Read(A), FromEntries(c.rows, c.cols, all));
    ExpectPacked(A);
    SparseMatrix_Destroy(A);
  }
}

TEST_F(SparseMatrixEditTest, DiagonalFlagSurvivesOnlyEditsThatKeepEveryDiagonal) {
  // 5 x 4 with its whole diagonal: appending identity columns brings column
  // 5 into the diagonal range without a (5,5) entry.
  std::vector<Entry> diag = {{1, 1, 1.0}, {2, 2, 1.0}, {3, 3, 1.0}, {4, 4, 1.0}};
  SparseMatrix* A = Build(5, 4, diag, Layout::kPacked, 4);
  SparseMatrix_SetFlags(A, SPARSE_DIAGONAL | SPARSE_PACKED);
  SparseMatrix_AppendIdentity(A, 3);
  EXPECT_EQ(SparseMatrix_GetFlags(A), SPARSE_PACKED);
  SparseMatrix* B = SparseMatrix_Create(5, 7, 12);
  SparseMatrix_Clone(B, A, nullptr, nullptr, 1);
  EXPECT_TRUE(AllDiagonalsStored(Read(B)));
  SparseMatrix_Destroy(A);
  SparseMatrix_Destroy(B);

  // A square matrix with an identity block keeps the flag.
  SparseMatrix* C = SparseMatrix_Create(4, 4, 4);
  SparseMatrix* D = Build(2, 2, {{1, 1, 1.0}, {2, 2, 1.0}}, Layout::kPacked);
  SparseMatrix_Clone(C, D, nullptr, nullptr, 1);
  SparseMatrix_AppendIdentityBlock(C, 2);
  EXPECT_EQ(SparseMatrix_GetFlags(C), SPARSE_DIAGONAL | SPARSE_PACKED);
  EXPECT_TRUE(AllDiagonalsStored(Read(C)));
  SparseMatrix_Destroy(C);
  SparseMatrix_Destroy(D);
}

TEST_F(SparseMatrixEditTest, TransposeMatchesTheDenseReference) {
  SparseMatrix* A = Build(3, 4, entries_, Layout::kScattered);
  SparseMatrix* B = SparseMatrix_Create(4, 3, 6);
  SparseMatrix_SetFlags(B, SPARSE_DIAGONAL);  // stale from an earlier use
  SparseMatrix_Transpose(B, A);
  const Dense a = FromEntries(3, 4, entries_);
  Dense want(4, 3);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 4; ++j) {
      want.at(j, i) = a.at(i, j);
      want.mask(j, i) = a.mask(i, j);
    }
  }
  ExpectSameDense(Read(B), want);
  ExpectPacked(B);
  // Rows ascend within every column.
  for (int j = 1; j <= 3; ++j) {
    const int s = IDenseVector_Value(SparseMatrix_ColStart(B), j);
    for (int p = s + 1; p < s + IDenseVector_Value(SparseMatrix_ColLen(B), j); ++p) {
      EXPECT_LT(IDenseVector_Value(SparseMatrix_RowIndex(B), p - 1),
                IDenseVector_Value(SparseMatrix_RowIndex(B), p));
    }
  }
  // A's (2,2) is missing, so B must not claim every diagonal.
  EXPECT_EQ(SparseMatrix_GetFlags(B), SPARSE_PACKED);
  EXPECT_SOLVER_ERROR(SparseMatrix_Transpose(A, A), "Transpose: cannot transpose in place");
  SparseMatrix* small = SparseMatrix_Create(4, 3, 5);
  EXPECT_SOLVER_ERROR(SparseMatrix_Transpose(small, A), "Transpose: insufficient capacity");
  SparseMatrix_Destroy(small);
  SparseMatrix_Destroy(A);
  SparseMatrix_Destroy(B);
}

}  // namespace
