// SparseMatrix record, exchange form and clones, checked against dense
// pictures built in the test.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "SparseTestSupport.hpp"
#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace sparse_test;

class SparseMatrixTest : public LibraryTest {};

// --- Record -------------------------------------------------------------

TEST_F(SparseMatrixTest, CreateGivesCapacitiesOfAtLeastOneAndEmptySizes) {
  SparseMatrix* A = SparseMatrix_Create(0, 0, 0);
  EXPECT_EQ(SparseMatrix_RowCapacity(A), 1);
  EXPECT_EQ(SparseMatrix_ColCapacity(A), 1);
  EXPECT_EQ(SparseMatrix_NNZCapacity(A), 1);
  EXPECT_EQ(SparseMatrix_Rows(A), 0);
  EXPECT_EQ(SparseMatrix_Cols(A), 0);
  EXPECT_EQ(SparseMatrix_NNZ(A), 0);
  EXPECT_EQ(SparseMatrix_GetFlags(A), 0);
  EXPECT_EQ(SparseMatrix_Reference(A), 2);
  EXPECT_EQ(SparseMatrix_Destroy(A), 1);
  EXPECT_EQ(SparseMatrix_Destroy(A), 0);
}

TEST_F(SparseMatrixTest, ResizeOnlyGrowsAndKeepsSizesAndFlags) {
  SparseMatrix* A = Build(2, 2, {{1, 1, 1.0}, {2, 2, 2.0}}, Layout::kPacked);
  SparseMatrix_SetFlags(A, SPARSE_DIAGONAL | SPARSE_PACKED);
  SparseMatrix_Resize(A, 1, 1, 1);
  EXPECT_EQ(SparseMatrix_ColCapacity(A), 2);
  EXPECT_EQ(SparseMatrix_NNZCapacity(A), 2);
  SparseMatrix_Resize(A, 10, 8, 40);
  EXPECT_EQ(SparseMatrix_RowCapacity(A), 10);
  EXPECT_EQ(SparseMatrix_ColCapacity(A), 8);
  EXPECT_EQ(SparseMatrix_NNZCapacity(A), 40);
  EXPECT_GE(IDenseVector_Capacity(SparseMatrix_ColStart(A)), 8);
  EXPECT_GE(IDenseVector_Capacity(SparseMatrix_RowIndex(A)), 40);
  EXPECT_GE(DenseVector_Capacity(SparseMatrix_Values(A)), 40);
  EXPECT_EQ(SparseMatrix_NNZ(A), 2);
  EXPECT_EQ(SparseMatrix_GetFlags(A), SPARSE_DIAGONAL | SPARSE_PACKED);
  SparseMatrix_Destroy(A);
}

TEST_F(SparseMatrixTest, SizeSettersRefuseSizesBeyondTheCapacity) {
  SparseMatrix* A = SparseMatrix_Create(3, 3, 4);
  SparseMatrix_SetSize(A, 3, 3, 4);
  EXPECT_EQ(IDenseVector_Length(SparseMatrix_ColLen(A)), 3);
  EXPECT_EQ(DenseVector_Length(SparseMatrix_Values(A)), 4);
  EXPECT_SOLVER_ERROR(SparseMatrix_SetCols(A, 4), "SetCols: insufficient capacity");
  EXPECT_SOLVER_ERROR(SparseMatrix_SetNNZ(A, 5), "SetNNZ: insufficient capacity");
  EXPECT_SOLVER_ERROR(SparseMatrix_SetNNZ(A, -1), "SetNNZ: insufficient capacity");
  SparseMatrix_Destroy(A);
}

// Every stored entry read through the column view, in both storage layouts;
// the scattered one has gaps and reversed columns, so a view handing out the
// wrong array misplaces or loses entries.
TEST_F(SparseMatrixTest, ColumnViewReadsBackTheEntries) {
  const std::vector<Entry> entries = {{1, 1, 1.5}, {3, 1, -2.0}, {2, 3, 4.0}, {3, 4, 8.0}};
  for (Layout layout : {Layout::kPacked, Layout::kScattered}) {
    SparseMatrix* A = Build(3, 4, entries, layout);
    const SparseMatrix_ColumnView view = SparseMatrix_Columns(A);
    Dense got(3, 4);
    for (int j = 1; j <= 4; ++j) {
      for (int p = view.start[j - 1]; p < view.start[j - 1] + view.length[j - 1]; ++p) {
        ASSERT_TRUE(p >= 1 && p <= SparseMatrix_NNZ(A) && view.row[p - 1] >= 1 &&
                    view.row[p - 1] <= 3);
        got.at(view.row[p - 1], j) = view.value[p - 1];
        got.mask(view.row[p - 1], j) = 1;
      }
    }
    ExpectSameDense(got, FromEntries(3, 4, entries));
    SparseMatrix_Destroy(A);
  }
}

