// Helpers of the row pass and forcing-row tests: rows whose entries are
// declared nonlinear, one forcing step run as a level runs it, and the
// check that the counts and F kept by the reductions match a recount and
// the working point.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "core/IDenseVector.hpp"
#include "presolve/PresolveRig.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/RowPass.hpp"
#include "presolve/rows/RowForce.hpp"
#include "presolve/rows/RowShared.hpp"

class RowForceRig : public PresolveRig {
 protected:
  void SetOption(int index, int value) { Presolve_OptionTable[index].int_value = value; }
  void SetTrace(int level) { SetOption(OUTPUT_PRESOLVE_LEVEL, level); }
  void SetProject(bool on) { Presolve_OptionTable[PRESOLVE_PROJECT_IMPLIED].bool_value = on; }

  // Declares every stored entry of the listed rows (1-based) nonlinear.
  static void MarkNonlinear(MCP* mcp, const std::vector<int>& rows) {
    const PresolveView v = Presolve_View(mcp);
    std::int32_t* type = IDenseVector_Array(MCP_PresolveEntryType(mcp));
    for (int i : rows) {
      for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) type[v.row_entry[k] - 1] = 1;
    }
  }

  // Declares the stored entry (row, col) (1-based) nonlinear.
  static void MarkEntryNonlinear(MCP* mcp, int row, int col) {
    const PresolveView v = Presolve_View(mcp);
    std::int32_t* type = IDenseVector_Array(MCP_PresolveEntryType(mcp));
    for (std::int32_t k = v.RowBegin(row); k < v.RowEnd(row); ++k) {
      const std::int32_t p = v.row_entry[k] - 1;
      if (v.entry_column[p] == col) type[p] = 1;
    }
  }

  // The start of a level, then the forcing rows: the working point is x,
  // the counts and linear marks are fresh.
  static int Force(MCP* mcp, std::int32_t* fix, std::int32_t level = 1) {
    DenseVector_CloneFull(MCP_PresolveSavedX(mcp), MCP_FullX(mcp));
    Row_CountActive(mcp);
    Row_MarkLinear(mcp);
    std::int32_t ifx = -1;
    *fix = -1;
    const int status = Row_ForceRows(mcp, level, fix, &ifx);
    if (status == ROW_CONTINUE) {
      EXPECT_EQ(ifx, 0);
    }
    return status;
  }

  static std::vector<double> Saved(MCP* mcp) { return Copy(MCP_PresolveSavedX(mcp)); }

  // The counts kept by the reductions equal a recount, and F of every
  // unfixed linear row equals M savedX + q of the problem given.
  void ExpectWorkingState(MCP* mcp, const LinearProblem& p) {
    const std::vector<int> rows = Counts(MCP_PresolveRowCount(mcp));
    const std::vector<int> cols = Counts(MCP_PresolveColCount(mcp));
    Row_CountActive(mcp);
    EXPECT_EQ(rows, Counts(MCP_PresolveRowCount(mcp)));
    EXPECT_EQ(cols, Counts(MCP_PresolveColCount(mcp)));
    const std::vector<double> expected = p.F(Saved(mcp));
    const std::vector<double> f = F(mcp);
    const std::vector<int> marks = Marks(mcp);
    for (int i = 0; i < p.n; ++i) {
      if (marks[i] == 1) {
        EXPECT_NEAR(f[i], expected[i], 1e-12) << "row " << i + 1;
      }
    }
  }

  static std::vector<int> Counts(const IDenseVector* v) {
    return std::vector<int>(IDenseVector_Array(v), IDenseVector_Array(v) + IDenseVector_Length(v));
  }
};
