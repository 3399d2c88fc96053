// Fixture of the row-block tests: a small LCP set up for one block phase
// (working point, linear marks, block counts, queue) without any rule run;
// the invariants every reduction must keep (counts equal a recount, F of
// the unfixed rows equals M savedX + q); a brute-force solver of small box
// LCPs; and the check that the block phase keeps the problem's solutions:
// solve what is left by brute force, postsolve, and check the caller's
// original problem at the returned point.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/IDenseVector.hpp"
#include "core/Workspace.hpp"
#include "fixtures/BoxLCP.hpp"
#include "presolve/PresolveQueue.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveRig.hpp"
#include "presolve/rows/RowBlocks.hpp"
#include "presolve/rows/RowShared.hpp"

// A small box LCP held densely: F = M x + q, l <= x <= u.
struct DenseLcp {
  int n = 0;
  std::vector<double> m;  // row-major n x n
  std::vector<double> q, l, u;

  double F(const std::vector<double>& x, int i) const {
    double f = q[i];
    for (int j = 0; j < n; ++j) f += m[i * n + j] * x[j];
    return f;
  }
};

// x solves the box LCP within tol: l <= x <= u and x = mid(l, x - F, u).
inline bool Solves(const DenseLcp& p, const std::vector<double>& x, double tol = 1e-7) {
  for (int i = 0; i < p.n; ++i) {
    if (!(x[i] >= p.l[i] - tol && x[i] <= p.u[i] + tol)) return false;
    const double f = p.F(x, i);
    const double mid = std::min(std::max(x[i] - f, p.l[i]), p.u[i]);
    if (!(std::fabs(x[i] - mid) <= tol * (1.0 + std::fabs(f)))) return false;
  }
  return true;
}

// The problem as the enumerator takes it.
inline LinearProblem SparseOf(const DenseLcp& p) {
  LinearProblem out;
  out.n = p.n;
  std::vector<Triplet> entries;
  for (int j = 0; j < p.n; ++j) {
    for (int i = 0; i < p.n; ++i) {
      if (p.m[i * p.n + j] != 0.0) entries.push_back({i, j, p.m[i * p.n + j]});
    }
  }
  out.M = ColumnMatrix::FromTriplets(p.n, p.n, entries);
  out.q = p.q;
  out.lower = p.l;
  out.upper = p.u;
  return out;
}

// Every solution of the box LCP found by enumerating, per variable, "at its
// lower bound", "at its upper bound" or "F = 0" (a fixed variable is at its
// value). Nonsingular active sets only (pivots above 1e-12): isolated
// solutions and the finite ends of solution segments are found, a solution
// set without a vertex is not. A point counts when Solves accepts it;
// points within 1e-9 of each other are one.
inline std::vector<std::vector<double>> BruteForce(const DenseLcp& p) {
  BoxLCPSearch search;
  search.arithmetic = BoxLCPArithmetic::kFloating;
  search.limit = 0;
  search.nonsingular_only = true;
  search.pivot_tolerance = 1e-12;
  search.distinct_gap = 1e-9;
  search.accepts = [&p](const std::vector<double>& x) { return Solves(p, x); };
  return EnumerateBoxLCP(SparseOf(p), search).points;
}

// What one block phase returned and counted.
struct BlockRun {
  int status;
  std::int32_t one, two, thr, qua, wbd;
};

class RowBlockRig : public PresolveRig {
 protected:
  // One block phase over the queue Ready filled.
  static BlockRun RunBlocks(MCP* mcp, std::int32_t level = 1) {
    BlockRun run{};
    run.status = Row_Blocks(mcp, level, &run.one, &run.two, &run.thr, &run.qua, &run.wbd);
    return run;
  }

  // Dense form of the problem given to Ready.
  static DenseLcp Dense(const LinearProblem& p) {
    DenseLcp d;
    d.n = p.n;
    d.q = p.q;
    d.l = p.lower;
    d.u = p.upper;
    d.m.assign(p.n * p.n, 0.0);
    for (int j = 0; j < p.n; ++j) {
      for (int k = p.M.start[j]; k < p.M.start[j + 1]; ++k) {
        d.m[p.M.index[k] * p.n + j] = p.M.value[k];
      }
    }
    return d;
  }