// --- Full clone ---------------------------------------------------------

// The expected result of a clone: src renumbered by the maps (empty map: keep
// all), with (c, c) stored as 0.0 where missing when add is set.
Dense ExpectedClone(const Dense& src, const std::vector<int>& rowmap,
                    const std::vector<int>& colmap, bool add) {
  auto count = [](const std::vector<int>& map, int all) {
    if (map.empty()) return all;
    int n = 0;
    for (int v : map) n += v >= 1;
    return n;
  };
  Dense out(count(rowmap, src.rows), count(colmap, src.cols));
  for (int i = 1; i <= src.rows; ++i) {
    const int r = rowmap.empty() ? i : rowmap[i - 1];
    if (r < 1) continue;
    for (int j = 1; j <= src.cols; ++j) {
      const int c = colmap.empty() ? j : colmap[j - 1];
      if (c < 1 || !src.mask(i, j)) continue;
      out.at(r, c) = src.at(i, j);
      out.mask(r, c) = 1;
    }
  }
  if (add) {
    for (int c = 1; c <= std::min(out.rows, out.cols); ++c) out.mask(c, c) = 1;
  }
  return out;
}

struct FullCloneCase {
  const char* name;
  int rows;
  int cols;
  std::vector<Entry> entries;
  Layout layout;
  int source_flags;  // -1: as built
  bool add;
  int expected_flags;
};

TEST_F(SparseMatrixTest, FullClonesMatchTheDenseReference) {
  const std::vector<Entry> col2_only_row1 = {{1, 1, 2.0}, {1, 2, 5.0}, {3, 3, -1.0}, {3, 1, 4.0}};
  const FullCloneCase cases[] = {
      {"add, packed source", 3, 3, col2_only_row1, Layout::kPacked, -1, true, 5},
      {"add, scattered source", 3, 3, col2_only_row1, Layout::kScattered, -1, true, 5},
      {"compacting copy", 3, 3, col2_only_row1, Layout::kScattered, -1, false, 4},
      {"packed copy", 3, 3, col2_only_row1, Layout::kPacked, -1, false, 4},
      {"source known to hold its diagonal", 2, 2, {{1, 1, 1.0}, {2, 2, 3.0}, {1, 2, 7.0}},
       Layout::kPacked, 5, true, 5},
      {"add on 2x3 touches columns 1 and 2", 2, 3, {{2, 3, 8.0}}, Layout::kScattered, -1, true, 5},
      {"add on 3x2", 3, 2, {{3, 1, 8.0}, {2, 2, 1.5}}, Layout::kPacked, -1, true, 5},
      {"explicit zero on the diagonal counts as stored", 2, 2, {{1, 1, 0.0}}, Layout::kScattered,
       -1, true, 5},
      {"no entries, add", 2, 3, {}, Layout::kPacked, -1, true, 5},
      {"no entries, no add", 2, 3, {}, Layout::kScattered, -1, false, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SparseMatrix* src = Build(c.rows, c.cols, c.entries, c.layout);
    if (c.source_flags >= 0) SparseMatrix_SetFlags(src, c.source_flags);
    if (c.entries.empty()) SparseMatrix_SetNNZ(src, 0);
    SparseMatrix* dst = SparseMatrix_Create(c.rows, c.cols, int(c.entries.size()) + c.cols);
    SparseMatrix_Clone(dst, src, nullptr, nullptr, c.add);
    const Dense want = ExpectedClone(FromEntries(c.rows, c.cols, c.entries), {}, {}, c.add);
    ExpectSameDense(Read(dst), want);
    EXPECT_EQ(SparseMatrix_NNZ(dst), want.count());
    EXPECT_EQ(SparseMatrix_GetFlags(dst), c.expected_flags);
    ExpectPacked(dst);
    SparseMatrix_Destroy(src);
    SparseMatrix_Destroy(dst);
  }
}

TEST_F(SparseMatrixTest, AddedDiagonalGoesToTheEndOfItsColumnAndIsNotAddedTwice) {
  SparseMatrix* src = Build(3, 3, {{1, 1, 2.0}, {1, 2, 5.0}, {3, 3, -1.0}}, Layout::kPacked);
  SparseMatrix* once = SparseMatrix_Create(3, 3, 6);
  SparseMatrix* twice = SparseMatrix_Create(3, 3, 6);
  SparseMatrix_Clone(once, src, nullptr, nullptr, 1);
  // Column 2: row 1 first, then the placeholder for row 2.
  const int s = IDenseVector_Value(SparseMatrix_ColStart(once), 2);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColLen(once), 2), 2);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_RowIndex(once), s), 1);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_RowIndex(once), s + 1), 2);
  EXPECT_EQ(DenseVector_Value(SparseMatrix_Values(once), s + 1), 0.0);
  EXPECT_EQ(SparseMatrix_NNZ(once), 4);
  SparseMatrix_Clone(twice, once, nullptr, nullptr, 1);
  EXPECT_EQ(SparseMatrix_NNZ(twice), 4);
  ExpectSameDense(Read(twice), Read(once));
  // A full clone into itself without add changes nothing.
  SparseMatrix_Clone(once, once, nullptr, nullptr, 0);
  EXPECT_EQ(SparseMatrix_NNZ(once), 4);
  SparseMatrix_Destroy(src);
  SparseMatrix_Destroy(once);
  SparseMatrix_Destroy(twice);
}

