#include "support/Problems.hpp"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

std::vector<double> Filled(int n, double value) { return std::vector<double>(n, value); }

// F and Jacobian of the Kojima-Shindo family: rows 2 and 3 differ between
// the two variants by the coefficients of x3 and x4 and the constants.
NonlinearProblem KojimaFamily(const std::string& name, double c23, double c33, double c34,
                              double b3) {
  NonlinearProblem p;
  p.name = name;
  p.n = 4;
  p.lower = Filled(4, 0.0);
  p.upper = Filled(4, kInf);
  p.start = Filled(4, 0.0);
  p.evaluate = [=](const double* x, double* f, std::vector<Triplet>* jac) {
    const double x1 = x[0], x2 = x[1], x3 = x[2], x4 = x[3];
    f[0] = 3 * x1 * x1 + 2 * x1 * x2 + 2 * x2 * x2 + x3 + 3 * x4 - 6;
    f[1] = 2 * x1 * x1 + x1 + x2 * x2 + c23 * x3 + 2 * x4 - 2;
    f[2] = 3 * x1 * x1 + x1 * x2 + 2 * x2 * x2 + c33 * x3 + c34 * x4 - b3;
    f[3] = x1 * x1 + 3 * x2 * x2 + 2 * x3 + 3 * x4 - 3;
    if (jac) {
      jac->clear();
      const double rows[4][4] = {{6 * x1 + 2 * x2, 2 * x1 + 4 * x2, 1, 3},
                                 {4 * x1 + 1, 2 * x2, c23, 2},
                                 {6 * x1 + x2, x1 + 4 * x2, c33, c34},
                                 {2 * x1, 6 * x2, 2, 3}};
      for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) jac->push_back({i, j, rows[i][j]});
    }
    return true;
  };
  return p;
}

}  // namespace

ColumnMatrix ColumnMatrix::FromTriplets(int rows, int cols, std::vector<Triplet> entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const Triplet& a, const Triplet& b) {
    return a.col != b.col ? a.col < b.col : a.row < b.row;
  });
  ColumnMatrix m;
  m.rows = rows;
  m.cols = cols;
  m.start.assign(cols + 1, 0);
  for (size_t k = 0; k < entries.size(); ++k) {
    const Triplet& t = entries[k];
    if (k > 0 && entries[k - 1].col == t.col && entries[k - 1].row == t.row) {
      m.value.back() += t.value;  // duplicates are summed
      continue;
    }
    m.index.push_back(t.row);
    m.value.push_back(t.value);
    ++m.start[t.col + 1];
  }
  for (int j = 0; j < cols; ++j) m.start[j + 1] += m.start[j];
  return m;
}

ColumnMatrix ColumnMatrix::FromDense(int rows, int cols, const std::vector<double>& row_major) {
  std::vector<Triplet> entries;
  for (int j = 0; j < cols; ++j)
    for (int i = 0; i < rows; ++i)
      if (row_major[i * cols + j] != 0.0) entries.push_back({i, j, row_major[i * cols + j]});
  return FromTriplets(rows, cols, entries);
}

std::vector<double> ColumnMatrix::Multiply(const std::vector<double>& x) const {
  std::vector<double> y(rows, 0.0);
  for (int j = 0; j < cols; ++j)
    for (int k = start[j]; k < start[j + 1]; ++k) y[index[k]] += value[k] * x[j];
  return y;
}

std::vector<double> LinearProblem::F(const std::vector<double>& z) const {
  std::vector<double> f = M.Multiply(z);
  for (int i = 0; i < n; ++i) f[i] += q[i];
  return f;
}

NonlinearProblem KojimaShindo(double start_value) {
  NonlinearProblem p = KojimaFamily("Kojima-Shindo", 10.0, 2.0, 9.0, 9.0);
  p.start = Filled(4, start_value);
  p.solutions = {{1.0, 0.0, 3.0, 0.0}, {std::sqrt(6.0) / 2.0, 0.0, 0.0, 0.5}};
  return p;
}

NonlinearProblem Josephy() {
  NonlinearProblem p = KojimaFamily("Josephy", 3.0, 2.0, 3.0, 1.0);
  p.solutions = {{std::sqrt(6.0) / 2.0, 0.0, 0.0, 0.5}};
  return p;
}

