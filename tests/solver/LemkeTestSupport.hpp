// Helpers of the pivoting-method tests: an LCP_Interface over plain data,
// classic and random problems, and the check of a result against the
// problem (bounds and complementarity with F recomputed here).
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
#include "factorization/FactorizationOptions.hpp"
#include "problems/LCP.hpp"
#include "solver/Information.hpp"
#include "solver/Lemke.hpp"
#include "solver/LemkeOptions.hpp"
#include "support/TestSupport.hpp"

namespace lemke_test {

constexpr double INF = 1e20;

// An LCP as plain data: dense M (column-major), q, bounds, start point and
// optional status codes; the finish callback keeps what it received.
struct PlainLCP {
  std::string name;
  int n = 0;
  std::vector<double> M;  // M[(j - 1) * n + (i - 1)] = m_ij
  std::vector<double> q, lower, upper, start;
  std::vector<int> status;  // given BasisStatus codes; empty: no basis slot
  std::vector<double> known;  // the solution when it is unique, else empty

  // Filled by the callbacks.
  std::vector<double> solution;
  int finish_calls = 0;
  // Misbehaviour on request: 1 solver error, 2 interrupt jump in finish.
  int fail_in_finish = 0;

  double& m(int i, int j) { return M[static_cast<size_t>(j - 1) * n + (i - 1)]; }
  double m(int i, int j) const { return M[static_cast<size_t>(j - 1) * n + (i - 1)]; }
};

inline PlainLCP MakeProblem(const std::string& name, int n) {
  PlainLCP p;
  p.name = name;
  p.n = n;
  p.M.assign(static_cast<size_t>(n) * n, 0.0);
  p.q.assign(n, 0.0);
  p.lower.assign(n, 0.0);
  p.upper.assign(n, INF);
  p.start.assign(n, 0.0);
  return p;
}

// --- callbacks -------------------------------------------------------------

inline void CbSize(void* data, int* n, int* nnz) {
  const PlainLCP* p = static_cast<PlainLCP*>(data);
  *n = p->n;
  int count = 0;
  for (double v : p->M) count += v != 0.0;
  *nnz = count > 0 ? count : 1;
}

inline void CbBounds(void* data, int n, double* z, double* lower, double* upper) {
  const PlainLCP* p = static_cast<PlainLCP*>(data);
  for (int i = 0; i < n; ++i) {
    z[i] = p->start[i];
    lower[i] = p->lower[i];
    upper[i] = p->upper[i];
  }
}

inline void CbMatrix(void* data, int n, int* nnz, int* col_start, int* col_len, int* row,
                     double* value, double* q) {
  const PlainLCP* p = static_cast<PlainLCP*>(data);
  int count = 0;
  for (int j = 1; j <= n; ++j) {
    col_start[j - 1] = count + 1;
    col_len[j - 1] = 0;
    for (int i = 1; i <= n; ++i) {
      const double v = p->m(i, j);
      if (v == 0.0) continue;
      if (count >= *nnz) Error_SolverError("test matrix: room exceeded\n");
      row[count] = i;
      value[count] = v;
      ++count;
      ++col_len[j - 1];
    }
  }
  *nnz = count;
  for (int i = 0; i < n; ++i) q[i] = p->q[i];
}

inline void CbFinish(void* data, const double* z) {
  PlainLCP* p = static_cast<PlainLCP*>(data);
  p->finish_calls += 1;
  p->solution.assign(z, z + p->n);
  if (p->fail_in_finish == 1) Error_SolverError("test: finish refused\n");
  if (p->fail_in_finish == 2) throw InterruptJump{nullptr};
}

inline int CbConstraintName(void*, int i, char* buffer, int length) {
  return std::snprintf(buffer, length, "row%d", i);
}

inline void CbBasis(void* data, int n, int* status) {
  const PlainLCP* p = static_cast<PlainLCP*>(data);
  for (int i = 0; i < n; ++i) status[i] = p->status[i];
}

inline LCP_Interface MakeInterface(PlainLCP* p) {
  LCP_Interface table{};
  table.data = p;
  table.problem_size = CbSize;
  table.bounds = CbBounds;
  table.matrix = CbMatrix;
  table.finish = CbFinish;
  table.constraint_name = CbConstraintName;
  if (!p->status.empty()) table.basis = CbBasis;
  return table;
}

// --- the check against the problem -----------------------------------------

inline std::vector<double> EvaluateF(const PlainLCP& p, const std::vector<double>& z) {
  std::vector<double> f(p.q);
  for (int j = 1; j <= p.n; ++j) {
    if (z[j - 1] == 0.0) continue;
    for (int i = 1; i <= p.n; ++i) f[i - 1] += p.m(i, j) * z[j - 1];
  }
  return f;
}

// Largest violation of l <= z <= u and of |z - mid(l, u, z - F(z))|.
inline double Violation(const PlainLCP& p, const std::vector<double>& z) {
  if (static_cast<int>(z.size()) != p.n) return INFINITY;
  const std::vector<double> f = EvaluateF(p, z);
  double worst = 0.0;
  for (int i = 0; i < p.n; ++i) {
    if (!std::isfinite(z[i]) || !std::isfinite(f[i])) return INFINITY;
    worst = std::max(worst, p.lower[i] - z[i]);
    worst = std::max(worst, z[i] - p.upper[i]);
    const double y = z[i] - f[i];
    const double mid = std::min(std::max(y, p.lower[i]), p.upper[i]);
    worst = std::max(worst, std::fabs(z[i] - mid));
  }
  return worst;
}

// --- problems ---------------------------------------------------------------

// Convex QP in KKT form (n = 5): x = (1.4, 1.7), multipliers (0.8, 0, 0).
inline PlainLCP QPProblem() {
  PlainLCP p = MakeProblem("qp", 5);
  const double A[3][2] = {{1, -2}, {-1, -2}, {-1, 2}};
  p.m(1, 1) = 2;
  p.m(2, 2) = 2;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 2; ++c) {
      p.m(3 + r, 1 + c) = A[r][c];
      p.m(1 + c, 3 + r) = -A[r][c];
    }
  }
  p.q = {-2, -5, 2, 6, 2};
  p.known = {1.4, 1.7, 0.8, 0.0, 0.0};
  return p;
}

