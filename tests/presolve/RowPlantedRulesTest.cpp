// The row presolve's rules on random problems built to trigger them, with
// coefficients and bounds of every scale from 1e-3 to 1e3 and both signs:
// forcing rows (at and beyond their activity bounds), rows in their own
// variable alone, independent blocks of two and three rows (free, one-sided,
// boxed and fixed variables), duplicate rows scaled by 1e-3 to 1e3 (with
// proportional columns, so that they merge), and coupled rows that reach
// into the blocks' columns. Each problem has a planted solution. It is
// solved whole with the presolve on and off:
//  - a point reported solved passes the check of the ORIGINAL problem with
//    the solver's tolerance (F recomputed here);
//  - the presolve never calls a problem with a planted solution infeasible;
//  - the caller's bounds come back bit for bit.
// Coefficients come in two kinds: powers of two times small integers, so
// that the planted solution is exact in doubles, and decimal scales, whose
// roundings the rules must tolerate.
//
// The ctest run takes 2000 problems of each kind (well under a second);
// SARN_ROW_PLANTED_SEEDS=<n> runs n of each kind.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "fixtures/Problems.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/PresolveRig.hpp"
#include "solver/Information.hpp"

namespace {

// The solver's convergence tolerance, which the check of a point uses.
constexpr double kTolerance = 1e-6;
// A planted point is a solution when it passes the check this closely.
constexpr double kPlantedTolerance = 1e-9;
// Rows whose terms at the planted point reach this size round by more than
// a hundredth of the tolerance wherever they are evaluated: no solve can
// be held to the tolerance on them, and such problems are skipped.
constexpr double kLargestScale = 1e7;

using Dense = std::vector<std::vector<double>>;

bool Finite(double v) { return std::fabs(v) < kInf; }

// Random numbers of the generator: magnitudes spread over 1e-3 .. 1e3.
class Draw {
 public:
  Draw(std::uint32_t seed, bool dyadic) : rng_(seed), dyadic_(dyadic) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  double Uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng_); }
  bool Chance(double p) { return Uniform() < p; }
  // A positive magnitude: a small odd integer times a power of two from
  // 2^-10 to 2^10, or 10^u with u uniform in [-3, 3].
  double Magnitude() {
    if (dyadic_) return (2 * Int(0, 3) + 1) * std::ldexp(1.0, Int(-10, 10));
    return std::pow(10.0, std::uniform_real_distribution<double>(-3.0, 3.0)(rng_));
  }
  double Signed() { return Chance(0.5) ? Magnitude() : -Magnitude(); }

 private:
  std::mt19937 rng_;
  bool dyadic_;
};

enum class Group { kOne, kTwo, kThree, kForce, kDuplicate, kCoupled };

int SizeOf(Group g) {
  switch (g) {
    case Group::kTwo: return 2;
    case Group::kThree: return 3;
    case Group::kDuplicate: return 2;
    default: return 1;
  }
}

// Where the planted solution puts a variable.
enum class Place { kLower, kUpper, kInside };

struct Builder {
  Draw* d;
  int n = 0;
  Dense m;
  std::vector<double> q, l, u, z, w;
  std::vector<Place> place;

  void Bounds(int j, double free_chance) {
    const double r = d->Uniform();
    if (r < free_chance) {
      l[j] = -kInf;
      u[j] = kInf;
    } else if (r < free_chance + 0.08) {
      l[j] = u[j] = d->Chance(0.3) ? 0.0 : d->Signed();
    } else if (r < free_chance + 0.38) {
      l[j] = d->Chance(0.4) ? 0.0 : d->Signed();
      u[j] = kInf;
    } else if (r < free_chance + 0.55) {
      l[j] = -kInf;
      u[j] = d->Chance(0.4) ? 0.0 : d->Signed();
    } else {
      l[j] = d->Chance(0.4) ? 0.0 : d->Signed();
      u[j] = l[j] + d->Magnitude();
    }
  }

