// The pivoting method's workspace, problem setup, model dump and basis
// repair.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/SparseMatrix.hpp"
#include "factorization/Basis.hpp"
#include "problems/MCP.hpp"
#include "solver/LemkeTestSupport.hpp"

using namespace lemke_test;

namespace {

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

}  // namespace

// The start status of one variable (bounds [0, 1], M = [1]) decides which
// column starts basic, the value of its slack and the warnings; the LCP
// record has already mended codes that contradict a start inside the
// bounds, so the setup's own corrections show for starts outside them.
TEST_F(LemkeTest, SetupTurnsStatusIntoBasis) {
  // The status code the setup reads as "inside, with its artificial basic".
  constexpr int kArtificialStart = 2;
  struct Case {
    const char* name;
    double z;
    double q;
    int code;
    int column;      // basic column: 1 z, 2 w, 3 v, 4 artificial
    double slack;    // value of w (column 2) or v (column 3)
    bool inconsistent;
  };
  const Case cases[] = {
      {"inside, none", 0.5, 0.0, BASIS_NONE, 1, 0.0, false},
      {"inside, artificial", 0.5, 0.0, kArtificialStart, 4, 0.0, false},
      {"lower, none, F > 0", 0.0, 1.0, BASIS_NONE, 2, 1.0, false},
      {"lower, none, F < 0", 0.0, -1.0, BASIS_NONE, 1, 0.0, false},
      {"lower, none, F = 0", 0.0, 0.0, BASIS_NONE, 1, 0.0, false},
      {"lower, artificial", 0.0, 2.0, kArtificialStart, 2, 2.0, false},
      {"lower, given at lower, F < 0", 0.0, -1.0, BASIS_LOWER, 2, 0.0, false},
      {"below, given at upper", -1.0, 1.0, BASIS_UPPER, 2, 1.0, true},
      {"upper, none, F < 0", 1.0, -2.0, BASIS_NONE, 3, 1.0, false},
      {"upper, none, F > 0", 1.0, 0.0, BASIS_NONE, 1, 0.0, false},
      {"above, given at lower", 2.0, -3.0, BASIS_LOWER, 3, 2.0, true},
      {"upper, given basic", 1.0, -2.0, BASIS_BASIC, 1, 0.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlainLCP p = MakeProblem("one", 1);
    DenseBuilder m(1);
    m(1, 1) = 1.0;
    SetMatrix(p, m);
    p.q = {c.q};
    p.upper = {1.0};
    p.start = {c.z};
    p.status = {c.code};
    output()->Clear();
    {
      ManualSolve solve(p, 1, 1);
      LemkeWorkspace* ws = solve.Setup();
      ASSERT_NE(ws, nullptr);
      EXPECT_EQ(ws->n, 1);
      EXPECT_EQ(ws->cols, 5);
      EXPECT_EQ(IDenseVector_Value(ws->basis, 1), c.column);
      if (c.column == 2 || c.column == 3) {
        EXPECT_DOUBLE_EQ(DenseVector_Value(ws->x, c.column), c.slack);
      }
      EXPECT_DOUBLE_EQ(DenseVector_Value(ws->x, 5), 1.0);  // t
      EXPECT_EQ(IDenseVector_Value(ws->artificial, 1), c.column == 4 ? 1 : 0);
      // A = [M, -I, I, I].
      EXPECT_EQ(SparseMatrix_Cols(ws->A), 4);
      EXPECT_EQ(SparseMatrix_GetElement(ws->A, 1, 2), -1.0);
      EXPECT_EQ(SparseMatrix_GetElement(ws->A, 1, 3), 1.0);
      EXPECT_EQ(SparseMatrix_GetElement(ws->A, 1, 4), 1.0);
    }
    const std::string& status = output()->status();
    EXPECT_EQ(Count(status, "Inconsistent Basis.\n"), c.inconsistent ? 1 : 0) << status;
    EXPECT_EQ(Count(status, "Artificials: 1\n"), c.column == 4 ? 1 : 0) << status;
  }
}

// Bounds of the augmented columns: w and v in [0, inf), artificials in the
// option's range, t in [0, inf); the start point projected onto its bounds.
TEST_F(LemkeTest, SetupExtendsBoundsAndProjectsTheStart) {
  PlainLCP p = RandomPMatrixProblem(3, 4, true);
  p.start = {-5.0, 0.25, 5.0};
  Lemke_OptionTable[LEMKE_ARTIFICIAL_MINIMUM].double_value = -0.5;
  Lemke_OptionTable[LEMKE_ARTIFICIAL_MAXIMUM].double_value = 0.5;
  ManualSolve solve(p, 0, 0);
  LemkeWorkspace* ws = solve.Setup();
  EXPECT_EQ(DenseVector_Length(ws->lower), 13);
  EXPECT_EQ(DenseVector_Length(ws->x), 13);
  EXPECT_DOUBLE_EQ(DenseVector_Value(ws->x, 1), p.lower[0]);
  EXPECT_DOUBLE_EQ(DenseVector_Value(ws->x, 2), 0.25);
  EXPECT_DOUBLE_EQ(DenseVector_Value(ws->x, 3), p.upper[2]);
  for (int c = 4; c <= 9; ++c) {
    EXPECT_EQ(DenseVector_Value(ws->lower, c), 0.0) << c;
    EXPECT_EQ(DenseVector_Value(ws->upper, c), INF) << c;
  }
  for (int c = 10; c <= 12; ++c) {
    EXPECT_EQ(DenseVector_Value(ws->lower, c), -0.5) << c;
    EXPECT_EQ(DenseVector_Value(ws->upper, c), 0.5) << c;
  }
  EXPECT_EQ(DenseVector_Value(ws->lower, 13), 0.0);
  EXPECT_EQ(DenseVector_Value(ws->upper, 13), INF);
}

// The model dump: its exact text on log and status, and nothing when the
// option is off or the mask has neither stream.
TEST_F(LemkeTest, DumpPrintsTheModel) {
  PlainLCP p = MakeProblem("two", 2);
  DenseBuilder m(2);
  m(1, 1) = 2.0;
  m(2, 1) = -1.0;
  m(2, 2) = 3.0;
  SetMatrix(p, m);
  p.q = {-1.0, 0.5};
  p.start = {0.0, 0.5};

  std::string expected = "Pivotal method called: LCP follows.\nDimension: 2\nt:  0.0000e+00\nq:\n";
  char line[200];
  for (int i = 1; i <= 2; ++i) {
    std::snprintf(line, sizeof line, "%5d   %20.19e\n", i, p.q[i - 1]);
    expected += line;
  }
  expected += "\nM (row, col, val):\n2\n";
  const struct {
    int r, c;
    double v;
  } entries[] = {{1, 1, 2.0}, {2, 1, -1.0}, {2, 2, 3.0}};
  for (const auto& e : entries) {
    std::snprintf(line, sizeof line, "(%5d,%5d)   % .10e\n", e.r, e.c, e.v);
    expected += line;
  }
  expected += "\n";
  // z1 at 0 with F1 = -1: z1 basic; z2 inside: z2 basic.
  std::snprintf(line, sizeof line, "z[%5d] = % .5e   w[%5d] = % .5e   v[%5d] = % .5e\n", 1, 0.0, 1,
                0.0, 1, 0.0);
  expected += line;
  std::snprintf(line, sizeof line, "z[%5d] = % .5e   w[%5d] = % .5e   v[%5d] = % .5e\n", 2, 0.5, 2,
                0.0, 2, 0.0);
  expected += line;
  expected += "\n";
  for (int i = 1; i <= 2; ++i) {
    std::snprintf(line, sizeof line, "l[%5d] = % .10e   u[%5d] = % .10e\n", i, 0.0, i, INF);
    expected += line;
  }
  expected += "\nBasics:\n";
  for (int i = 1; i <= 2; ++i) {
    std::snprintf(line, sizeof line, "%5d   %5d\n", i, i);
    expected += line;
  }

  struct Case {
    const char* name;
    bool option;
    int mask;
    bool printed;
  };
  for (const Case& c : {Case{"on", true, 7, true}, Case{"off", false, 7, false},
                        Case{"listing only", true, 4, false}}) {
    SCOPED_TRACE(c.name);
    Lemke_OptionTable[OUTPUT_LINEAR_MODEL].bool_value = c.option ? 1 : 0;
    output()->Clear();
    ManualSolve solve(p, 1, 1);
    solve.info().output_mask = c.mask;
    LemkeWorkspace* ws = solve.Setup();
    if (c.printed) {
      EXPECT_EQ(output()->log(), expected);
      EXPECT_EQ(output()->status(), expected);
      EXPECT_EQ(ws->streams_written, 3);
    } else {
      EXPECT_EQ(output()->log(), "");
      EXPECT_EQ(ws->streams_written, 0);
    }
    EXPECT_EQ(output()->listing(), "");
  }
}

// A second solve of a smaller problem keeps the larger vectors and uses
// its own n; the workspace outlives the solve while someone holds it.
TEST_F(LemkeTest, WorkspaceKeepsItsCapacityAcrossSolves) {
  Lemke_CreateWorkspace(40, 300);
  EXPECT_EQ(Lemke_ReferenceWorkspace(), 2);
  PlainLCP p = FromLinear(ConvexQP());
  Information info = MakeInfo(0, 0);
  ASSERT_EQ(Solve(p, info), LEMKE_SOLVED);
  LemkeWorkspace* ws = Lemke_GetWorkspace();
  ASSERT_NE(ws, nullptr);
  EXPECT_EQ(ws->refcount, 2);
  EXPECT_EQ(ws->max_n, 40);
  EXPECT_EQ(ws->max_nnz, 300);
  EXPECT_EQ(ws->n, 5);
  EXPECT_GE(DenseVector_Capacity(ws->x), 161);
  Lemke_ResizeWorkspace(60, 10);
  EXPECT_EQ(ws->max_n, 60);
  EXPECT_EQ(ws->max_nnz, 300);
  EXPECT_GE(DenseVector_Capacity(ws->x), 241);
  EXPECT_EQ(Lemke_DestroyWorkspace(), 1);
  EXPECT_EQ(Lemke_DestroyWorkspace(), 0);
  EXPECT_EQ(Lemke_GetWorkspace(), nullptr);
  EXPECT_EQ(Lemke_DestroyWorkspace(), 0);
}

// Forgetting the process state drops the pointer without touching the
// record: the host reclaims the memory of an abandoned call itself (here an
// arena that frees every block it handed out), and the next solve starts
// afresh.
namespace {

std::vector<void*>* arena_blocks = nullptr;

void* ArenaAllocate(void*, std::size_t size) {
  void* block = std::malloc(size);
  arena_blocks->push_back(block);
  return block;
}
void ArenaFree(void*, void*) {}

}  // namespace

TEST_F(LemkeTest, ForgetStateDropsTheWorkspacePointer) {
  std::vector<void*> blocks;
  arena_blocks = &blocks;
  Memory_Interface arena{nullptr, ArenaAllocate, ArenaAllocate, ArenaFree, ArenaFree};
  Memory_SetInterface(&arena);
  LemkeWorkspace* ws = Lemke_CreateWorkspace(3, 3);
  ASSERT_EQ(Lemke_GetWorkspace(), ws);
  Lemke_ForgetState();
  Workspace_ForgetState();
  EXPECT_EQ(Lemke_GetWorkspace(), nullptr);
  Memory_Reset();
  for (void* block : blocks) std::free(block);
  arena_blocks = nullptr;

  PlainLCP p = FromLinear(DegenerateCyclic());
  Information info = MakeInfo(0, 0);
  EXPECT_EQ(Solve(p, info), LEMKE_SOLVED);
}

// Removing the artificials restores fresh identity columns, even after the
// repair moved one of them to another row.
TEST_F(LemkeTest, RemoveArtificialsRestoresIdentityColumns) {
  PlainLCP p = RandomPMatrixProblem(3, 2, false);
  ManualSolve solve(p, 0, 0);
  LemkeWorkspace* ws = solve.Setup();
  SparseMatrix_RPermElement(ws->A, 2, 3 * 3 + 2, 1);
  IDenseVector_SetValue(ws->artificial, 2, 5);
  const int nnz = SparseMatrix_NNZ(ws->A);
  Lemke_RemoveArtificials();
  EXPECT_EQ(SparseMatrix_Cols(ws->A), 12);
  EXPECT_EQ(SparseMatrix_NNZ(ws->A), nnz);
  for (int i = 1; i <= 3; ++i) {
    for (int r = 1; r <= 3; ++r) {
      EXPECT_EQ(SparseMatrix_GetElement(ws->A, r, 9 + i), r == i ? 1.0 : 0.0);
    }
    EXPECT_EQ(IDenseVector_Value(ws->artificial, i), 0);
  }
}

// Repair of a singular basis: the names printed are those of the rows the
// factorization left uncovered (here a basis whose positions hold the
// columns of other rows), and the repaired basis factors.
TEST_F(LemkeTest, FactorRepairNamesTheUncoveredRows) {
  // Row 1 of M is zero: with z2 in position 1 and z1 in position 2, row 1 is
  // uncovered.
  PlainLCP p = MakeProblem("rowzero", 2);
  DenseBuilder m(2);
  m(2, 1) = 1.0;
  m(2, 2) = 2.0;
  SetMatrix(p, m);
  p.q = {1.0, -1.0};
  p.start = {0.5, 0.5};
  ManualSolve solve(p, 1, 1);
  LemkeWorkspace* ws = solve.Setup();
  IDenseVector_SetValue(ws->basis, 1, 2);
  IDenseVector_SetValue(ws->basis, 2, 1);
  ASSERT_EQ(Basis_Factor(ws->factor, ws->A, ws->basis), BASIS_SINGULAR);
  const int count = Basis_NumSingular(ws->factor);
  ASSERT_EQ(count, 1);
  int row = 0, position = 0;
  Basis_GetSingular(ws->factor, 1, &row, &position);
  ASSERT_EQ(row, 1);
  output()->Clear();
  EXPECT_EQ(Lemke_Factor(solve.lcp()), 1);
  const std::string& status = output()->status();
  EXPECT_NE(status.find("Lemke: Factor: 1 singularities.\n"), std::string::npos) << status;
  EXPECT_NE(status.find("Crash: Factor: singular constraint: row1\n"), std::string::npos)
      << status;
  EXPECT_EQ(status.find("singular constraint: row2"), std::string::npos) << status;
  EXPECT_NE(status.find("Total Artificials       : "), std::string::npos);
  EXPECT_EQ(Basis_Factor(ws->factor, ws->A, ws->basis), BASIS_FACTORED);
}

// Two singular columns of the same row: each gets an artificial of its
// own, so one repair round suffices.
TEST_F(LemkeTest, FactorRepairNeverSharesAnArtificial) {
  // Columns z2 = 2 e1, z1 = e1 and w1 = -e1 span only row 1: two
  // singularities, rows 2 and 3 uncovered, and the factorization pivots on
  // z2 first, so that the singular columns z1 and w1 both belong to row 1.
  PlainLCP p = MakeProblem("shared", 3);
  DenseBuilder m(3);
  m(1, 1) = 1.0;
  m(1, 2) = 2.0;
  m(3, 3) = 1.0;
  SetMatrix(p, m);
  p.q = {1.0, 1.0, 1.0};
  p.start = {0.5, 0.5, 0.5};
  ManualSolve solve(p, 1, 1);
  LemkeWorkspace* ws = solve.Setup();
  IDenseVector_SetValue(ws->basis, 1, 2);      // z2
  IDenseVector_SetValue(ws->basis, 2, 1);      // z1
  IDenseVector_SetValue(ws->basis, 3, 3 + 1);  // w1
  ASSERT_EQ(Basis_Factor(ws->factor, ws->A, ws->basis), BASIS_SINGULAR);
  ASSERT_EQ(Basis_NumSingular(ws->factor), 2);
  for (int j = 1; j <= 2; ++j) {
    int row = 0, position = 0;
    Basis_GetSingular(ws->factor, j, &row, &position);
    const int column = IDenseVector_Value(ws->basis, position);
    ASSERT_TRUE(column == 1 || column == 4) << "singular column " << column;
  }
  Lemke_OptionTable[LEMKE_RANK_DEFICIENCY_ITERATIONS].int_value = 1;
  EXPECT_EQ(Lemke_Factor(solve.lcp()), 1);
  // No column twice, and each artificial stands for one column.
  std::vector<int> seen(13, 0);
  for (int k = 1; k <= 3; ++k) seen[IDenseVector_Value(ws->basis, k)] += 1;
  for (int c = 1; c <= 12; ++c) EXPECT_LE(seen[c], 1) << c;
  EXPECT_EQ(Basis_Factor(ws->factor, ws->A, ws->basis), BASIS_FACTORED);
}

// No repair rounds, or a back-end that cannot name its singular columns:
// the repair fails and says so with 0.
TEST_F(LemkeTest, FactorRepairFailsWithoutRoundsOrSingularityReport) {
  struct Case {
    const char* name;
    int rounds;
    bool dense;
  };
  for (const Case& c : {Case{"no rounds", 0, false}, Case{"dense back-end", 10, true}}) {
    SCOPED_TRACE(c.name);
    SetDefaults();
    if (c.dense) UseDenseBackEnd();
    Lemke_OptionTable[LEMKE_RANK_DEFICIENCY_ITERATIONS].int_value = c.rounds;
    PlainLCP p = MakeProblem("rowzero", 2);
    DenseBuilder m(2);
    m(2, 1) = 1.0;
    m(2, 2) = 2.0;
    SetMatrix(p, m);
    p.start = {0.5, 0.5};
    ManualSolve solve(p, 1, 1);
    LemkeWorkspace* ws = solve.Setup();
    ASSERT_EQ(Basis_Factor(ws->factor, ws->A, ws->basis), BASIS_SINGULAR);
    EXPECT_EQ(Lemke_Factor(solve.lcp()), 0);
  }
}