// Degenerate cyclic LCP (n = 3): z = (1/3, 1/3, 1/3), w = 0.
inline PlainLCP CyclicProblem() {
  PlainLCP p = MakeProblem("cyclic", 3);
  const double M[3][3] = {{1, 2, 0}, {0, 1, 2}, {2, 0, 1}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) p.m(i + 1, j + 1) = M[i][j];
  p.q = {-1, -1, -1};
  p.known = {1.0 / 3, 1.0 / 3, 1.0 / 3};
  return p;
}

// Exponential LCP: M upper triangular, 1 on the diagonal, 2 above; q = -1.
// Unique solution e_n.
inline PlainLCP ExponentialProblem(int n) {
  PlainLCP p = MakeProblem("exponential" + std::to_string(n), n);
  for (int i = 1; i <= n; ++i) {
    p.m(i, i) = 1;
    for (int j = i + 1; j <= n; ++j) p.m(i, j) = 2;
  }
  p.q.assign(n, -1.0);
  p.known.assign(n, 0.0);
  p.known[n - 1] = 1.0;
  return p;
}

// Obstacle problem on an m x m grid: M = 5-point Laplacian / h^2,
// q = A psi + 8 (v = u - psi >= 0).
inline PlainLCP ObstacleProblem(int m) {
  const int n = m * m;
  PlainLCP p = MakeProblem("obstacle" + std::to_string(m), n);
  const double h = 1.0 / (m + 1);
  const double s = 1.0 / (h * h);
  auto index = [m](int a, int b) { return (b - 1) * m + a; };
  std::vector<double> psi(n);
  for (int b = 1; b <= m; ++b)
    for (int a = 1; a <= m; ++a) {
      const double x = a * h, y = b * h;
      psi[index(a, b) - 1] = -0.1 - (x - 0.5) * (x - 0.5) - (y - 0.5) * (y - 0.5);
    }
  for (int b = 1; b <= m; ++b)
    for (int a = 1; a <= m; ++a) {
      const int k = index(a, b);
      p.m(k, k) = 4 * s;
      if (a > 1) p.m(k, index(a - 1, b)) = -s;
      if (a < m) p.m(k, index(a + 1, b)) = -s;
      if (b > 1) p.m(k, index(a, b - 1)) = -s;
      if (b < m) p.m(k, index(a, b + 1)) = -s;
    }
  for (int i = 1; i <= n; ++i) {
    double v = 8.0;
    for (int j = 1; j <= n; ++j) v += p.m(i, j) * psi[j - 1];
    p.q[i - 1] = v;
  }
  return p;
}

// No solution (n = 1): F = -z - 1 < 0 on z >= 0.
inline PlainLCP NoSolutionProblem() {
  PlainLCP p = MakeProblem("nosolution", 1);
  p.m(1, 1) = -1;
  p.q = {-1};
  return p;
}

// Monotone (skew) and infeasible: z >= 0, w = (z2 - 1, -z1 - 1).
inline PlainLCP InfeasibleMonotoneProblem() {
  PlainLCP p = MakeProblem("infeasible_monotone", 2);
  p.m(1, 2) = 1;
  p.m(2, 1) = -1;
  p.q = {-1, -1};
  return p;
}