  // A point of the box and a value of F complementary to it.
  void PlantPoint(int j) {
    const int side = d->Int(0, 2);
    if (l[j] == u[j]) {
      z[j] = l[j];
      place[j] = Place::kLower;
      w[j] = d->Chance(0.3) ? 0.0 : d->Signed();
      return;
    }
    if (side == 0 && Finite(l[j])) {
      z[j] = l[j];
      place[j] = Place::kLower;
      w[j] = d->Chance(0.3) ? 0.0 : d->Magnitude();
    } else if (side == 1 && Finite(u[j])) {
      z[j] = u[j];
      place[j] = Place::kUpper;
      w[j] = d->Chance(0.3) ? 0.0 : -d->Magnitude();
    } else {
      place[j] = Place::kInside;
      w[j] = 0.0;
      if (Finite(l[j]) && Finite(u[j])) {
        z[j] = l[j] + (u[j] - l[j]) / 2;
      } else if (Finite(l[j])) {
        z[j] = l[j] + d->Magnitude();
      } else if (Finite(u[j])) {
        z[j] = u[j] - d->Magnitude();
      } else {
        z[j] = d->Chance(0.2) ? 0.0 : d->Signed();
      }
    }
  }

  void Block(int first, int size) {
    const bool dominant = d->Chance(0.3);
    for (int i = first; i < first + size; ++i) {
      double off = 0.0;
      for (int j = first; j < first + size; ++j) {
        if (j != i && d->Chance(0.6)) m[i][j] = d->Signed();
        off += j == i ? 0.0 : std::fabs(m[i][j]);
      }
      if (dominant) {
        m[i][i] = off + d->Magnitude();
      } else if (d->Chance(0.65)) {
        m[i][i] = d->Signed();
      }
    }
  }

  // Row i forces x_i to a bound: every term sits at its extreme at the
  // planted point (its variable at the bound that makes the term least, or
  // greatest on the upper side), so F_i(z) is the least (greatest) value
  // of F_i over the box, and it is the planted w_i: 0 (at the activity
  // bound) or of the sign that keeps x_i at its bound.
  void Force(int i) {
    const bool lower_side = d->Chance(0.5);
    if (lower_side) {
      if (!Finite(l[i])) l[i] = d->Chance(0.4) ? 0.0 : d->Signed();
      if (u[i] <= l[i]) u[i] = d->Chance(0.5) ? kInf : l[i] + d->Magnitude();
      z[i] = l[i];
      place[i] = Place::kLower;
      w[i] = d->Chance(0.5) ? 0.0 : d->Magnitude();
    } else {
      if (!Finite(u[i])) u[i] = d->Chance(0.4) ? 0.0 : d->Signed();
      if (l[i] >= u[i]) l[i] = d->Chance(0.5) ? -kInf : u[i] - d->Magnitude();
      z[i] = u[i];
      place[i] = Place::kUpper;
      w[i] = d->Chance(0.5) ? 0.0 : -d->Magnitude();
    }
    // x_i's own term: rising towards the side, or absent.
    m[i][i] = d->Chance(0.6) ? (lower_side ? d->Magnitude() : -d->Magnitude()) : 0.0;
    const int terms = d->Int(1, 3);
    for (int t = 0; t < terms; ++t) {
      const int j = d->Int(0, n - 1);
      if (j == i || place[j] == Place::kInside) continue;
      // At its lower bound a positive coefficient makes the term least.
      const bool positive = (place[j] == Place::kLower) == lower_side;
      m[i][j] = positive ? d->Magnitude() : -d->Magnitude();
    }
  }

  void Coupled(int i) {
    const int terms = d->Int(1, 4);
    for (int t = 0; t < terms; ++t) m[i][d->Int(0, n - 1)] = d->Signed();
    if (d->Chance(0.6)) m[i][i] = d->Signed();
  }

  // Row r is s times row i; often column r is t times column i as well.
  // Returns s.
  double Duplicate(int i, int r) {
    const int terms = d->Int(1, 3);
    for (int t = 0; t < terms; ++t) m[i][d->Int(0, n - 1)] = d->Signed();
    if (d->Chance(0.7)) m[i][i] = d->Signed();
    if (d->Chance(0.6)) {
      const double t = d->Signed();
      for (int k = 0; k < n; ++k) m[k][r] = t * m[k][i];
    }
    const double s = d->Signed();
    for (int k = 0; k < n; ++k) m[r][k] = s * m[i][k];
    return s;
  }