NonlinearProblem NashCournot() {
  NonlinearProblem p;
  p.name = "Nash-Cournot";
  p.n = 5;
  p.lower = Filled(5, 0.0);
  p.upper = Filled(5, kInf);
  p.start = Filled(5, 10.0);
  p.solutions = {{36.9325108, 41.8181417, 43.7065785, 42.6592397, 39.1789525}};
  p.evaluate = [](const double* q, double* f, std::vector<Triplet>* jac) {
    const double c[5] = {10, 8, 6, 4, 2}, beta[5] = {1.2, 1.1, 1.0, 0.9, 0.8};
    const double K = 5.0, gamma = 1.1, g = 1.0 / gamma;
    double Q = 0.0;
    for (int i = 0; i < 5; ++i) Q += q[i];
    if (!(Q > 0.0)) return false;
    for (int i = 0; i < 5; ++i)
      if (q[i] < 0.0) return false;
    const double a = std::pow(5000.0, g);
    const double p = a * std::pow(Q, -g);         // price
    const double dp = -g * p / Q;                 // p'(Q)
    for (int i = 0; i < 5; ++i) {
      f[i] = c[i] + std::pow(q[i] / K, 1.0 / beta[i]) - p + q[i] * g * p / Q;
    }
    if (jac) {
      jac->clear();
      // d/dq_j of [-p + q_i g p / Q] = -p' + delta_ij g p / Q + q_i g (p' Q - p) / Q^2
      for (int j = 0; j < 5; ++j) {
        for (int i = 0; i < 5; ++i) {
          double v = -dp + q[i] * g * (dp * Q - p) / (Q * Q);
          if (i == j) {
            v += g * p / Q;
            if (q[i] > 0.0)
              v += (1.0 / beta[i]) * std::pow(q[i] / K, 1.0 / beta[i] - 1.0) / K;
          }
          jac->push_back({i, j, v});
        }
      }
    }
    return true;
  };
  return p;
}

NonlinearProblem DomainErrors() {
  NonlinearProblem p;
  p.name = "domain errors";
  p.n = 2;
  p.lower = {0.0, -kInf};
  p.upper = {kInf, kInf};
  p.start = {20.0, 0.0};
  p.solutions = {{std::exp(1.0), 2.0}};
  p.evaluate = [](const double* x, double* f, std::vector<Triplet>* jac) {
    if (!(x[0] > 0.0)) return false;
    f[0] = std::log(x[0]) - 1.0;
    f[1] = x[1] - 2.0;
    if (jac) {
      jac->clear();
      jac->push_back({0, 0, 1.0 / x[0]});
      jac->push_back({1, 1, 1.0});
    }
    return true;
  };
  return p;
}

NonlinearProblem BroydenTridiagonal(int n) {
  NonlinearProblem p;
  p.name = "Broyden tridiagonal " + std::to_string(n);
  p.n = n;
  p.lower = Filled(n, -kInf);
  p.upper = Filled(n, kInf);
  p.start = Filled(n, -1.0);
  p.evaluate = [n](const double* x, double* f, std::vector<Triplet>* jac) {
    for (int i = 0; i < n; ++i) {
      const double left = i > 0 ? x[i - 1] : 0.0;
      const double right = i + 1 < n ? x[i + 1] : 0.0;
      f[i] = (3.0 - 2.0 * x[i]) * x[i] - left - 2.0 * right + 1.0;
    }
    if (jac) {
      jac->clear();
      for (int j = 0; j < n; ++j) {
        if (j > 0) jac->push_back({j - 1, j, -2.0});
        jac->push_back({j, j, 3.0 - 4.0 * x[j]});
        if (j + 1 < n) jac->push_back({j + 1, j, -1.0});
      }
    }
    return true;
  };
  return p;
}

NonlinearProblem MixedBoxes() {
  NonlinearProblem p;
  p.name = "mixed boxes";
  p.n = 3;
  p.lower = {0.0, -kInf, -1.0};
  p.upper = {10.0, kInf, 1.0};
  p.start = {0.0, 0.0, 0.0};
  // x3 sits at its lower bound with F3 = 1 > 0; then F1 = F2 = 0 gives
  // x1 + x2 = 1 and x1 - x2 = 1.
  p.solutions = {{1.0, 0.0, -1.0}};
  p.evaluate = [](const double* x, double* f, std::vector<Triplet>* jac) {
    f[0] = x[0] + x[1] - 1.0;
    f[1] = x[0] - x[1] + x[2] * x[2] * x[2];
    f[2] = x[2] + 2.0;
    if (jac) {
      jac->clear();
      *jac = {{0, 0, 1.0}, {1, 0, 1.0}, {0, 1, 1.0}, {1, 1, -1.0},
              {1, 2, 3.0 * x[2] * x[2]}, {2, 2, 1.0}};
    }
    return true;
  };
  return p;
}

