// Harness of the row presolve tests: the solutions of small box LCPs over
// the bounds a pass left, symmetric renumbering, and the run of the row pass to its fixed
// point with the postsolve of every reduced solution checked against the
// original problem.
#include "RowHarness.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <sstream>

#include "core/DenseVector.hpp"
#include "core/RecordStack.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/PresolveRecord.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr double kOracleTolerance = 1e-7;
constexpr int kMaxPassCalls = 50;

using Dense = std::vector<std::vector<double>>;

bool Finite(double v) { return std::fabs(v) < kInf; }

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

std::string Show(const std::vector<double>& v) {
  std::ostringstream s;
  s << "(";
  for (size_t k = 0; k < v.size(); ++k) s << (k ? ", " : "") << v[k];
  s << ")";
  return s.str();
}

bool Integral(double v) { return std::fabs(v) < 1e15 && v == std::floor(v); }

// Each row of M with its q scaled by the least power of two (up to 2^20)
// that makes it integer; a positive row scale keeps every solution.
LinearProblem IntegerRows(const LinearProblem& p) {
  std::vector<double> scale(p.n, 1.0);
  for (int i = 0; i < p.n; ++i) {
    while (scale[i] < 1048576.0 && !Integral(p.q[i] * scale[i])) scale[i] *= 2.0;
  }
  for (int j = 0; j < p.n; ++j) {
    for (int k = p.M.start[j]; k < p.M.start[j + 1]; ++k) {
      const int i = p.M.index[k];
      while (scale[i] < 1048576.0 && !Integral(p.M.value[k] * scale[i])) scale[i] *= 2.0;
    }
  }
  LinearProblem out = p;
  for (int j = 0; j < p.n; ++j) {
    for (int k = p.M.start[j]; k < p.M.start[j + 1]; ++k) out.M.value[k] *= scale[p.M.index[k]];
  }
  for (int i = 0; i < p.n; ++i) out.q[i] *= scale[i];
  return out;
}


// Generator of the random block problems.
class Draw {
 public:
  explicit Draw(std::uint32_t seed) : rng_(seed) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < p; }
  int NonZero(int magnitude) { return Chance(0.5) ? Int(1, magnitude) : -Int(1, magnitude); }
  std::mt19937& rng() { return rng_; }

 private:
  std::mt19937 rng_;
};

void DrawBlock(Draw* d, int first, int size, Dense* m) {
  const bool dominant = d->Chance(0.5);
  for (int i = first; i < first + size; ++i) {
    double off = 0.0;
    for (int j = first; j < first + size; ++j) {
      if (j != i && d->Chance(0.7)) (*m)[i][j] = d->NonZero(3);
      off += j == i ? 0.0 : std::fabs((*m)[i][j]);
    }
    if (dominant) {
      (*m)[i][i] = off + d->Int(1, 2);
    } else if (d->Chance(0.7)) {
      (*m)[i][i] = d->NonZero(3);
    }
  }
}

void DrawCoupled(Draw* d, int first, int n, Dense* m) {
  for (int i = first; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      if (d->Chance(j == i ? 0.7 : 0.3)) (*m)[i][j] = d->NonZero(3);
    }
  }
}

void DrawBound(Draw* d, double* l, double* u) {
  std::discrete_distribution<int> kind({0.5, 1.5, 3.0, 1.0, 2.0});
  switch (kind(d->rng())) {
    case 0: *l = *u = d->Int(-1, 1); return;
    case 1: *l = -kInf; *u = kInf; return;
    case 2: *l = d->Int(-1, 1); *u = kInf; return;
    case 3: *l = -kInf; *u = d->Int(-1, 2); return;
    default: *l = d->Int(-2, 1); *u = *l + d->Int(1, 3); return;
  }
}