  // The record of p set up for a block phase at the working point saved
  // (default: the start point): savedX and F there, every unfixed row
  // linear-marked, block counts and queue filled. trace sets
  // output_presolve_level.
  MCP* Ready(const LinearProblem& p, const std::vector<double>& saved = {}, int trace = 1) {
    original_ = Dense(p);
    MCP* mcp = Prepare(p);
    std::vector<double> at = saved.empty() ? X(mcp) : saved;
    std::copy(at.begin(), at.end(), DenseVector_Array(MCP_PresolveSavedX(mcp)));
    DenseVector_SetLength(MCP_PresolveSavedX(mcp), p.n);
    const std::vector<double> f = p.F(at);
    std::copy(f.begin(), f.end(), DenseVector_Array(MCP_EvaluationF(mcp)));
    IDenseVector* marks = Row_LinearMark();
    IDenseVector_SetLength(marks, p.n);
    for (int i = 1; i <= p.n; ++i) IDenseVector_SetValue(marks, i, Row_Fixed(mcp, i) ? 0 : 1);
    Row_CountBlockEntries(mcp);
    Row_FillQueue(mcp);
    Presolve_OptionTable[OUTPUT_PRESOLVE_LEVEL].int_value = trace;
    output()->Clear();
    return mcp;
  }

  static std::vector<double> Saved(MCP* mcp) { return Copy(MCP_PresolveSavedX(mcp)); }
  static std::vector<int> BlockCounts(MCP* mcp) {
    const std::int32_t* b = IDenseVector_Array(Workspace_IVector(6));
    return std::vector<int>(b, b + MCP_FullVariables(mcp));
  }
  // The rows waiting in the queue, head first.
  static std::vector<int> Queue() {
    std::vector<int> rows;
    const std::int32_t* slots = IDenseVector_Array(Workspace_IVector(1));
    const int size = IDenseVector_Length(Workspace_IVector(1));
    for (int k = 0; k < PresolveQueue_Count(); ++k) {
      rows.push_back(slots[(PresolveQueue_Head() - 1 + k) % size]);
    }
    return rows;
  }

  // Counts equal a recount, F of every unfixed row equals M savedX + q, and
  // every queued row is flagged.
  void ExpectConsistent(MCP* mcp) {
    const int n = original_.n;
    const std::vector<double> lo = Lower(mcp), up = Upper(mcp), saved = Saved(mcp);
    std::vector<int> rows(n, 0), cols(n, 0);
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        const double a = original_.m[i * n + j];
        if (lo[i] == up[i] || lo[j] == up[j] || !(std::fabs(a) > 1e-12)) continue;
        rows[i] += 1;
        cols[j] += 1;
      }
    }
    const std::int32_t* rc = IDenseVector_Array(MCP_PresolveRowCount(mcp));
    const std::int32_t* cc = IDenseVector_Array(MCP_PresolveColCount(mcp));
    const std::vector<int> blocks = BlockCounts(mcp);
    const std::vector<double> f = F(mcp);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(rc[i], rows[i]) << "row count " << i + 1;
      EXPECT_EQ(cc[i], cols[i]) << "column count " << i + 1;
      EXPECT_EQ(blocks[i], rows[i]) << "block count " << i + 1;
      if (lo[i] != up[i]) {
        EXPECT_NEAR(f[i], original_.F(saved, i), 1e-9) << "F " << i + 1;
      }
    }
    for (int r : Queue()) EXPECT_EQ(PresolveQueue_Queued(r), 1) << r;
  }

  // What is left after the rules (current bounds) solved by brute force,
  // put back through postsolve: the point must solve the original problem
  // and the bounds must be the original ones again. Returns false when
  // what is left has no vertex solution.
  bool SolveRestAndPostsolve(MCP* mcp) {
    DenseLcp rest = original_;
    rest.l = Lower(mcp);
    rest.u = Upper(mcp);
    const std::vector<std::vector<double>> solutions = BruteForce(rest);
    if (solutions.empty()) return false;
    std::copy(solutions[0].begin(), solutions[0].end(), DenseVector_Array(MCP_FullX(mcp)));
    MCP_Postsolve(mcp);
    EXPECT_EQ(Lower(mcp), original_.l);
    EXPECT_EQ(Upper(mcp), original_.u);
    EXPECT_TRUE(Solves(original_, X(mcp))) << "postsolved point";
    return true;
  }

  // Against the problem: an infeasible report only where no solution
  // exists; where one exists, what is left keeps one (checked after
  // postsolve on the original problem).
  void CheckAgainstProblem(MCP* mcp, int status) {
    const bool solvable = !BruteForce(original_).empty();
    if (status == ROW_INFEASIBLE) {
      // Exact enumeration finds no solution either (or gives up on data
      // that are not integers).
      EXPECT_FALSE(solvable);
      EXPECT_NE(EnumerateBoxLCP(problem_).verdict, BoxLCPVerdict::kSolvable);
    }
    if (solvable) {
      EXPECT_TRUE(SolveRestAndPostsolve(mcp));
    }
  }

  DenseLcp original_;
};