// --- Partial clone --------------------------------------------------------

struct PartialCloneCase {
  const char* name;
  std::vector<int> rowmap;  // empty: none
  std::vector<int> colmap;  // empty: none
  bool add;
};

TEST_F(SparseMatrixTest, PartialClonesMatchTheDenseReference) {
  // 5 x 4 with an entry on the diagonal of some columns only.
  const std::vector<Entry> entries = {{1, 1, 1.0}, {3, 1, -2.0}, {5, 1, 3.0}, {2, 2, 4.0},
                                      {4, 2, 5.0}, {1, 3, 6.0},  {5, 3, 7.0}, {2, 4, -8.0},
                                      {3, 4, 9.0}, {4, 4, 1.5}};
  const PartialCloneCase cases[] = {
      {"rows and columns", {2, 0, 1, 3, 0}, {0, 2, 1, 3}, false},
      {"rows and columns, add", {2, 0, 1, 3, 0}, {0, 2, 1, 3}, true},
      {"rows only", {0, 1, 2, 0, 3}, {}, false},
      {"rows only, add", {0, 1, 2, 0, 3}, {}, true},
      {"columns only", {}, {3, 0, 1, 2}, false},
      {"columns only, add", {}, {3, 0, 1, 2}, true},
      {"principal submatrix, add", {1, 0, 2, 3, 0}, {1, 0, 2, 3}, true},
      {"every row dropped, add", {0, 0, 0, 0, 0}, {1, 2, 3, 4}, true},
      {"every column dropped", {}, {0, 0, 0, 0}, false},
  };
  const Dense src_dense = FromEntries(5, 4, entries);
  for (Layout layout : {Layout::kPacked, Layout::kScattered}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (layout == Layout::kPacked ? " (packed)" : " (scattered)"));
      SparseMatrix* src = Build(5, 4, entries, layout);
      IDenseVector* rowmap = c.rowmap.empty() ? nullptr : IVector(c.rowmap);
      IDenseVector* colmap = c.colmap.empty() ? nullptr : IVector(c.colmap);
      SparseMatrix* dst = SparseMatrix_Create(5, 4, 20);
      SparseMatrix_Clone(dst, src, rowmap, colmap, c.add);
      const Dense want = ExpectedClone(src_dense, c.rowmap, c.colmap, c.add);
      ExpectSameDense(Read(dst), want);
      EXPECT_EQ(SparseMatrix_NNZ(dst), want.count());
      EXPECT_EQ(SparseMatrix_GetFlags(dst), c.add ? 5 : 4);
      EXPECT_EQ(SparseMatrix_CloneEntryCount(src, rowmap, colmap, c.add), want.count());
      SparseMatrix_Destroy(src);
      SparseMatrix_Destroy(dst);
      IDenseVector_Destroy(rowmap);
      IDenseVector_Destroy(colmap);
    }
  }
}