// q := w - M z around a point z with w complementary to it.
void Plant(Draw* d, const Dense& m, const std::vector<double>& l, const std::vector<double>& u,
           std::vector<double>* q) {
  const int n = static_cast<int>(q->size());
  std::vector<double> z(n), w(n);
  for (int j = 0; j < n; ++j) {
    const int side = d->Int(0, 2);
    if (l[j] == u[j]) {
      z[j] = l[j];
      w[j] = d->Int(-2, 2);
    } else if (side == 0 && Finite(l[j])) {
      z[j] = l[j];
      w[j] = d->Int(0, 2);
    } else if (side == 1 && Finite(u[j])) {
      z[j] = u[j];
      w[j] = -d->Int(0, 2);
    } else {
      const double lo = Finite(l[j]) ? l[j] : -3.0, hi = Finite(u[j]) ? u[j] : 3.0;
      z[j] = std::floor((lo + hi) / 2.0);
      w[j] = 0.0;
    }
  }
  for (int i = 0; i < n; ++i) {
    double mz = 0.0;
    for (int j = 0; j < n; ++j) mz += m[i][j] * z[j];
    (*q)[i] = w[i] - mz;
  }
}

// Row r2 := k row r1 (q too, or off by one); sometimes column r2 := k'
// column r1 as well, so that the pair can merge.
void Duplicate(Draw* d, Dense* m, std::vector<double>* q) {
  const int n = static_cast<int>(q->size());
  const int r1 = d->Int(0, n - 1);
  int r2 = d->Int(0, n - 2);
  if (r2 >= r1) ++r2;
  const int factors[] = {1, -1, 2};
  const int k = factors[d->Int(0, 2)];
  if (d->Chance(0.5)) {
    const int kc = factors[d->Int(0, 2)];
    for (int i = 0; i < n; ++i) (*m)[i][r2] = kc * (*m)[i][r1];
  }
  for (int j = 0; j < n; ++j) (*m)[r2][j] = k * (*m)[r1][j];
  (*q)[r2] = k * (*q)[r1] + (d->Chance(0.7) ? 0 : d->NonZero(1));
}

}  // namespace

// Whether the problem has a solution: exact when its rows scale to integer
// data, else the enumeration in doubles.
BoxLCPVerdict VerdictOf(const LinearProblem& p) {
  const BoxLCPEnumeration exact = EnumerateBoxLCP(IntegerRows(p));
  if (exact.verdict != BoxLCPVerdict::kUndecided) return exact.verdict;
  const EnumeratedSolutions e = EnumerateSolutions(p, p.lower, p.upper, 1);
  if (!e.decided) return BoxLCPVerdict::kUndecided;
  return e.points.empty() ? BoxLCPVerdict::kInfeasible : BoxLCPVerdict::kSolvable;
}

EnumeratedSolutions EnumerateSolutions(const LinearProblem& p, const std::vector<double>& lower,
                                       const std::vector<double>& upper, int limit,
                                       int max_unfixed) {
  EnumeratedSolutions out;
  int unfixed = 0;
  for (int j = 0; j < p.n; ++j) unfixed += lower[j] != upper[j] ? 1 : 0;
  if (unfixed > max_unfixed) return out;
  out.decided = true;
  BoxLCPSearch search;
  search.arithmetic = BoxLCPArithmetic::kFloating;
  search.lower = lower;
  search.upper = upper;
  search.limit = std::max(1, limit);
  search.face_places = true;
  out.points = EnumerateBoxLCP(p, search).points;
  return out;
}