// Random P-matrix: positive definite but not symmetric (G G'/n + K + I/2, K
// skew). boxed: every variable in a finite box, else NCP bounds.
inline PlainLCP RandomPMatrixProblem(int n, unsigned seed, bool boxed) {
  PlainLCP p = MakeProblem(std::string(boxed ? "pmatrix_box" : "pmatrix") + std::to_string(seed), n);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> G(static_cast<size_t>(n) * n);
  for (double& g : G) g = u(gen);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      double v = 0.0;
      for (int k = 0; k < n; ++k) v += G[(i - 1) * n + k] * G[(j - 1) * n + k];
      p.m(i, j) = v / n + (i == j ? 0.5 : 0.0);
    }
  for (int i = 1; i <= n; ++i)
    for (int j = i + 1; j <= n; ++j) {
      const double k = u(gen);
      p.m(i, j) += k;
      p.m(j, i) -= k;
    }
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
  PlainLCP p = MakeProblem("triangular" + std::to_string(seed), n);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int i = 1; i <= n; ++i) {
    p.m(i, i) = 1.0 + 0.5 * (u(gen) + 1.0);
    for (int j = i + 1; j <= n; ++j) p.m(i, j) = 3.0 * u(gen);
  }
  for (int i = 0; i < n; ++i) p.q[i] = 2.0 * u(gen);
  return p;
}

// Planted monotone LCP with mixed bounds: M = B B' + S + 0.1 I (B sparse, S
// sparse skew); bounds [0, inf), [-1, 1] or free; a planted solution with a
// third at a finite lower bound, a third at a finite upper bound, the rest
// between, and q = w* - M z*. Unique solution z*.
inline PlainLCP PlantedMonotoneProblem(int n, unsigned seed) {
  PlainLCP p = MakeProblem("planted" + std::to_string(seed), n);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::uniform_int_distribution<int> pick(1, n);
  // B with 3 entries per column.
  std::vector<std::vector<std::pair<int, double>>> B(n + 1);
  for (int j = 1; j <= n; ++j)
    for (int t = 0; t < 3; ++t) B[j].push_back({pick(gen), 2.0 * u(gen) - 1.0});
  for (int j = 1; j <= n; ++j)
    for (const auto& a : B[j])
      for (const auto& b : B[j]) p.m(a.first, b.first) += a.second * b.second;
  for (int t = 0; t < 2 * n; ++t) {
    const int i = pick(gen), j = pick(gen);
    if (i == j) continue;
    const double v = 2.0 * u(gen) - 1.0;
    p.m(i, j) += v;
    p.m(j, i) -= v;
  }
  for (int i = 1; i <= n; ++i) p.m(i, i) += 0.1;

  std::vector<double> z(n), w(n);
  for (int i = 0; i < n; ++i) {
    const int bound_kind = static_cast<int>(3 * u(gen));  // 0 NCP, 1 box, 2 free
    const int place = static_cast<int>(3 * u(gen));       // 0 lower, 1 upper, 2 between
    if (bound_kind == 0) {
      p.lower[i] = 0.0;
      p.upper[i] = INF;
    } else if (bound_kind == 1) {
      p.lower[i] = -1.0;
      p.upper[i] = 1.0;
    } else {
      p.lower[i] = -INF;
      p.upper[i] = INF;
    }
    if (place == 0 && p.lower[i] > -INF) {
      z[i] = p.lower[i];
      w[i] = 0.1 + u(gen);
    } else if (place == 1 && p.upper[i] < INF) {
      z[i] = p.upper[i];
      w[i] = -0.1 - u(gen);
    } else {
      const double lo = p.lower[i] > -INF ? p.lower[i] : -2.0;
      const double hi = p.upper[i] < INF ? p.upper[i] : 2.0;
      z[i] = lo + (hi - lo) * (0.1 + 0.8 * u(gen));
      w[i] = 0.0;
    }
  }
  for (int i = 1; i <= n; ++i) {
    double v = w[i - 1];
    for (int j = 1; j <= n; ++j) v -= p.m(i, j) * z[j - 1];
    p.q[i - 1] = v;
  }
  p.known = z;
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
  LCP_Interface table = MakeInterface(&p);
  LCP_SetInterface(&table);
  int nnz = 0, n = 0;
  CbSize(&p, &n, &nnz);
  LCP* lcp = LCP_Create(n, nnz);
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
      : table_(MakeInterface(&p)), info_(MakeInfo(factor_given, start_given)) {
    LCP_SetInterface(&table_);
    int n = 0, nnz = 0;
    CbSize(&p, &n, &nnz);
    lcp_ = LCP_Create(n, nnz);
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
