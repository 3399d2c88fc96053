// Randomised property test of the whole presolve on small MCPs with a
// planted solution and planted structure for its rules: fixed variables
// (with entries), singleton rows and columns, isolated and zero rows, free
// variables, skew-symmetric pairs, duplicate rows and columns, one-sided,
// boxed and infinite bounds (written as 1e20, beyond it, or as IEEE
// infinity), nonlinear diagonal and coupling terms, and linear entries the
// caller declares nonlinear. Each problem is solved whole through Sarn_Solve
// with the presolve on and off; the returned point is checked against the
// problem itself:
//  - a point reported solved solves the original problem,
//  - a problem with a planted solution is never called infeasible,
//  - a strongly monotone problem (exactly one solution) solved without the
//    presolve is solved with it too.
// Each record is solved twice, so that the second start shows anything the
// first one left behind. Starts lie inside and outside the bounds, some far
// away (1e6), rows are scaled by factors that round, and some coefficients
// lie near the zero tolerances.
// The ctest run is short; SARN_PROPERTY_SEEDS=<count> and
// SARN_PROPERTY_FIRST=<seed> run many more seeds from the command line,
// SARN_PROPERTY_KEEP_GOING=1 past failures, SARN_PROPERTY_VERBOSE=1 with the
// failing problems printed.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fixtures/ProblemAdapter.hpp"
#include "fixtures/Problems.hpp"
#include "presolve/WholeSolveRig.hpp"
#include "solver/Information.hpp"

namespace {

// The solver stops at a Fischer residual of 1e-6 (two-norm), which allows a
// componentwise violation of the oracle up to a few times that.
constexpr double kTolerance = 1e-5;

// A planted problem: F(z) = M z + q + sum of the nonlinear terms.
struct Planted {
  std::string name;
  int n = 0;
  std::vector<double> M;  // row major, n x n
  std::vector<double> q, lower, upper, start, solution;
  std::vector<double> cube;    // F_i += cube_i * z_i^3
  std::vector<int> square_of;  // F_i += square_i * z_{square_of_i}^2 (-1: none)
  std::vector<double> square;
  std::vector<char> declared_nonlinear;  // row major: entry reported nonlinear
  bool unique = false;                   // strongly monotone
  double At(int i, int j) const { return M[i * n + j]; }
};

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : rng_(seed) {}

  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  int NonZero(int size) {
    int v = Int(1, size);
    return Chance(0.5) ? v : -v;
  }

 private:
  std::mt19937 rng_;
};

enum class Bound { kFixed, kFree, kLower, kUpper, kBoxed };

Bound DrawBound(Generator* g) {
  const int k = g->Int(0, 19);
  if (k < 2) return Bound::kFixed;
  if (k < 5) return Bound::kFree;
  if (k < 12) return Bound::kLower;
  if (k < 15) return Bound::kUpper;
  return Bound::kBoxed;
}

// The infinity the caller writes: the option's 1e20, beyond it, or IEEE.
double DrawInfinity(Generator* g) {
  const int k = g->Int(0, 2);
  if (k == 0) return 1e20;
  if (k == 1) return 1e30;
  return std::numeric_limits<double>::infinity();
}