LinearProblem PermuteProblem(const LinearProblem& p, const std::vector<int>& perm) {
  LinearProblem out;
  out.name = p.name + " permuted";
  out.n = p.n;
  std::vector<int> inverse(p.n);
  for (int k = 0; k < p.n; ++k) inverse[perm[k]] = k;
  std::vector<Triplet> entries;
  for (int j = 0; j < p.n; ++j) {
    for (int k = p.M.start[j]; k < p.M.start[j + 1]; ++k) {
      entries.push_back({inverse[p.M.index[k]], inverse[j], p.M.value[k]});
    }
  }
  out.M = ColumnMatrix::FromTriplets(p.n, p.n, entries);
  for (int k = 0; k < p.n; ++k) {
    out.q.push_back(p.q[perm[k]]);
    out.lower.push_back(p.lower[perm[k]]);
    out.upper.push_back(p.upper[perm[k]]);
    if (!p.solution.empty()) out.solution.push_back(p.solution[perm[k]]);
  }
  out.solvable = p.solvable;
  return out;
}

LinearProblem RandomRowBlockLCP(std::uint32_t seed, int max_n) {
  Draw d(seed);
  const int n = d.Int(1, max_n);
  const int coupled = std::min(n - 1, d.Int(0, 2));
  Dense m(n, std::vector<double>(n, 0.0));
  int first = 0;
  while (first < n - coupled) {
    const int size = std::min(n - coupled - first, d.Int(1, 3));
    DrawBlock(&d, first, size, &m);
    first += size;
  }
  DrawCoupled(&d, n - coupled, n, &m);
  std::vector<double> l(n), u(n), q(n);
  for (int j = 0; j < n; ++j) DrawBound(&d, &l[j], &u[j]);
  if (l[0] == u[0]) u[0] = l[0] + 2.0;  // never all fixed: nothing would be left to solve
  if (d.Chance(0.5)) {
    Plant(&d, m, l, u, &q);
  } else {
    for (double& v : q) v = d.Int(-4, 4);
  }
  if (n >= 2 && d.Chance(0.4)) Duplicate(&d, &m, &q);
  std::vector<std::vector<double>> rows(m.begin(), m.end());
  const LinearProblem blocks = Lcp(rows, q, l, u, "row blocks " + std::to_string(seed));
  std::vector<int> perm(n);
  std::iota(perm.begin(), perm.end(), 0);
  std::shuffle(perm.begin(), perm.end(), d.rng());
  LinearProblem out = PermuteProblem(blocks, perm);
  out.name = blocks.name;
  return out;
}

std::string Describe(const RowRun& run) {
  std::ostringstream s;
  s << "status " << run.status << ", " << run.calls << " calls, " << run.levels << " levels, "
    << run.unfixed << " unfixed, " << run.reduced_solutions << " reduced solutions";
  for (const std::string& f : run.faults) s << "\n  fault: " << f;
  s << "\n--- log ---\n" << run.log;
  return s.str();
}

MCP* RowHarness::PassToFixedPoint(const LinearProblem& p, const RowSettings& settings,
                                  RowRun* run) {
  Presolve_OptionTable[OUTPUT_PRESOLVE_LEVEL].int_value = settings.trace_level;
  Presolve_OptionTable[PRESOLVE_PROJECT_IMPLIED].bool_value = settings.project_implied ? 1 : 0;
  MCP* mcp = PrepareFrom(p, settings.start);
  std::int32_t level = 1;
  std::int32_t changed = 1;
  run->status = MCP_CONTINUE;
  run->calls = 0;
  try {
    while (changed != 0 && run->status == MCP_CONTINUE && run->calls < kMaxPassCalls) {
      run->status = settings.pass(mcp, &level, &changed);
      run->calls += 1;
    }
  } catch (const SolverErrorException& error) {
    run->faults.push_back(std::string("solver error in the row pass: ") + error.what());
    run->status = -1;
  }
  if (changed != 0 && run->status == MCP_CONTINUE) run->faults.push_back("no fixed point reached");
  run->levels = level - 1;
  run->log = Log();
  run->lower = Lower(mcp);
  run->upper = Upper(mcp);
  run->unfixed = 0;
  for (int j = 0; j < p.n; ++j) run->unfixed += run->lower[j] != run->upper[j] ? 1 : 0;
  return mcp;
}