  // w_r = s w_i must be complementary to z_r as well as w_i to z_i.
  void PlantDuplicateValues(int i, int r, double s) {
    if (l[r] == u[r]) return;
    const double wr = s * w[i];
    const bool fits = (wr == 0.0) || (wr > 0 && place[r] == Place::kLower) ||
                      (wr < 0 && place[r] == Place::kUpper);
    if (!fits) w[i] = 0.0;
    w[r] = s * w[i];
  }
};

struct PlantedProblem {
  LinearProblem problem;
  std::vector<double> solution;  // the planted solution
};

PlantedProblem PlantedRulesLCP(std::uint32_t seed, bool dyadic) {
  Draw draw(seed, dyadic);
  Builder b;
  b.d = &draw;
  std::vector<Group> groups;
  const Group kinds[] = {Group::kOne,   Group::kTwo,       Group::kThree,
                         Group::kForce, Group::kDuplicate, Group::kCoupled};
  const int count = draw.Int(2, 4);
  for (int g = 0; g < count; ++g) {
    const Group kind = kinds[draw.Int(0, 5)];
    if (b.n + SizeOf(kind) > 10) break;
    groups.push_back(kind);
    b.n += SizeOf(kind);
  }
  const int n = b.n;
  b.m.assign(n, std::vector<double>(n, 0.0));
  b.q.assign(n, 0.0);
  b.l.assign(n, 0.0);
  b.u.assign(n, 0.0);
  b.z.assign(n, 0.0);
  b.w.assign(n, 0.0);
  b.place.assign(n, Place::kInside);
  for (int j = 0; j < n; ++j) b.Bounds(j, 0.15);
  int first = 0;
  for (Group g : groups) {
    if (g == Group::kThree) {
      for (int j = first; j < first + 3; ++j) b.Bounds(j, 0.4);
    }
    first += SizeOf(g);
  }
  for (int j = 0; j < n; ++j) b.PlantPoint(j);
  // Forcing rows first (they may move their own variable's bounds), then
  // the rest; duplicates last, since their columns copy whole columns.
  first = 0;
  std::vector<int> dup_i, dup_r;
  for (Group g : groups) {
    switch (g) {
      case Group::kOne: if (draw.Chance(0.8)) b.m[first][first] = draw.Signed(); break;
      case Group::kTwo: b.Block(first, 2); break;
      case Group::kThree: b.Block(first, 3); break;
      case Group::kForce: b.Force(first); break;
      case Group::kCoupled: b.Coupled(first); break;
      case Group::kDuplicate:
        dup_i.push_back(first);
        dup_r.push_back(first + 1);
        break;
    }
    first += SizeOf(g);
  }
  for (size_t k = 0; k < dup_i.size(); ++k) {
    const double s = b.Duplicate(dup_i[k], dup_r[k]);
    b.PlantDuplicateValues(dup_i[k], dup_r[k], s);
  }
  // q := w - M z, row r of a duplicate pair as s times row i.
  for (int i = 0; i < n; ++i) {
    double mz = 0.0;
    for (int j = 0; j < n; ++j) mz += b.m[i][j] * b.z[j];
    b.q[i] = b.w[i] - mz;
  }
  PlantedProblem out;
  std::vector<double> row_major;
  for (int i = 0; i < n; ++i) row_major.insert(row_major.end(), b.m[i].begin(), b.m[i].end());
  LinearProblem& p = out.problem;
  p.n = n;
  p.M = ColumnMatrix::FromDense(n, n, row_major);
  p.q = b.q;
  p.lower = b.l;
  p.upper = b.u;
  std::ostringstream name;
  name << "planted rules " << (dyadic ? "dyadic" : "decimal") << " seed " << seed;
  p.name = name.str();
  out.solution = b.z;
  return out;
}

// The largest sum of the magnitudes of a row's terms at the planted point.
double LargestRowScale(const PlantedProblem& pp) {
  const LinearProblem& p = pp.problem;
  std::vector<double> scale(p.n, 0.0);
  for (int i = 0; i < p.n; ++i) scale[i] = std::fabs(p.q[i]);
  for (int j = 0; j < p.n; ++j) {
    for (int k = p.M.start[j]; k < p.M.start[j + 1]; ++k) {
      scale[p.M.index[k]] += std::fabs(p.M.value[k] * pp.solution[j]);
    }
  }
  double largest = 0.0;
  for (double s : scale) largest = std::fmax(largest, s);
  return largest;
}