// Strongly (margin > 0 everywhere) or weakly monotone linear part with
// planted roles per variable: generic, diagonal only, skew only, none.
void MonotoneMatrix(Generator* g, Planted* p) {
  const int n = p->n;
  enum Role { kGeneric, kDiagonal, kSkew, kNone };
  std::vector<int> role(n);
  for (int i = 0; i < n; ++i) {
    const int k = g->Int(0, 9);
    role[i] = k < 5 ? kGeneric : (k < 7 ? kDiagonal : (k < 9 ? kSkew : kNone));
  }
  p->unique = g->Chance(0.5);
  if (p->unique) {
    for (int i = 0; i < n; ++i) {
      if (role[i] == kSkew || role[i] == kNone) role[i] = kDiagonal;
    }
  }
  std::vector<double>& M = p->M;
  // B B' over the generic variables.
  const int k = g->Int(1, 3);
  std::vector<double> B(n * k, 0.0);
  for (int i = 0; i < n; ++i) {
    if (role[i] != kGeneric) continue;
    for (int c = 0; c < k; ++c) {
      if (g->Chance(0.5)) B[i * k + c] = g->NonZero(2);
    }
  }
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      for (int c = 0; c < k; ++c) M[i * n + j] += B[i * k + c] * B[j * k + c];
    }
  }
  // Skew pairs between generic or skew variables.
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const bool a = role[i] == kGeneric || role[i] == kSkew;
      const bool b = role[j] == kGeneric || role[j] == kSkew;
      if (!a || !b || !g->Chance(0.35)) continue;
      const int s = g->NonZero(3);
      M[i * n + j] += s;
      M[j * n + i] -= s;
    }
  }
  // A one-sided coupling between generic variables paid for by the
  // diagonal, so that the symmetric part stays diagonally dominant.
  std::vector<double> need(n, 0.0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      if (i == j || role[i] != kGeneric || role[j] != kGeneric || !g->Chance(0.2)) continue;
      const int e = g->NonZero(2);
      M[i * n + j] += e;
      need[i] += 0.5 * std::fabs(e);
      need[j] += 0.5 * std::fabs(e);
    }
  }
  for (int i = 0; i < n; ++i) {
    double margin = 0.0;
    if (role[i] == kDiagonal || p->unique) margin = g->Int(1, 3);
    if (role[i] == kGeneric && !p->unique && g->Chance(0.5)) margin = 0.0;
    M[i * n + i] += need[i] + margin;
  }
  // Monotone nonlinear terms on the diagonal.
  for (int i = 0; i < n; ++i) {
    if (g->Chance(0.25)) p->cube[i] = g->Int(1, 2);
  }
}

// Any sparse linear part with duplicate rows and columns, zero and
// singleton rows and columns, and (non-monotone) nonlinear terms.
void GeneralMatrix(Generator* g, Planted* p) {
  const int n = p->n;
  std::vector<double>& M = p->M;
  for (int i = 0; i < n; ++i) {
    if (g->Chance(0.7)) M[i * n + i] = g->NonZero(3);
    for (int j = 0; j < n; ++j) {
      if (i != j && g->Chance(0.3)) M[i * n + j] = g->NonZero(3);
    }
  }
  if (n >= 2 && g->Chance(0.4)) {  // duplicate row, scaled
    const int a = g->Int(0, n - 1);
    const int b = (a + g->Int(1, n - 1)) % n;
    const int s = g->Chance(0.5) ? 1 : g->NonZero(2);
    for (int j = 0; j < n; ++j) M[b * n + j] = s * M[a * n + j];
  }
  if (n >= 2 && g->Chance(0.3)) {  // duplicate column
    const int a = g->Int(0, n - 1);
    const int b = (a + g->Int(1, n - 1)) % n;
    for (int i = 0; i < n; ++i) M[i * n + b] = M[i * n + a];
  }
  if (g->Chance(0.3)) {  // singleton row
    const int i = g->Int(0, n - 1);
    const int keep = g->Chance(0.5) ? i : g->Int(0, n - 1);
    for (int j = 0; j < n; ++j) M[i * n + j] = j == keep ? g->NonZero(3) : 0.0;
  }
  if (g->Chance(0.3)) {  // singleton column
    const int j = g->Int(0, n - 1);
    const int keep = g->Chance(0.5) ? j : g->Int(0, n - 1);
    for (int i = 0; i < n; ++i) M[i * n + j] = i == keep ? g->NonZero(3) : 0.0;
  }
  if (g->Chance(0.15)) {  // entries near the zero tolerances
    const int i = g->Int(0, n - 1);
    const int j = g->Int(0, n - 1);
    M[i * n + j] = g->NonZero(3) * (g->Chance(0.5) ? 1e-11 : 1e-13);
  }
  if (g->Chance(0.15)) {  // zero row
    const int i = g->Int(0, n - 1);
    for (int j = 0; j < n; ++j) M[i * n + j] = 0.0;
  }
  for (int i = 0; i < n; ++i) {
    if (g->Chance(0.15)) p->cube[i] = g->NonZero(2);
    if (n >= 2 && g->Chance(0.1)) {
      p->square_of[i] = (i + g->Int(1, n - 1)) % n;
      p->square[i] = g->NonZero(2);
    }
  }
}