void RowHarness::PostsolveAndCheck(MCP* mcp, const LinearProblem& p,
                                   const std::vector<double>& z, bool check_point,
                                   RowRun* run) {
  std::copy(z.begin(), z.end(), DenseVector_Array(MCP_FullX(mcp)));
  try {
    MCP_Postsolve(mcp);
  } catch (const SolverErrorException& error) {
    run->faults.push_back(std::string("solver error in the postsolve: ") + error.what());
    return;
  }
  if (!SameBits(Lower(mcp), p.lower) || !SameBits(Upper(mcp), p.upper)) {
    run->faults.push_back("bounds not restored: " + Show(Lower(mcp)) + " " + Show(Upper(mcp)));
  }
  if (Records(mcp) != 0) run->faults.push_back("records left on the stack");
  const std::vector<double> x = X(mcp);
  if (!check_point) return;
  run->postsolved.push_back(x);
  if (!(ComplementarityViolation(p, x) <= kOracleTolerance)) {
    run->faults.push_back("reduced solution " + Show(z) + " postsolves to " + Show(x) +
                          ", which does not solve the problem (violation " +
                          std::to_string(ComplementarityViolation(p, x)) + ")");
  }
}

void RowHarness::CheckInfeasible(const LinearProblem& p, RowRun* run) {
  if (VerdictOf(p) == BoxLCPVerdict::kSolvable) {
    run->faults.push_back("a solvable problem was called infeasible");
  }
}

RowRun RowHarness::RunRows(const LinearProblem& p, const RowSettings& settings) {
  RowRun run;
  MCP* mcp = PassToFixedPoint(p, settings, &run);
  if (run.status == -1) return run;
  if (run.status == MCP_OTHER_FAILURE) run.faults.push_back("status 10 (cannot handle)");
  if (run.status == MCP_INFEASIBLE) CheckInfeasible(p, &run);
  if (run.status != MCP_CONTINUE) {
    // The bounds still come back whole, whatever ended the pass.
    PostsolveAndCheck(mcp, p, X(mcp), false, &run);
    return run;
  }
  // F stays M x + q at the point the pass leaves, inside the new bounds.
  const std::vector<double> x = X(mcp), f = F(mcp), expected = p.F(x);
  for (int i = 0; i < p.n; ++i) {
    if (std::fabs(f[i] - expected[i]) > 1e-9 * (1.0 + std::fabs(expected[i]))) {
      run.faults.push_back("F not current in row " + std::to_string(i + 1));
    }
    if (x[i] < run.lower[i] - 1e-9 || x[i] > run.upper[i] + 1e-9) {
      run.faults.push_back("x outside the new bounds at " + std::to_string(i + 1));
    }
  }
  const EnumeratedSolutions reduced =
      EnumerateSolutions(p, run.lower, run.upper, std::max(1, settings.solutions));
  if (!reduced.decided) return run;
  run.reduced_solutions = static_cast<int>(reduced.points.size());
  if (reduced.points.empty()) {
    if (VerdictOf(p) == BoxLCPVerdict::kSolvable) {
      run.faults.push_back("the reduced problem lost every solution: bounds " +
                           Show(run.lower) + " " + Show(run.upper));
    }
    PostsolveAndCheck(mcp, p, x, false, &run);
    return run;
  }
  for (size_t k = 0; k < reduced.points.size(); ++k) {
    if (k > 0) {
      // Each further solution on a record reduced afresh, quietly.
      RowRun again;
      RowSettings quiet = settings;
      quiet.trace_level = -1;
      mcp = PassToFixedPoint(p, quiet, &again);
      if (again.status != run.status || !SameBits(again.lower, run.lower) ||
          !SameBits(again.upper, run.upper)) {
        run.faults.push_back("a second run of the pass reduced differently");
        return run;
      }
    }
    PostsolveAndCheck(mcp, p, reduced.points[k], true, &run);
  }
  return run;
}