NonlinearProblem AsNonlinear(const LinearProblem& lcp) {
  NonlinearProblem p;
  p.name = lcp.name;
  p.n = lcp.n;
  p.lower = lcp.lower;
  p.upper = lcp.upper;
  p.start = Filled(lcp.n, 0.0);
  if (!lcp.solution.empty()) p.solutions = {lcp.solution};
  p.evaluate = [lcp](const double* x, double* f, std::vector<Triplet>* jac) {
    std::vector<double> z(x, x + lcp.n);
    std::vector<double> w = lcp.F(z);
    std::copy(w.begin(), w.end(), f);
    if (jac) {
      jac->clear();
      for (int j = 0; j < lcp.n; ++j)
        for (int k = lcp.M.start[j]; k < lcp.M.start[j + 1]; ++k)
          jac->push_back({lcp.M.index[k], j, lcp.M.value[k]});
    }
    return true;
  };
  return p;
}

LinearProblem ConvexQP() {
  LinearProblem p;
  p.name = "convex QP";
  p.n = 5;
  const std::vector<double> dense = {
      2, 0, -1, 1, 1,   //
      0, 2, 2, 2, -2,   //
      1, -2, 0, 0, 0,   //
      -1, -2, 0, 0, 0,  //
      -1, 2, 0, 0, 0};
  p.M = ColumnMatrix::FromDense(5, 5, dense);
  p.q = {-2, -5, 2, 6, 2};
  p.lower = Filled(5, 0.0);
  p.upper = Filled(5, kInf);
  p.solution = {1.4, 1.7, 0.8, 0.0, 0.0};
  return p;
}

LinearProblem DegenerateCyclic() {
  LinearProblem p;
  p.name = "degenerate cyclic";
  p.n = 3;
  p.M = ColumnMatrix::FromDense(3, 3, {1, 2, 0, 0, 1, 2, 2, 0, 1});
  p.q = Filled(3, -1.0);
  p.lower = Filled(3, 0.0);
  p.upper = Filled(3, kInf);
  p.solution = Filled(3, 1.0 / 3.0);
  return p;
}

LinearProblem Exponential(int n) {
  LinearProblem p;
  p.name = "exponential " + std::to_string(n);
  p.n = n;
  std::vector<Triplet> entries;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < j; ++i) entries.push_back({i, j, 2.0});
    entries.push_back({j, j, 1.0});
  }
  p.M = ColumnMatrix::FromTriplets(n, n, entries);
  p.q = Filled(n, -1.0);
  p.lower = Filled(n, 0.0);
  p.upper = Filled(n, kInf);
  p.solution = Filled(n, 0.0);
  p.solution[n - 1] = 1.0;
  return p;
}

LinearProblem Obstacle(int m) {
  LinearProblem p;
  p.name = "obstacle " + std::to_string(m);
  const int n = m * m;
  p.n = n;
  const double h = 1.0 / (m + 1);
  const double s = 1.0 / (h * h);
  std::vector<Triplet> entries;
  auto id = [m](int i, int j) { return j * m + i; };
  std::vector<double> psi(n);
  for (int j = 0; j < m; ++j) {
    for (int i = 0; i < m; ++i) {
      const double x = (i + 1) * h, y = (j + 1) * h;
      psi[id(i, j)] = -0.1 - (x - 0.5) * (x - 0.5) - (y - 0.5) * (y - 0.5);
      entries.push_back({id(i, j), id(i, j), 4.0 * s});
      if (i > 0) entries.push_back({id(i - 1, j), id(i, j), -s});
      if (i + 1 < m) entries.push_back({id(i + 1, j), id(i, j), -s});
      if (j > 0) entries.push_back({id(i, j - 1), id(i, j), -s});
      if (j + 1 < m) entries.push_back({id(i, j + 1), id(i, j), -s});
    }
  }
  p.M = ColumnMatrix::FromTriplets(n, n, entries);
  // q = A psi - f with f = -8; the boundary value 0 adds nothing.
  p.q = p.M.Multiply(psi);
  for (double& v : p.q) v += 8.0;
  p.lower = Filled(n, 0.0);
  p.upper = Filled(n, kInf);
  return p;
}

