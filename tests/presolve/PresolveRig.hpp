// Fixture of the presolve rule tests: small LCPs written as dense rows,
// records set up for the presolve (evaluated at the start point, presolve
// structures built, candidate rows marked) without any rule run, whole
// solves, and the checks the tests share. The presolve's invariant check is
// on throughout.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Options.hpp"
#include "core/RecordStack.hpp"
#include "core/Workspace.hpp"
#include "fixtures/ProblemAdapter.hpp"
#include "fixtures/Problems.hpp"
#include "presolve/MCP_Start.hpp"
#include "presolve/Presolve.hpp"
#include "presolve/PresolveDebug.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/PresolveSkew.hpp"
#include "presolve/WholeSolveRig.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "support/TestSupport.hpp"

// F(z) = M z + q with M given by rows; bounds l, u (kInf for infinite).
inline LinearProblem Lcp(const std::vector<std::vector<double>>& rows, std::vector<double> q,
                         std::vector<double> l, std::vector<double> u,
                         const std::string& name = "lcp") {
  LinearProblem p;
  p.name = name;
  p.n = static_cast<int>(q.size());
  std::vector<double> dense;
  for (const auto& row : rows) dense.insert(dense.end(), row.begin(), row.end());
  // Only the non-zero entries are stored.
  std::vector<Triplet> entries;
  for (int i = 0; i < p.n; ++i) {
    for (int j = 0; j < p.n; ++j) {
      const double a = dense[static_cast<size_t>(i) * p.n + j];
      if (a != 0.0) entries.push_back({i, j, a});
    }
  }
  p.M = ColumnMatrix::FromTriplets(p.n, p.n, entries);
  p.q = std::move(q);
  p.lower = std::move(l);
  p.upper = std::move(u);
  return p;
}

class PresolveRig : public WholeSolveRig {
 protected:
  void TearDown() override {
    adapters_.clear();
    WholeSolveRig::TearDown();
  }

  // The record of p evaluated at its start point (0 projected onto the
  // bounds) with the presolve set up and the candidate rows marked; no rule
  // has run. row_types, when given, classes the rows.
  MCP* Prepare(const LinearProblem& p, const std::vector<int>& row_types = {}) {
    problem_ = p;
    return Prepare(AsNonlinear(p), row_types);
  }

  // The same from the start point start (n values, projected onto the
  // bounds by the start) instead of 0.
  MCP* PrepareFrom(const LinearProblem& p, const std::vector<double>& start) {
    problem_ = p;
    NonlinearProblem nonlinear = AsNonlinear(p);
    if (!start.empty()) nonlinear.start = start;
    return Prepare(nonlinear);
  }

  // The same for a problem given by its evaluation (its Jacobian entries
  // reported constant).
  MCP* Prepare(const NonlinearProblem& p, const std::vector<int>& row_types = {}) {
    adapters_.push_back(std::make_unique<ProblemAdapter>(p));
    ProblemAdapter& adapter = *adapters_.back();
    adapter.AllowPresolve(true, row_types);
    Presolve_OptionTable[PRESOLVE].bool_value = 0;
    EXPECT_EQ(MCP_Start(adapter.mcp()), MCP_CONTINUE);
    Presolve_OptionTable[PRESOLVE].bool_value = 1;
    MCP_PresolvePrepare(adapter.mcp());
    MCP_MarkCandidateRows(adapter.mcp());
    output()->Clear();
    adapter.function_calls = 0;
    adapter.jacobian_calls = 0;
    return adapter.mcp();
  }

  ProblemAdapter& adapter() { return *adapters_.back(); }

  // A whole solve of p through Sarn_Solve with the presolve on (row types
  // as in Prepare); returns the termination code, the point in *z.
  int SolveWhole(const LinearProblem& p, std::vector<double>* z,
                 const std::vector<int>& row_types = {}) {
    return SolveWholeFrom(p, {}, z, row_types);
  }

  // The same from the start point start (n values) instead of 0.
  int SolveWholeFrom(const LinearProblem& p, const std::vector<double>& start,
                     std::vector<double>* z, const std::vector<int>& row_types = {}) {
    NonlinearProblem nonlinear = AsNonlinear(p);
    if (!start.empty()) nonlinear.start = start;
    adapters_.push_back(std::make_unique<ProblemAdapter>(nonlinear));
    adapters_.back()->AllowPresolve(true, row_types);
    Information info{};
    info.output_mask = OUTPUT_LOG;
    const int code = Sarn_Solve(adapters_.back()->mcp(), &info);
    *z = adapters_.back()->Point();
    return code;
  }

  // Full point, bounds and F of the record.
  static std::vector<double> X(MCP* mcp) { return Copy(MCP_FullX(mcp)); }
  static std::vector<double> Lower(MCP* mcp) { return Copy(MCP_FullLower(mcp)); }
  static std::vector<double> Upper(MCP* mcp) { return Copy(MCP_FullUpper(mcp)); }
  static std::vector<double> F(MCP* mcp) { return Copy(MCP_EvaluationF(mcp)); }
  static std::vector<double> Copy(const DenseVector* v) {
    return std::vector<double>(DenseVector_Array(v), DenseVector_Array(v) + DenseVector_Length(v));
  }
  static std::vector<int> Marks(MCP* mcp) {
    const IDenseVector* marks = Workspace_IVector(3);
    return std::vector<int>(IDenseVector_Array(marks),
                            IDenseVector_Array(marks) + MCP_FullVariables(mcp));
  }
  static int Records(MCP* mcp) { return RecordStack_Count(MCP_PresolveStack(mcp)); }
  static PresolveRecord Top(MCP* mcp) {
    PresolveRecord r;
    RecordStack_Top(MCP_PresolveStack(mcp), r);
    return r;
  }

  // F of the record equals M x + q recomputed from the problem.
  void ExpectFCurrent(MCP* mcp) {
    const std::vector<double> expected = problem_.F(X(mcp));
    const std::vector<double> f = F(mcp);
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(f[i], expected[i], 1e-12) << i + 1;
  }

  const std::string& Log() { return output()->log(); }
  bool Logged(const std::string& text) { return Log().find(text) != std::string::npos; }

  LinearProblem problem_;

 private:
  std::vector<std::unique_ptr<ProblemAdapter>> adapters_;
};