struct Outcome {
  int code = 0;
  std::vector<double> z, lower, upper;
  std::string log;
};

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

class RowPlantedRulesTest : public PresolveRig {
 public:
  // A whole solve of p with the presolve on or off.
  Outcome Solve(const LinearProblem& p, bool presolve) {
    Options_Default(options());
    Presolve_OptionTable[PRESOLVE].bool_value = presolve ? 1 : 0;
    Presolve_OptionTable[OUTPUT_PRESOLVE_LEVEL].int_value = 2;
    output()->Clear();
    Outcome out;
    out.code = SolveWhole(p, &out.z);
    out.lower = Lower(adapter().mcp());
    out.upper = Upper(adapter().mcp());
    out.log = output()->log();
    return out;
  }
};

struct Tally {
  int skipped = 0, problems = 0, planted = 0, solved_on = 0, solved_off = 0, lost = 0, reduced = 0;
};

std::uint32_t Seeds(std::uint32_t fallback) {
  const char* text = std::getenv("SARN_ROW_PLANTED_SEEDS");
  if (text == nullptr) return fallback;
  const long value = std::strtol(text, nullptr, 10);
  return value > 0 ? static_cast<std::uint32_t>(value) : fallback;
}

void RunPlanted(RowPlantedRulesTest* test, bool dyadic, std::uint32_t seeds) {
  Tally t;
  int faults = 0;
  for (std::uint32_t seed = 1; seed <= seeds; ++seed) {
    const PlantedProblem pp = PlantedRulesLCP(seed, dyadic);
    const LinearProblem& p = pp.problem;
    if (LargestRowScale(pp) > kLargestScale) {
      t.skipped += 1;
      continue;
    }
    const bool planted = ComplementarityViolation(p, pp.solution) <= kPlantedTolerance;
    const Outcome on = test->Solve(p, true);
    const Outcome off = test->Solve(p, false);
    t.problems += 1;
    t.planted += planted ? 1 : 0;
    t.reduced += on.log.find("MCPR:") != std::string::npos ? 1 : 0;
    std::string fault;
    if (!SameBits(on.lower, p.lower) || !SameBits(on.upper, p.upper)) {
      fault = "bounds not restored";
    } else if (on.code == TERMINATION_SOLVED &&
               ComplementarityViolation(p, on.z) > kTolerance) {
      fault = "solved with presolve, but the point violates the problem by " +
              std::to_string(ComplementarityViolation(p, on.z));
    } else if (on.code == TERMINATION_INFEASIBLE_BOUNDS && planted) {
      fault = "a problem with a planted solution was called infeasible";
    }
    t.solved_on += on.code == TERMINATION_SOLVED ? 1 : 0;
    t.solved_off += off.code == TERMINATION_SOLVED ? 1 : 0;
    t.lost += off.code == TERMINATION_SOLVED && on.code != TERMINATION_SOLVED ? 1 : 0;
    if (!fault.empty() && ++faults <= 5) ADD_FAILURE() << p.name << ": " << fault << "\n" << on.log;
  }
  std::printf("%s: %d problems (%d with an exact planted solution, %d skipped), reduced by "
              "the row presolve %d; solved with presolve %d, without %d; lost %d\n",
              dyadic ? "dyadic" : "decimal", t.problems, t.planted, t.skipped, t.reduced,
              t.solved_on, t.solved_off, t.lost);
  EXPECT_EQ(faults, 0);
  // The problems must reach the rules.
  EXPECT_GT(t.reduced, t.problems / 2);
}