// Bounds and a planted solution with F = w there.
void PlantSolution(Generator* g, Planted* p, std::vector<double>* w_out) {
  const int n = p->n;
  const double inf = DrawInfinity(g);
  std::vector<double>& w = *w_out;
  w.assign(n, 0.0);
  for (int i = 0; i < n; ++i) {
    const Bound kind = DrawBound(g);
    double& l = p->lower[i];
    double& u = p->upper[i];
    double& z = p->solution[i];
    const bool degenerate = g->Chance(0.25);
    const int sign = degenerate ? 0 : g->Int(1, 3);
    switch (kind) {
      case Bound::kFixed:
        l = u = g->Int(-2, 2);
        z = l;
        w[i] = g->Int(-3, 3);
        break;
      case Bound::kFree:
        l = -inf;
        u = inf;
        z = g->Int(-3, 3);
        break;
      case Bound::kLower:
        l = g->Int(-2, 2);
        u = inf;
        if (g->Chance(0.6)) {
          z = l;
          w[i] = sign;
        } else {
          z = l + g->Int(1, 3);
        }
        break;
      case Bound::kUpper:
        l = -inf;
        u = g->Int(-2, 2);
        if (g->Chance(0.6)) {
          z = u;
          w[i] = -sign;
        } else {
          z = u - g->Int(1, 3);
        }
        break;
      case Bound::kBoxed: {
        l = g->Int(-3, 1);
        u = l + g->Int(1, 4);
        if (g->Chance(0.05)) {  // bounds equal within presolve_zero_tolerance
          u = l + 1e-13;
          z = l;
          w[i] = g->Int(-3, 3);
          break;
        }
        const int at = g->Int(0, 2);
        if (at == 0) {
          z = l;
          w[i] = sign;
        } else if (at == 1) {
          z = u;
          w[i] = -sign;
        } else {
          z = (l + u) * 0.5;
        }
        break;
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    // Starts inside and outside the bounds, some far away.
    const int k = g->Int(0, 9);
    p->start[i] = k < 5 ? 0.0 : (k < 8 ? g->Int(-4, 4) : g->NonZero(3) * 1e6);
  }
}

// A forcing row i: z_i free or bounded on one side only, no own entry, and
// every column of the row at the bound that attains the row's lower
// activity bound, where F_i = 0. Entries whose needed bound is infinite
// are dropped.
void PlantForcingRow(Generator* g, Planted* p, std::vector<double>* w) {
  const int n = p->n;
  const int i = g->Int(0, n - 1);
  if (std::fabs(p->lower[i]) < 1e20 && std::fabs(p->upper[i]) < 1e20) return;
  p->M[i * n + i] = 0.0;
  p->cube[i] = 0.0;
  p->square_of[i] = -1;
  for (int j = 0; j < n; ++j) {
    const double a = p->At(i, j);
    if (j == i || a == 0.0) continue;
    // Bounds within presolve_zero_tolerance of each other are made one by
    // the bound check, at the lower one.
    const bool at_lower = a > 0 || p->upper[j] - p->lower[j] < 1e-12;
    const double bound = at_lower ? p->lower[j] : p->upper[j];
    if (!(std::fabs(bound) < 1e20)) {
      p->M[i * n + j] = 0.0;
      continue;
    }
    p->solution[j] = bound;
    if (p->lower[j] == p->upper[j]) continue;
    (*w)[j] = at_lower ? g->Int(0, 3) : -g->Int(0, 3);
  }
  (*w)[i] = 0.0;
}

// q that makes the planted solution one, with F = w there.
void SetConstant(Planted* p, const std::vector<double>& w) {
  const int n = p->n;
  for (int i = 0; i < n; ++i) {
    double f = 0.0;
    for (int j = 0; j < n; ++j) f += p->At(i, j) * p->solution[j];
    f += p->cube[i] * std::pow(p->solution[i], 3);
    if (p->square_of[i] >= 0) f += p->square[i] * std::pow(p->solution[p->square_of[i]], 2);
    p->q[i] = w[i] - f;
  }
}

// Rows scaled by positive factors that are not powers of two: the same
// solutions, but sums that round.
void ScaleRows(Generator* g, Planted* p, std::vector<double>* w) {
  static const double kScales[] = {1.0, 0.1, 1.0 / 3.0, 7.7, 1e3, 1e5};
  for (int i = 0; i < p->n; ++i) {
    const double s = kScales[g->Int(0, 5)];
    for (int j = 0; j < p->n; ++j) p->M[i * p->n + j] *= s;
    (*w)[i] *= s;
    p->cube[i] *= s;
    p->square[i] *= s;
  }
}

Planted Draw(std::uint32_t seed) {
  Generator g(seed);
  Planted p;
  p.n = g.Chance(0.8) ? g.Int(1, 9) : g.Int(10, 16);
  const int n = p.n;
  p.name = "planted MCP, seed " + std::to_string(seed);
  p.M.assign(n * n, 0.0);
  p.q.assign(n, 0.0);
  p.lower.assign(n, 0.0);
  p.upper.assign(n, 0.0);
  p.start.assign(n, 0.0);
  p.solution.assign(n, 0.0);
  p.cube.assign(n, 0.0);
  p.square_of.assign(n, -1);
  p.square.assign(n, 0.0);
  const bool monotone = g.Chance(0.6);
  if (monotone) {
    MonotoneMatrix(&g, &p);
  } else {
    GeneralMatrix(&g, &p);
  }
  std::vector<double> w;
  PlantSolution(&g, &p, &w);
  if (!monotone && g.Chance(0.5)) PlantForcingRow(&g, &p, &w);
  if (g.Chance(0.3)) ScaleRows(&g, &p, &w);
  SetConstant(&p, w);
  p.declared_nonlinear.assign(n * n, 0);
  for (int k = 0; k < n * n; ++k) p.declared_nonlinear[k] = g.Chance(0.05) ? 1 : 0;
  return p;
}

// A linear problem F(z) = M z + q (M row major, n x n) with no nonlinear
// term and no entry declared nonlinear.
Planted Linear(const std::string& name, int n, std::vector<double> M, std::vector<double> q,
               std::vector<double> lower, std::vector<double> upper, std::vector<double> start) {
  Planted p;
  p.name = name;
  p.n = n;
  p.M = std::move(M);
  p.q = std::move(q);
  p.lower = std::move(lower);
  p.upper = std::move(upper);
  p.start = std::move(start);
  p.cube.assign(n, 0.0);
  p.square_of.assign(n, -1);
  p.square.assign(n, 0.0);
  p.declared_nonlinear.assign(n * n, 0);
  return p;
}

// The Jacobian entries of p at x, column by column.
void Jacobian(const Planted& p, const double* x, std::vector<Triplet>* jac) {
  const int n = p.n;
  jac->clear();
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      double a = p.At(i, j);
      bool stored = a != 0.0;
      if (i == j && p.cube[i] != 0.0) {
        a += 3.0 * p.cube[i] * x[i] * x[i];
        stored = true;
      }
      if (p.square_of[i] == j) {
        a += 2.0 * p.square[i] * x[j];
        stored = true;
      }
      if (stored) jac->push_back({i, j, a});
    }
  }
}

