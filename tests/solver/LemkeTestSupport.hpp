// Helpers of the pivoting-method tests: small and random problems over the
// fixtures' PlainLCP, and the phases of one solve run by hand.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/Error.hpp"
#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/DenseBasis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "fixtures/PlainLCP.hpp"
#include "fixtures/Problems.hpp"
#include "problems/LCP.hpp"
#include "solver/Information.hpp"
#include "solver/Lemke.hpp"
#include "solver/LemkeOptions.hpp"
#include "support/TestSupport.hpp"

namespace lemke_test {

constexpr double INF = kInf;

// A dense matrix written by (row, column) from 1, for small problems.
struct DenseBuilder {
  int n;
  std::vector<double> a;
  explicit DenseBuilder(int size) : n(size), a(static_cast<size_t>(size) * size, 0.0) {}
  double& operator()(int i, int j) { return a[static_cast<size_t>(i - 1) * n + (j - 1)]; }
};

// An NCP shell of size n (M = 0, q = 0, z >= 0, start 0); set M with
// SetMatrix.
inline PlainLCP MakeProblem(const std::string& name, int n) {
  PlainLCP p;
  p.name = name;
  p.n = n;
  p.M = ColumnMatrix::FromDense(n, n, std::vector<double>(static_cast<size_t>(n) * n, 0.0));
  p.q.assign(n, 0.0);
  p.lower.assign(n, 0.0);
  p.upper.assign(n, INF);
  p.start.assign(n, 0.0);
  return p;
}

inline void SetMatrix(PlainLCP& p, const DenseBuilder& m) {
  p.M = ColumnMatrix::FromDense(m.n, m.n, m.a);
}

// --- problems of these tests ------------------------------------------------

// Monotone (skew) and infeasible: z >= 0, w = (z2 - 1, -z1 - 1).
inline PlainLCP InfeasibleMonotoneProblem() {
  PlainLCP p = MakeProblem("infeasible monotone", 2);
  DenseBuilder m(2);
  m(1, 2) = 1;
  m(2, 1) = -1;
  SetMatrix(p, m);
  p.q = {-1, -1};
  p.solvable = false;
  return p;
}

// Random P-matrix: positive definite but not symmetric (G G'/n + K + I/2, K
// skew). boxed: every variable in a finite box, else NCP bounds.
inline PlainLCP RandomPMatrixProblem(int n, unsigned seed, bool boxed) {
  PlainLCP p = MakeProblem(std::string(boxed ? "pmatrix box " : "pmatrix ") + std::to_string(seed), n);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> G(static_cast<size_t>(n) * n);
  for (double& g : G) g = u(gen);
  DenseBuilder m(n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      double v = 0.0;
      for (int k = 0; k < n; ++k) v += G[(i - 1) * n + k] * G[(j - 1) * n + k];
      m(i, j) = v / n + (i == j ? 0.5 : 0.0);
    }
  for (int i = 1; i <= n; ++i)
    for (int j = i + 1; j <= n; ++j) {
      const double k = u(gen);
      m(i, j) += k;
      m(j, i) -= k;
    }
  SetMatrix(p, m);
  for (int i = 0; i < n; ++i) {
    p.q[i] = 2.0 * u(gen);
    if (boxed) {
      p.lower[i] = -1.0 + 0.5 * u(gen);
      p.upper[i] = 1.0 + 0.5 * u(gen);
    }
  }
  return p;
}

// Random P-matrix that is not positive definite: upper triangular with a
// positive diagonal.
inline PlainLCP RandomTriangularProblem(int n, unsigned seed) {
  PlainLCP p = MakeProblem("triangular " + std::to_string(seed), n);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  DenseBuilder m(n);
  for (int i = 1; i <= n; ++i) {
    m(i, i) = 1.0 + 0.5 * (u(gen) + 1.0);
    for (int j = i + 1; j <= n; ++j) m(i, j) = 3.0 * u(gen);
  }
  SetMatrix(p, m);
  for (int i = 0; i < n; ++i) p.q[i] = 2.0 * u(gen);
  return p;
}

// --- running the method -----------------------------------------------------

inline Information MakeInfo(int factor_given, int start_given) {
  Information info{};
  info.output_mask = 7;
  info.factor_given_basis = factor_given;
  info.start_from_given_basis = start_given;
  return info;
}

// Solves p with Lemke_Method through an LCP record of its own.
inline int Solve(PlainLCP& p, Information& info) {
  LCP_Interface table = PlainLCPInterface(&p);
  LCP_SetInterface(&table);
  LCP* lcp = LCP_Create(p.n, PlainLCPEntries(p));
  int code = 0;
  try {
    code = Lemke_Method(lcp, &info);
  } catch (...) {
    LCP_Destroy(lcp);
    throw;
  }
  LCP_Destroy(lcp);
  return code;
}

// Runs the phases of one solve by hand on p (setup, basis, start, ...),
// releasing whatever the solve still holds when it goes.
class ManualSolve {
 public:
  ManualSolve(PlainLCP& p, int factor_given, int start_given)
      : table_(PlainLCPInterface(&p)), info_(MakeInfo(factor_given, start_given)) {
    LCP_SetInterface(&table_);
    lcp_ = LCP_Create(p.n, PlainLCPEntries(p));
  }
  ~ManualSolve() {
    LemkeWorkspace* ws = Lemke_GetWorkspace();
    if (ws != nullptr && ws->in_solve) {
      ws->in_solve = 0;
      Lemke_DestroyWorkspace();
    }
    LCP_Destroy(lcp_);
  }
  ManualSolve(const ManualSolve&) = delete;
  ManualSolve& operator=(const ManualSolve&) = delete;

  LemkeWorkspace* Setup() {
    Lemke_Setup(lcp_, &info_);
    return Lemke_GetWorkspace();
  }
  // Setup, starting basis and start.
  LemkeWorkspace* Start() {
    LemkeWorkspace* ws = Setup();
    Lemke_Basis(lcp_);
    Lemke_Start();
    return ws;
  }
  LCP* lcp() { return lcp_; }
  Information& info() { return info_; }

 private:
  LCP_Interface table_;
  Information info_;
  LCP* lcp_ = nullptr;
};

// Makes the dense back-end (no singularity report) current.
inline void UseDenseBackEnd() { Basis_SetInterface(DenseBasis_Interface()); }

// The test's own defaults for the groups the method reads.
inline void SetDefaults() {
  Options_CommonDefaults();
  Factorization_Defaults();
  Lemke_Defaults();
}

}  // namespace lemke_test

// Fixture: library defaults, the sparse back-end, captured output.
class LemkeTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    lemke_test::SetDefaults();
  }
  void TearDown() override {
    // Every solve must have released its workspace.
    EXPECT_EQ(Lemke_GetWorkspace(), nullptr);
    Factorization_Defaults();
    LibraryTest::TearDown();
  }
};