// Problems of the generator that once came back wrong, each for a cause of
// its own: a three-row block with a free variable eliminated through a
// pivot 2560 times smaller than its row's other coefficient was fixed at a
// point 1.7e-5 off its rows (dyadic 1915); a block row's value on an edge,
// formed from terms near 3e5, cancelled to a rounding beyond the absolute
// zero tolerance and the block was called infeasible (dyadic 861); the roots of two proportional rows
// near 5e6 differed by their rounding and were called apart (decimal
// 1782); a free variable taken from its equation as alpha*x + gamma was
// off by its rounding, which a later row called infeasible (dyadic 19660);
// two equations in one variable, equal up to rounding, were taken for
// contradicting ones (decimal 3463); a point on a steep solution line was
// rounded past its bound and reported infeasible (decimal 2583); a
// two-variable piece reduced from a three-row block lost its one solution
// to the rounding of the elimination (dyadic 7676); a root of one row a
// rounding away from the range another row implied was dropped, and the
// variable fixed at the other end of its box (decimal 400); duplicate rows
// whose difference rounded to 2e-11 were taken to push a variable to its
// infinite bound (decimal 1354, 2171); a forcing row whose least value
// rounded above 0 did the same (decimal 3127); a row 4.3e5 times its free
// twin magnified the rounding of the twin's constant into a value that put
// its variable at a bound (decimal 4554); two rows implying a range for one
// variable through its vanishing row, with roots a rounding apart, bounded
// it from above below its new lower bound (decimal 4255); two opposite
// duplicate rows whose roots rounded apart were called infeasible (decimal
// 9430); two block rows proportional up to rounding, whose constants were
// formed from terms near 3.5e4, were tested against each other on the
// scale of the constants alone and taken for contradicting ones, which lost
// the block's line of solutions (dyadic 18379; the reduced rows of a
// three-row block likewise, decimal 9183); a value solved from a row of
// large terms through a small coefficient, alone or with a second row
// through a small determinant, was off by that row's rounding, which a
// row with a much larger coefficient in it took for a miss and called
// infeasible (decimal 6493, 7163, 7704, 15112, 15591, 17754, 19138; a
// value solved from such a value, decimal 28180), or for a row certainly
// above 0 whose variable could only be at its bound, which fixed it there
// and left another row infeasible (dyadic 40441); a value fixed by a block
// carried its row's rounding into a constant row with a coefficient 6e5 in
// it, which was called infeasible (dyadic 29610, decimal 38528); a value on
// an edge of a three-row block, solved from a row through a small
// coefficient, gave the other row a sign by that rounding and lost the
// planted solution (dyadic 51592); two duplicate rows whose constants the
// caller formed from terms near 8e5 had roots 1.4e-11 apart and were
// called infeasible (decimal 42023); a forcing row's greatest value, 1e-11
// below 0 on a bound solved from another row, put its variable at its
// bound while its column reached another row (decimal 45224); a value
// solved from a one-entry row through a coefficient 7e-3 beside terms near
// 1.3e3 was fixed, and a row with a coefficient 3.5e5 in the same column
// kept its rounding as a residual of 5e-4 (decimal 30763).
TEST_F(RowPlantedRulesTest, ProblemsOnceMishandledSolve) {
  struct Case {
    std::uint32_t seed;
    bool dyadic;
  };
  const Case cases[] = {{1915, true},  {861, true},   {1782, false}, {19660, true},
                        {3463, false}, {2583, false}, {7676, true},   {400, false},
                        {1354, false}, {2171, false}, {3127, false}, {4554, false},
                        {4255, false}, {9430, false}, {18379, true},  {9183, false},
                        {6493, false}, {7163, false}, {7704, false},  {15112, false},
                        {15591, false}, {17754, false}, {19138, false}, {28180, false},
                        {40441, true}, {29610, true}, {38528, false}, {51592, true},
                        {42023, false}, {45224, false}, {30763, false}};
  for (const Case& c : cases) {
    const PlantedProblem pp = PlantedRulesLCP(c.seed, c.dyadic);
    SCOPED_TRACE(pp.problem.name);
    ASSERT_LE(ComplementarityViolation(pp.problem, pp.solution), kPlantedTolerance);
    const Outcome on = Solve(pp.problem, true);
    ASSERT_EQ(on.code, TERMINATION_SOLVED) << on.log;
    EXPECT_LE(ComplementarityViolation(pp.problem, on.z), kTolerance) << on.log;
  }
}

// The address-checked build, far slower, runs a tenth.
#ifdef __SANITIZE_ADDRESS__
constexpr std::uint32_t kSeeds = 200;
#else
constexpr std::uint32_t kSeeds = 2000;
#endif

TEST_F(RowPlantedRulesTest, DyadicScalesSolveTheOriginalProblem) {
  RunPlanted(this, true, Seeds(kSeeds));
}

TEST_F(RowPlantedRulesTest, DecimalScalesSolveTheOriginalProblem) {
  RunPlanted(this, false, Seeds(kSeeds));
}

}  // namespace