NonlinearProblem AsProblem(const Planted& p) {
  NonlinearProblem out;
  out.name = p.name;
  out.n = p.n;
  out.lower = p.lower;
  out.upper = p.upper;
  out.start = p.start;
  out.evaluate = [p](const double* x, double* f, std::vector<Triplet>* jac) {
    for (int i = 0; i < p.n; ++i) {
      double v = p.q[i] + p.cube[i] * x[i] * x[i] * x[i];
      if (p.square_of[i] >= 0) v += p.square[i] * x[p.square_of[i]] * x[p.square_of[i]];
      for (int j = 0; j < p.n; ++j) v += p.At(i, j) * x[j];
      f[i] = v;
    }
    if (jac != nullptr) Jacobian(p, x, jac);
    return true;
  };
  return out;
}

// Entry types from the problem: the entries of the nonlinear terms and the
// declared ones are nonlinear (1), the rest constant (0).
struct TypeHook {
  const Planted* problem;
  MCP* mcp;
  static void Types(void* data, int nnz, int* type) {
    const auto* self = static_cast<TypeHook*>(data);
    const Planted& p = *self->problem;
    const SparseMatrix_ColumnView jac =
        SparseMatrix_Columns(FunctionJacobian_Jacobian(self->mcp->evaluation));
    for (int k = 0; k < nnz; ++k) type[k] = ENTRY_NONLINEAR;
    for (int j = 0; j < p.n; ++j) {
      for (int k = jac.start[j] - 1; k < jac.start[j] - 1 + jac.length[j] && k < nnz; ++k) {
        const int i = jac.row[k] - 1;
        const bool nonlinear = (i == j && p.cube[i] != 0.0) || p.square_of[i] == j ||
                               p.declared_nonlinear[i * p.n + j] != 0;
        type[k] = nonlinear ? ENTRY_NONLINEAR : ENTRY_CONSTANT;
      }
    }
  }
};