TEST_F(SparseMatrixTest, ColumnMapKeepsTheSourceColumnOrderInStorage) {
  // Map (0, 2, 1): source column 3 becomes column 1, source column 2 column
  // 2; source column 2's entries are stored first.
  SparseMatrix* src = Build(2, 3, {{1, 1, 1.0}, {1, 2, 2.0}, {2, 2, 3.0}, {2, 3, 4.0}},
                            Layout::kPacked);
  IDenseVector* colmap = IVector({0, 2, 1});
  SparseMatrix* dst = SparseMatrix_Create(2, 2, 3);
  SparseMatrix_Clone(dst, src, nullptr, colmap, 0);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColStart(dst), 2), 1);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColLen(dst), 2), 2);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColStart(dst), 1), 3);
  EXPECT_EQ(DenseVector_Value(SparseMatrix_Values(dst), 3), 4.0);
  SparseMatrix_Destroy(src);
  SparseMatrix_Destroy(dst);
  IDenseVector_Destroy(colmap);
}

TEST_F(SparseMatrixTest, CloneIntoAnExactlySizedDestinationSucceeds) {
  // Every diagonal present but not flagged: the quick bound (4 + 2) exceeds
  // the room, the exact count (4) does not.
  SparseMatrix* src =
      Build(2, 2, {{1, 1, 1.0}, {2, 1, 2.0}, {1, 2, 3.0}, {2, 2, 4.0}}, Layout::kScattered);
  SparseMatrix* dst = SparseMatrix_Create(2, 2, 4);
  SparseMatrix_Clone(dst, src, nullptr, nullptr, 1);
  EXPECT_EQ(SparseMatrix_NNZ(dst), 4);
  ExpectSameDense(Read(dst), Read(src));
  SparseMatrix_Destroy(src);
  SparseMatrix_Destroy(dst);
}

struct CloneErrorCase {
  const char* name;
  std::function<void(SparseMatrix* src, SparseMatrix* small)> run;
  const char* message;
};