LinearProblem PlantedMonotone(int n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> pick(0, n - 1);
  LinearProblem p;
  p.name = "planted monotone " + std::to_string(n);
  p.n = n;
  // B with three entries per column; M = B B^T + S + 0.1 I.
  std::vector<std::vector<std::pair<int, double>>> bcols(n);
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < 3; ++k) bcols[j].push_back({pick(rng), unit(rng)});
  std::vector<Triplet> entries;
  for (int j = 0; j < n; ++j)
    for (const auto& a : bcols[j])
      for (const auto& b : bcols[j]) entries.push_back({a.first, b.first, a.second * b.second});
  for (int k = 0; k < n; ++k) {
    const int i = pick(rng), j = pick(rng);
    if (i == j) continue;
    const double v = unit(rng);
    entries.push_back({i, j, v});
    entries.push_back({j, i, -v});
  }
  for (int i = 0; i < n; ++i) entries.push_back({i, i, 0.1});
  p.M = ColumnMatrix::FromTriplets(n, n, entries);
  p.lower.resize(n);
  p.upper.resize(n);
  p.solution.resize(n);
  std::vector<double> w(n, 0.0);
  for (int i = 0; i < n; ++i) {
    const int kind = i % 3;  // 0: [0, inf), 1: [-1, 1], 2: free
    p.lower[i] = kind == 0 ? 0.0 : kind == 1 ? -1.0 : -kInf;
    p.upper[i] = kind == 1 ? 1.0 : kInf;
    const int where = static_cast<int>(rng() % 3);  // 0 lower, 1 upper, 2 between
    if (where == 0 && kind != 2) {
      p.solution[i] = p.lower[i];
      w[i] = 0.5 + std::fabs(unit(rng));
    } else if (where == 1 && kind == 1) {
      p.solution[i] = p.upper[i];
      w[i] = -0.5 - std::fabs(unit(rng));
    } else {
      p.solution[i] = kind == 1 ? 0.9 * unit(rng) : kind == 0 ? 0.1 + std::fabs(unit(rng))
                                                              : 2.0 * unit(rng);
      w[i] = 0.0;
    }
  }
  std::vector<double> mz = p.M.Multiply(p.solution);
  p.q.resize(n);
  for (int i = 0; i < n; ++i) p.q[i] = w[i] - mz[i];
  return p;
}

LinearProblem NoSolution() {
  LinearProblem p;
  p.name = "no solution";
  p.n = 1;
  p.M = ColumnMatrix::FromDense(1, 1, {-1.0});
  p.q = {-1.0};
  p.lower = {0.0};
  p.upper = {kInf};
  p.solvable = false;
  return p;
}

double ComplementarityViolation(const std::vector<double>& lower, const std::vector<double>& upper,
                                const std::vector<double>& z, const std::vector<double>& f) {
  double worst = 0.0;
  for (size_t i = 0; i < z.size(); ++i) {
    const double l = lower[i] <= -kInf ? -INFINITY : lower[i];
    const double u = upper[i] >= kInf ? INFINITY : upper[i];
    if (!std::isfinite(z[i]) || !std::isfinite(f[i])) return INFINITY;
    worst = std::max(worst, l - z[i]);
    worst = std::max(worst, z[i] - u);
    double mid = z[i] - f[i];
    if (mid < l) mid = l;
    if (mid > u) mid = u;
    worst = std::max(worst, std::fabs(z[i] - mid));
  }
  return worst;
}

double ComplementarityViolation(const NonlinearProblem& problem, const std::vector<double>& z) {
  std::vector<double> f(problem.n);
  if (!problem.evaluate(z.data(), f.data(), nullptr)) return INFINITY;
  return ComplementarityViolation(problem.lower, problem.upper, z, f);
}

double ComplementarityViolation(const LinearProblem& problem, const std::vector<double>& z) {
  return ComplementarityViolation(problem.lower, problem.upper, z, problem.F(z));
}