// The problem on stdout, for a look at a failing seed.
void Dump(const Planted& p) {
  for (int i = 0; i < p.n; ++i) {
    std::printf("row %d:", i + 1);
    for (int j = 0; j < p.n; ++j) std::printf(" %.17g", p.At(i, j));
    std::printf(" | q %.17g cube %g sq %g*z%d^2 | [%.17g, %.17g] z* %.17g start %g\n", p.q[i],
                p.cube[i], p.square[i], p.square_of[i] + 1, p.lower[i], p.upper[i], p.solution[i],
                p.start[i]);
  }
}

struct Solve1 : WholeSolve {
  double violation = INFINITY;
};

struct Outcome : Solve1 {
  Solve1 again;  // the same record solved once more
};

class PresolvePropertyTest : public WholeSolveRig {
 protected:
  Outcome Solve(const Planted& p, bool presolve) {
    const NonlinearProblem problem = AsProblem(p);
    ProblemAdapter adapter(problem);
    adapter.AllowPresolve(false);
    TypeHook hook{&p, adapter.mcp()};
    MCP_PresolveInterface hooks{};
    hooks.data = &hook;
    hooks.jacobian_types = &TypeHook::Types;
    MCP_SetPresolveInterface(adapter.mcp(), &hooks);
    PresolveSwitches with;
    with.presolve = presolve;
    Outcome out;
    // The same record solved twice, from the same options: the presolve of
    // the second start must not see anything the first one left.
    for (Solve1* solve : {static_cast<Solve1*>(&out), &out.again}) {
      static_cast<WholeSolve&>(*solve) = SolveRecord(&adapter, with);
      if (solve->error.empty()) solve->violation = ComplementarityViolation(problem, solve->z);
    }
    return out;
  }

  // What the checked problems did, to show that they exercise the presolve.
  struct Tally {
    int solved = 0, reduced = 0, all_fixed = 0, unique = 0, lost = 0;
  };

  // A solve of a problem with a planted solution: no solver error, never
  // called infeasible, and a point reported solved solves the problem.
  void ExpectSound(const Solve1& s, const char* what) {
    EXPECT_EQ(s.error, "") << what << "\n" << s.log;
    if (s.code == TERMINATION_SOLVED) {
      EXPECT_LE(s.violation, kTolerance) << what << "\n" << s.log;
    }
    EXPECT_NE(s.code, TERMINATION_INFEASIBLE_BOUNDS) << what << "\n" << s.log;
    EXPECT_NE(s.code, TERMINATION_INFEASIBLE) << what << "\n" << s.log;
  }

  // Checks one problem; returns false on a failure.
  bool Check(const Planted& p, Tally* tally) {
    SCOPED_TRACE(p.name);
    const Outcome on = Solve(p, true);
    ExpectSound(on, "with presolve");
    ExpectSound(on.again, "second solve of the same record");
    EXPECT_EQ(on.again.code, on.code) << "second solve of the same record\n" << on.again.log;
    Count(p, on, tally);
    if (on.code != TERMINATION_SOLVED) {
      const Outcome off = Solve(p, false);
      if (off.code == TERMINATION_SOLVED) tally->lost += 1;
      if (p.unique) {
        EXPECT_NE(off.code, TERMINATION_SOLVED) << "unique solution lost by the presolve\n"
                                                << on.log;
      }
    }
    if (HasFailure() && std::getenv("SARN_PROPERTY_VERBOSE") != nullptr) Dump(p);
    return !HasFailure();
  }