TEST_F(SparseMatrixTest, CloneFaultsAreReportedBeforeAnythingIsWritten) {
  const CloneErrorCase cases[] = {
      {"full clone into itself with add",
       [](SparseMatrix* src, SparseMatrix*) { SparseMatrix_Clone(src, src, nullptr, nullptr, 1); },
       "CloneFull: cannot clone adding diagonal in place"},
      {"partial clone into itself without add",
       [](SparseMatrix* src, SparseMatrix*) {
         IDenseVector* map = IVector({1, 2, 3});
         try {
           SparseMatrix_Clone(src, src, map, nullptr, 0);
         } catch (...) {
           IDenseVector_Destroy(map);
           throw;
         }
       },
       "ClonePartial: cannot partial clone in place"},
      {"destination too small",
       [](SparseMatrix* src, SparseMatrix* small) {
         SparseMatrix_Clone(small, src, nullptr, nullptr, 1);
       },
       "insufficient capacity"},
      {"map value above its count",
       [](SparseMatrix* src, SparseMatrix* small) {
         IDenseVector* map = IVector({1, 0, 3});
         try {
           SparseMatrix_Clone(small, src, nullptr, map, 0);
         } catch (...) {
           IDenseVector_Destroy(map);
           throw;
         }
       },
       "map value out of range"},
      {"column map value repeated",
       [](SparseMatrix* src, SparseMatrix*) {
         IDenseVector* map = IVector({1, 1, 2});
         SparseMatrix* dst = SparseMatrix_Create(3, 3, 20);
         try {
           SparseMatrix_Clone(dst, src, nullptr, map, 0);
         } catch (...) {
           IDenseVector_Destroy(map);
           SparseMatrix_Destroy(dst);
           throw;
         }
       },
       "map value repeated"},
      {"row map shorter than the rows",
       [](SparseMatrix* src, SparseMatrix* small) {
         IDenseVector* map = IVector({1, 2});
         try {
           SparseMatrix_Clone(small, src, map, nullptr, 0);
         } catch (...) {
           IDenseVector_Destroy(map);
           throw;
         }
       },
       "map shorter than the matrix"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SparseMatrix* src = Build(3, 3, {{1, 2, 1.0}, {2, 3, 2.0}, {3, 1, 3.0}}, Layout::kScattered);
    SparseMatrix* small = SparseMatrix_Create(3, 3, 3);
    SparseMatrix_SetSize(small, 3, 3, 0);
    EXPECT_SOLVER_ERROR(c.run(src, small), c.message);
    // The destination kept its sizes.
    EXPECT_EQ(SparseMatrix_NNZ(small), 0);
    SparseMatrix_Destroy(src);
    SparseMatrix_Destroy(small);
  }
}

TEST_F(SparseMatrixTest, CloneErrorsUseTheReportForm) {
  SparseMatrix* A = Build(2, 2, {{1, 2, 1.0}}, Layout::kPacked);
  try {
    SparseMatrix_Clone(A, A, nullptr, nullptr, 1);
    FAIL() << "no error";
  } catch (const SolverErrorException& e) {
    EXPECT_TRUE(std::regex_match(
        e.what(), std::regex("SparseMatrix\\(\\d+\\): CloneFull: cannot clone adding diagonal "
                             "in place\n")))
        << e.what();
  }
  SparseMatrix_Destroy(A);
}

// --- Exchange form --------------------------------------------------------

// A callback's view of the exchange: n, the count, and the four arrays.
using Filler = std::function<void(int n, int* count, int* start, int* len, int* row, double* val)>;

void Exchange(SparseMatrix* J, int n, int room, const Filler& fill) {
  int count = SparseMatrix_PrepareExchange(J, n, room);
  EXPECT_EQ(count, room);
  fill(n, &count, IDenseVector_Array(SparseMatrix_ColStart(J)),
       IDenseVector_Array(SparseMatrix_ColLen(J)), IDenseVector_Array(SparseMatrix_RowIndex(J)),
       DenseVector_Array(SparseMatrix_Values(J)));
  SparseMatrix_FinishExchange(J, count, "Test: Jacobian");
}

// 3 x 3: column 3 first at positions 1..2, a gap at 3, column 1 at 4..5,
// column 2 empty; no (2,2) and no (3,3).
void FillWithGaps(int, int* count, int* start, int* len, int* row, double* val) {
  start[2] = 1;
  len[2] = 2;
  row[0] = 1;
  val[0] = 5.0;
  row[1] = 2;
  val[1] = 6.0;
  row[2] = 99;  // unused position
  val[2] = 1e300;
  start[0] = 4;
  len[0] = 2;
  row[3] = 3;
  val[3] = 7.0;
  row[4] = 1;
  val[4] = 8.0;
  *count = 5;
}

TEST_F(SparseMatrixTest, ExchangeAfterAnEarlierCloneIsHandledAsUnpacked) {
  SparseMatrix* J = SparseMatrix_Create(3, 3, 8);
  // J first receives a clone: packed, every diagonal stored (flags 5).
  SparseMatrix* first = Build(3, 3, {{1, 1, 1.0}, {2, 2, 1.0}, {3, 3, 1.0}}, Layout::kPacked);
  SparseMatrix_Clone(J, first, nullptr, nullptr, 1);
  ASSERT_EQ(SparseMatrix_GetFlags(J), 5);
  // Then a callback fills it with gaps and without two diagonals.
  Exchange(J, 3, 8, FillWithGaps);
  EXPECT_EQ(SparseMatrix_NNZ(J), 5);
  EXPECT_EQ(SparseMatrix_GetFlags(J) & (SPARSE_DIAGONAL | SPARSE_PACKED), 0);
  SparseMatrix* copy = SparseMatrix_Create(3, 3, 8);
  SparseMatrix_Clone(copy, J, nullptr, nullptr, 1);
  const Dense want = ExpectedClone(
      FromEntries(3, 3, {{1, 3, 5.0}, {2, 3, 6.0}, {3, 1, 7.0}, {1, 1, 8.0}}), {}, {}, true);
  ExpectSameDense(Read(copy), want);
  ExpectPacked(copy);
  SparseMatrix_Destroy(first);
  SparseMatrix_Destroy(J);
  SparseMatrix_Destroy(copy);
}

struct BadExchangeCase {
  const char* name;
  Filler fill;
  const char* message;
};

TEST_F(SparseMatrixTest, ExchangeRejectsWhatLiesOutsideTheRoomOrTheDimension) {
  auto one_entry = [](int* start, int* len, int* row, double* val) {
    start[0] = 1;
    len[0] = 1;
    row[0] = 1;
    val[0] = 1.0;
  };
  const BadExchangeCase cases[] = {
      {"count above the room",
       [&](int, int* count, int* s, int* l, int* r, double* v) {
         one_entry(s, l, r, v);
         *count = 7;
       },
       "Test: Jacobian: the entry count 7 is outside 0..6.\n"},
      {"negative count",
       [&](int, int* count, int*, int*, int*, double*) { *count = -1; },
       "the entry count -1 is outside 0..6"},
      {"column beyond the count",
       [&](int, int* count, int* s, int* l, int* r, double* v) {
         one_entry(s, l, r, v);
         s[1] = 2;
         l[1] = 2;
         *count = 2;
       },
       "column 2 (start 2, length 2) lies outside the 2 entries"},
      {"start 0",
       [&](int, int* count, int* s, int* l, int*, double*) {
         s[0] = 0;
         l[0] = 1;
         *count = 1;
       },
       "column 1 (start 0, length 1)"},
      {"negative length",
       [&](int, int* count, int* s, int* l, int*, double*) {
         s[2] = 1;
         l[2] = -3;
         *count = 1;
       },
       "column 3 (start 1, length -3)"},
      {"row 0",
       [&](int, int* count, int* s, int* l, int* r, double* v) {
         one_entry(s, l, r, v);
         r[0] = 0;
         *count = 1;
       },
       "row index 0 in column 1 is outside 1..3"},
      {"row n + 1",
       [&](int, int* count, int* s, int* l, int* r, double* v) {
         one_entry(s, l, r, v);
         r[0] = 4;
         *count = 1;
       },
       "row index 4 in column 1 is outside 1..3"},
      {"columns overlapping beyond the count",
       [&](int, int* count, int* s, int* l, int* r, double* v) {
         one_entry(s, l, r, v);
         s[1] = 1;
         l[1] = 1;
         *count = 1;
       },
       "the column lengths add up to 2, more than the 1 entries"},
      {"a row twice in a column",
       [&](int, int* count, int* s, int* l, int* r, double* v) {
         one_entry(s, l, r, v);
         s[2] = 2;
         l[2] = 3;
         r[1] = 2;
         r[2] = 3;
         r[3] = 2;
         *count = 4;
       },
       "Test: Jacobian: row index 2 occurs twice in column 3.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SparseMatrix* J = SparseMatrix_Create(3, 3, 6);
    EXPECT_SOLVER_ERROR(Exchange(J, 3, 6, c.fill), c.message);
    // Nothing of the rejected matrix is left to read.
    EXPECT_EQ(SparseMatrix_NNZ(J), 0);
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColLen(J), j), 0);
    SparseMatrix_Destroy(J);
  }
}

TEST_F(SparseMatrixTest, ExchangeColumnsLeftUnwrittenAreEmpty) {
  SparseMatrix* J = SparseMatrix_Create(3, 3, 4);
  Exchange(J, 3, 4, [](int, int* count, int* s, int* l, int* r, double* v) {
    s[1] = 1;
    l[1] = 1;
    r[0] = 3;
    v[0] = 2.5;
    *count = 1;
  });
  ExpectSameDense(Read(J), FromEntries(3, 3, {{3, 2, 2.5}}));
  SparseMatrix_Destroy(J);
}

TEST_F(SparseMatrixTest, ExchangePreparationRefusesARoomBeyondTheMatrix) {
  SparseMatrix* J = SparseMatrix_Create(3, 3, 4);
  EXPECT_SOLVER_ERROR(SparseMatrix_PrepareExchange(J, 4, 4), "insufficient capacity");
  EXPECT_SOLVER_ERROR(SparseMatrix_PrepareExchange(J, 3, 5), "insufficient capacity");
  SparseMatrix_Destroy(J);
}

}  // namespace