  static void Count(const Planted& p, const Outcome& on, Tally* tally) {
    if (on.code == TERMINATION_SOLVED) tally->solved += 1;
    if (p.unique) tally->unique += 1;
    const std::string& log = on.log;
    if (PresolveReduced(log)) tally->reduced += 1;
    if (log.find("Preprocessed size") == std::string::npos &&
        log.find("Major Iteration Log") == std::string::npos) {
      tally->all_fixed += 1;
    }
  }
};

// The seeds of the ctest run. Over seeds 1 to 60000 the row presolve calls
// none of these problems infeasible; 23395, 35578 and 59751 once were: a
// row held a coefficient 2e-13, which counts as zero, on a variable
// started at 1e6 or beyond, and the constants that froze its term at the
// start point decided a block, a constant row and a duplicate pair. They
// are checked below; this range holds none of them.
constexpr std::uint32_t kFirstSeed = 3274;
constexpr std::uint32_t kSeeds = 1500;

std::uint32_t EnvCount(const char* name, std::uint32_t fallback) {
  const char* text = std::getenv(name);
  return text == nullptr ? fallback : static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

TEST_F(PresolvePropertyTest, PlantedProblemsSolveTheOriginalProblem) {
  const std::uint32_t first = EnvCount("SARN_PROPERTY_FIRST", kFirstSeed);
  const std::uint32_t count = EnvCount("SARN_PROPERTY_SEEDS", kSeeds);
  Tally tally;
  int checked = 0;
  for (std::uint32_t seed = first; seed < first + count; ++seed) {
    const Planted p = Draw(seed);
    if (!Check(p, &tally) && std::getenv("SARN_PROPERTY_KEEP_GOING") == nullptr) break;
    checked += 1;
  }
  std::printf(
      "planted problems checked %d: solved with presolve %d, reduced %d, every variable "
      "fixed %d, unique %d, solved only without presolve %d\n",
      checked, tally.solved, tally.reduced, tally.all_fixed, tally.unique, tally.lost);
  if (checked >= 100) {
    EXPECT_GT(tally.reduced, checked / 4);
  }
}

// A row whose columns are fixed by other rows at values such as 1/3, met
// by terms near 1e6, keeps about 1e-10 of rounding in F once its last
// column is fixed: the row is solved, whatever its sense, and must not be
// called infeasible. F_1 = s (1e6 z_2 + 1e6 z_3 - 1e6) with z_2 = 1/3 and
// z_3 = 2/3 from their own rows.
TEST_F(PresolvePropertyTest, RowThatCancelsToRoundingIsNotInfeasible) {
  struct Case {
    double lower, upper, sign;
  };
  const Case cases[] = {{-kInf, kInf, 1.0}, {-kInf, kInf, -1.0}, {-kInf, 0.0, 1.0},
                        {-kInf, 0.0, -1.0}, {0.0, kInf, 1.0},    {0.0, kInf, -1.0}};
  for (const Case& c : cases) {
    const Planted p =
        Linear("rounding row", 3, {0, c.sign * 1e6, c.sign * 1e6, 0, 3, 0, 0, 0, 3},
               {-c.sign * 1e6, -1, -2}, {c.lower, -kInf, -kInf}, {c.upper, kInf, kInf}, {0, 0, 0});
    SCOPED_TRACE(testing::Message()
                 << "bounds [" << c.lower << ", " << c.upper << "] sign " << c.sign);
    const Outcome on = Solve(p, true);
    EXPECT_EQ(on.code, TERMINATION_SOLVED) << on.log;
    EXPECT_LE(on.violation, kTolerance);
  }
}

// Coefficients within presolve_jacobian_tolerance count as zero. F holds
// their terms at the current point, which may lie far from where the row
// is settled (a start of 3e6 leaves 6e-7 of a coefficient 2e-13 in F): the
// rules drop those terms from the row's constant as well, or a solvable
// row looks infeasible. And a one-entry row whose solution the rounding of
// a far start puts just outside the bounds is left to the forcing rows and
// the solver, not called infeasible.
TEST_F(PresolvePropertyTest, FarStartsAndTinyCoefficientsLeaveRowsSolvable) {
  struct Case {
    const char* name;
    int n;
    std::vector<double> M, q, lower, upper, start;
  };
  const Case cases[] = {
      // F_1 = z_2 + 1e-13 z_3 with z_1 free forces z_2 to 0; z_3 = 0 and
      // z_4 = 1 solve their two rows.
      {"forcing row with a coefficient that counts as zero",
       4,
       {0, 1, 1e-13, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, -1},
       {0, 0, -1, 1},
       {-kInf, 0, -kInf, -kInf},
       {kInf, 1, kInf, kInf},
       {0, 0.5, 3e6, 0}},
      // F_2 = 2e-13 z_1 + 2 z_2 + 2 with z_1 at -3e6: z_2 = -1 solves it.
      {"one-entry row with a coefficient that counts as zero",
       2,
       {0, 2000, 2e-13, 2},
       {2000, 2},
       {-kInf, -1},
       {kInf, kInf},
       {-3e6, 0}},
      // F_1 = 23.1 z_2 - 23.1 evaluated at z_2 = -3e6 keeps 1.5e-8 of
      // rounding once z_2 = 1 from its own row: a row without entries left
      // that is solved, whatever rounding the far start left in F.
      {"row emptied after a far start",
       2,
       {0, 23.1, 0, 1},
       {-23.1, -1},
       {-kInf, -kInf},
       {kInf, kInf},
       {0, -3e6}},
      // F_1 = 7.7 z_1 - 23.1 evaluated at z_1 = -2e6 leaves z_1 = 3 off by
      // 4e-10, which F_2 = 1e6 z_1 - 3e6 carries to 4e-4: the value is
      // solved again from F evaluated at it.
      {"one-entry row solved far from its start",
       2,
       {7.7, 0, 1e6, 0},
       {-23.1, -3e6},
       {-kInf, 0},
       {kInf, kInf},
       {-2e6, 0}},
      // F_1 = -1e-8 z_1 - 1e-8 from a start of 2e6: z_1 = -1 solves it.
      {"one-entry row solved at its bound", 1, {-1e-8}, {-1e-8}, {-1}, {kInf}, {2e6}},
      // F_2 = 2e-13 z_1 - 3 z_2 - 3 z_3 + 9 - 2e-13 holds 4e-7 of z_1's
      // start 2e6: the block of rows 2 and 3 took z_3 = 1 for no solution
      // and fixed z_3 at 0, which row 1 then could not meet (seed 35578).
      {"block row with a coefficient that counts as zero",
       3,
       {0, 0, -1, 2e-13, -3, -3, 0, 2, 0},
       {1, 8.999999999999801, -4},
       {-kInf, -kInf, 0},
       {kInf, kInf, 1},
       {2e6, 2e6, 0}},
      // F_1 = -2 z_1 - z_2 + 2e-13 z_3 + 4 - 4e-13 and F_3 = 2 z_1 - 4 are
      // duplicates up to z_3's term, frozen at its start -4: their
      // difference gave F_1 a sign and put z_1 at its upper bound 3, and
      // row 3 was called infeasible (seed 59751).
      {"duplicate row with a coefficient that counts as zero",
       3,
       {-2, -1, 2e-13, 2, 0, 0, 2, 0, 0},
       {3.9999999999995999, -7, -4},
       {1, 0, -kInf},
       {3, 1e-13, kInf},
       {2, 0, -4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Planted p = Linear(c.name, c.n, c.M, c.q, c.lower, c.upper, c.start);
    const Outcome on = Solve(p, true);
    EXPECT_EQ(on.code, TERMINATION_SOLVED) << on.log;
    EXPECT_LE(on.violation, kTolerance);
  }
}

}  // namespace
