// The sparse back-end against a dense reference over long random sequences
// of column exchanges, driven through the Basis wrappers as the pivoting
// method drives them: solve with the entering column, pick a leaving
// position, replace; now and then a fresh factorization, a repair of a
// singular basis from its singular pairs, or an exchange that makes B
// singular on purpose.
//
// After every step the test classifies B with its own dense LU (partial
// pivoting) and compares:
// - a basis that is clearly singular (structurally, or exactly by
//   construction: a column twice up to a power of two, a column that is the
//   exact sum of two others) must be reported singular, with valid pairs;
// - a basis that is clearly regular (the reference's inverse is moderate and
//   B is well conditioned once its columns are equilibrated, so that no pivot
//   can come near the factorization's relative or absolute pivot tolerance)
//   must be reported regular;
// - whenever the back-end calls B regular, B x = b and B' y = c must hold
//   with a small backward error (the residual measured against |B||x| + |b|).
// Bases between the two (near-singular columns, extreme row scales) may go
// either way. Rows and columns are scaled by powers of two, from 2^-498 to
// 2^498, so that scaling keeps exact dependencies exact.
//
// Each case runs a few dozen sequences of 60 steps. For a long local run,
// SARN_BASIS_DIFF_SEQUENCES sets the sequences per case, SARN_BASIS_DIFF_STEPS
// the steps per sequence and SARN_BASIS_DIFF_FIRST the first seed;
// SARN_BASIS_DIFF_TRACE prints every step and SARN_BASIS_DIFF_DUMP adds B,
// the right-hand side and the solution to a failed solve's message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "factorization/Basis.hpp"
#include "factorization/BasisBackendCheck.hpp"
#include "factorization/Factorization.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "support/TestSupport.hpp"

namespace {

using basis_test::BasisPtr;
using basis_test::IVectorPtr;
using basis_test::MakeIVector;
using basis_test::MakeVector;
using basis_test::MatrixPtr;
using basis_test::StoreColumns;
using basis_test::Values;
using basis_test::VectorPtr;
using sparse_test::Entry;

// ---------------------------------------------------------------------------
// Dense reference

// A square matrix, column-major, 0-based.
struct DenseSquare {
  int n = 0;
  std::vector<double> a;
  explicit DenseSquare(int size) : n(size), a(size_t(size) * size, 0.0) {}
  double& at(int i, int j) { return a[size_t(j) * n + i]; }
  double at(int i, int j) const { return a[size_t(j) * n + i]; }
};

// Gaussian elimination with partial pivoting, P B = L U in place.
struct DenseLU {
  DenseSquare lu;
  std::vector<int> pivot;   // row exchanged with row k at step k
  bool zero_pivot = false;  // an active column was exactly zero

  explicit DenseLU(const DenseSquare& B) : lu(B), pivot(size_t(B.n), 0) {
    const int n = B.n;
    for (int k = 0; k < n; ++k) {
      int p = k;
      for (int i = k + 1; i < n; ++i) {
        if (std::fabs(lu.at(i, k)) > std::fabs(lu.at(p, k))) p = i;
      }
      pivot[size_t(k)] = p;
      for (int j = 0; j < n; ++j) std::swap(lu.at(k, j), lu.at(p, j));
      const double d = lu.at(k, k);
      if (d == 0.0) {
        zero_pivot = true;
        continue;
      }
      for (int i = k + 1; i < n; ++i) {
        const double l = lu.at(i, k) / d;
        lu.at(i, k) = l;
        if (l == 0.0) continue;
        for (int j = k + 1; j < n; ++j) lu.at(i, j) -= l * lu.at(k, j);
      }
    }
  }

  // x := B^-1 b.
  std::vector<double> Solve(std::vector<double> x) const {
    const int n = lu.n;
    for (int k = 0; k < n; ++k) std::swap(x[size_t(k)], x[size_t(pivot[size_t(k)])]);
    for (int k = 0; k < n; ++k) {
      for (int i = k + 1; i < n; ++i) x[size_t(i)] -= lu.at(i, k) * x[size_t(k)];
    }
    for (int k = n - 1; k >= 0; --k) {
      for (int j = k + 1; j < n; ++j) x[size_t(k)] -= lu.at(k, j) * x[size_t(j)];
      x[size_t(k)] /= lu.at(k, k);
    }
    return x;
  }
};

// What the reference says about B.
enum class Verdict { kRegular, kBand, kSingular };

const char* Name(Verdict v) {
  return v == Verdict::kRegular ? "clearly regular"
                                : (v == Verdict::kSingular ? "clearly singular" : "in the band");
}

// Limits of "clearly regular": the inverse of B and the condition number of
// B with equilibrated columns (both in the infinity norm). Any pivot of a
// factorization with bounded multipliers is then far above the pivot
// tolerances (about 3.7e-11, absolute and relative to its column of U).
constexpr double kRegularInverse = 1e6;
constexpr double kRegularCondition = 1e4;

// Under pivot rule 1 a pivot at most the pivot tolerance times the largest
// pivot is singular too: a clearly regular basis then also keeps its column
// scales within this ratio of each other.
constexpr double kRookSpread = 1e4;

struct Reference {
  Verdict verdict = Verdict::kBand;
  double inverse_norm = 0.0;  // ||B^-1||
  double condition = 0.0;     // ||B D|| ||D^-1 B^-1||, D equilibrating the columns
};

// The larger of a and b; NaN when either is NaN.
double Larger(double a, double b) { return (std::isnan(a) || a < b) ? (std::isnan(a) ? a : b) : a; }

bool AllFinite(const DenseSquare& B) {
  return std::all_of(B.a.begin(), B.a.end(), [](double v) { return std::isfinite(v); });
}

// ||B^-1|| and the column-equilibrated condition number from the reference
// LU; NaN or infinite when the arithmetic overflows.
void Measure(const DenseSquare& B, const DenseLU& lu, Reference* r) {
  const int n = B.n;
  std::vector<double> colmax(size_t(n), 0.0), inverse_rows(size_t(n), 0.0);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i)
      colmax[size_t(j)] = Larger(colmax[size_t(j)], std::fabs(B.at(i, j)));
  }
  double scaled_norm = 0.0;
  for (int i = 0; i < n; ++i) {
    double row = 0.0;
    for (int j = 0; j < n; ++j) row += std::fabs(B.at(i, j)) / colmax[size_t(j)];
    scaled_norm = Larger(scaled_norm, row);
  }
  for (int k = 0; k < n; ++k) {
    std::vector<double> e(size_t(n), 0.0);
    e[size_t(k)] = 1.0;
    const std::vector<double> column = lu.Solve(e);  // column k of B^-1
    for (int i = 0; i < n; ++i) inverse_rows[size_t(i)] += std::fabs(column[size_t(i)]);
  }
  double scaled_inverse = 0.0;
  for (int i = 0; i < n; ++i) {
    r->inverse_norm = Larger(r->inverse_norm, inverse_rows[size_t(i)]);
    scaled_inverse = Larger(scaled_inverse, colmax[size_t(i)] * inverse_rows[size_t(i)]);
  }
  r->condition = scaled_norm * scaled_inverse;
}

// Ratio of the largest to the smallest column maximum of B.
double ColumnSpread(const DenseSquare& B) {
  double smallest = HUGE_VAL, largest = 0.0;
  for (int j = 0; j < B.n; ++j) {
    double colmax = 0.0;
    for (int i = 0; i < B.n; ++i) colmax = std::max(colmax, std::fabs(B.at(i, j)));
    smallest = std::min(smallest, colmax);
    largest = std::max(largest, colmax);
  }
  return largest / smallest;
}

// A column with an infinite or NaN value makes B singular for the back-end
// (it keeps such a value out of its factors). An exactly zero pivot of the
// reference leaves B in the band: the singular direction may mix columns of
// very different scales, and the rounding of the large ones may then leave a
// pivot that passes the test against its own column of U.
Reference Classify(const DenseSquare& B, bool singular_by_construction, bool rook) {
  Reference r;
  if (singular_by_construction || !AllFinite(B)) {
    r.verdict = Verdict::kSingular;
    return r;
  }
  const DenseLU lu(B);
  if (lu.zero_pivot) return r;
  Measure(B, lu, &r);
  if (r.inverse_norm <= kRegularInverse && r.condition <= kRegularCondition &&
      (!rook || ColumnSpread(B) <= kRookSpread)) {
    r.verdict = Verdict::kRegular;
  }
  return r;
}

// Backward error of a solve: the largest ratio over rows of |B x - b| to
// |B||x| + |b| (B' in place of B when transposed), where each row's
// denominator is at least kRowFloor (||B|| ||x|| + ||b||) in the infinity
// norm: elimination with partial pivoting bounds the residual by the
// factors' |L||U||x|, which may carry a large row's values into a row whose
// own terms are small, so such a row's residual may stay at the rounding
// level of the whole system (the normwise backward error, 1e-13 here). The
// solves count values of magnitude at most the drop tolerance
// (factorization_small_tolerance, an absolute level) as zero, and so do the
// factorization and the updates for the entries they create: each row's
// residual may exceed its bound by a small multiple of the drop tolerance,
// times the unknowns the row holds. NaN counts as infinite.
constexpr double kRowFloor = 1e-4;

double BackwardError(const DenseSquare& B, const std::vector<double>& x,
                     const std::vector<double>& b, bool transposed, double drop) {
  const int n = B.n;
  double bnorm = 0.0, xnorm = 0.0, norm = 0.0;
  for (int i = 0; i < n; ++i) {
    double row = 0.0;
    for (int j = 0; j < n; ++j) row += std::fabs(transposed ? B.at(j, i) : B.at(i, j));
    norm = std::max(norm, row);
    bnorm = std::max(bnorm, std::fabs(b[size_t(i)]));
    xnorm = std::max(xnorm, std::fabs(x[size_t(i)]));
  }
  const double floor = kRowFloor * (norm * xnorm + bnorm);
  double worst = 0.0;
  for (int i = 0; i < n; ++i) {
    double r = -b[size_t(i)], scale = std::fabs(b[size_t(i)]), held = 1.0;
    for (int j = 0; j < n; ++j) {
      const double v = transposed ? B.at(j, i) : B.at(i, j);
      r += v * x[size_t(j)];
      scale += std::fabs(v) * std::fabs(x[size_t(j)]);
      if (v != 0.0) held += std::fabs(x[size_t(j)]);
    }
    const double excess = std::fabs(r) - 10.0 * n * drop * held;
    const double denominator = std::max(scale, floor);
    const double e = excess <= 0.0 ? 0.0 : (denominator > 0.0 ? excess / denominator : HUGE_VAL);
    if (!(e <= worst)) worst = std::isnan(e) ? HUGE_VAL : e;
  }
  return worst;
}

// ---------------------------------------------------------------------------
// Random problems: a pool of columns (unit columns first, as the slacks and
// artificials of the pivoting method) from which bases are drawn.

enum Kind : int {
  kUnit,
  kSingle,     // one entry
  kSparse,     // each row with a chosen probability
  kDense,      // every row
  kInteger,    // small integers (sources of exact sums)
  kDuplicate,  // an earlier column times a power of two
  kSum,        // exact sum of two earlier integer columns, times a power of two
  kHuge,       // sparse, one entry up to 1e150 times the others
  kNearCopy,   // an earlier column with one entry changed by a small relative amount
  kEmpty,      // no entry
  kKinds
};

// How a case mixes the kinds, scales rows and columns and sets the options.
struct Case {
  const char* name;
  int sequences;
  int steps;
  int max_size;
  int kind_weight[kKinds];
  int row_exponent;      // row scales 2^e, |e| <= this
  int column_exponent;   // column scales likewise
  int singular_percent;  // exchanges aimed at a singular B
  bool shared_basis;     // one Basis for all sequences (sizes vary), as the solver keeps one
};

struct Column {
  std::vector<Entry> entries;  // rows and values (col filled in when built)
  int group = 0;               // columns of one group are proportional
  bool integer = false;        // exact small-integer values before scaling
  int sum_of[2] = {0, 0};      // groups of the two terms of an exact sum
};

struct Problem {
  int n = 0;
  std::vector<Column> pool;  // pool[j - 1] is column j
  std::vector<double> row_scale;
  MatrixPtr A;
};

class Generator {
 public:
  Generator(const Case& c, std::uint32_t seed) : case_(c), rng_(seed) {}

  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  bool Chance(int percent) { return Int(1, 100) <= percent; }
  std::mt19937& rng() { return rng_; }

  // Sizes 1..max_size, small ones more often.
  int Size() {
    const int small = std::min(case_.max_size, 8);
    return Chance(50) ? Int(1, small) : Int(1, case_.max_size);
  }

  double Value() {
    const double magnitude = Real(0.1, 1.0);
    return Chance(50) ? magnitude : -magnitude;
  }

  double Power(int exponent) {
    return exponent == 0 ? 1.0 : std::ldexp(1.0, Int(-exponent, exponent));
  }

  Problem Make() {
    Problem p;
    p.n = Size();
    const int structural = p.n + Int(1, p.n + 4);
    for (int i = 1; i <= p.n; ++i) {
      Column unit;
      unit.entries.push_back({i, 0, 1.0});
      unit.group = i;
      p.pool.push_back(unit);
    }
    for (int k = 0; k < structural; ++k) p.pool.push_back(MakeColumn(p));
    for (int i = 0; i < p.n; ++i) p.row_scale.push_back(Power(case_.row_exponent));
    Scale(&p);
    Build(&p);
    return p;
  }

 private:
  Kind DrawKind() {
    int total = 0;
    for (int k = 1; k < kKinds; ++k) total += case_.kind_weight[k];
    int pick = Int(1, total);
    for (int k = 1; k < kKinds; ++k) {
      pick -= case_.kind_weight[k];
      if (pick <= 0) return Kind(k);
    }
    return kSparse;
  }

  // Rows of a sparse column: each with probability `density`, at least one.
  std::vector<int> Rows(int n, double density) {
    std::vector<int> rows;
    for (int i = 1; i <= n; ++i) {
      if (Real(0.0, 1.0) < density) rows.push_back(i);
    }
    if (rows.empty()) rows.push_back(Int(1, n));
    return rows;
  }

  double Density(int n) {
    const double choices[] = {1.0 / n, 0.1, 0.3, 0.6, 1.0};
    return choices[Int(0, 4)];
  }

  // An earlier structural column (index into the pool), or -1 if none
  // qualifies.
  int Earlier(const Problem& p, bool integer) {
    std::vector<int> found;
    for (size_t k = size_t(p.n); k < p.pool.size(); ++k) {
      if (!p.pool[k].entries.empty() && (!integer || p.pool[k].integer)) found.push_back(int(k));
    }
    if (found.empty()) return -1;
    return found[size_t(Int(0, int(found.size()) - 1))];
  }

  Column MakeColumn(const Problem& p) {
    Column c;
    c.group = int(p.pool.size()) + 1;
    const int n = p.n;
    switch (DrawKind()) {
      case kSingle:
        c.entries.push_back({Int(1, n), 0, Value()});
        break;
      case kDense:
        for (int i = 1; i <= n; ++i) c.entries.push_back({i, 0, Value()});
        break;
      case kInteger:
        for (int i : Rows(n, Density(n)))
          c.entries.push_back({i, 0, double(Int(1, 4) * (Chance(50) ? 1 : -1))});
        c.integer = true;
        break;
      case kDuplicate:
        if (!Copy(p, &c, Earlier(p, false))) break;
        return c;
      case kSum:
        if (!Sum(p, &c)) break;
        return c;
      case kHuge:
        for (int i : Rows(n, Density(n))) c.entries.push_back({i, 0, Value()});
        c.entries[size_t(Int(0, int(c.entries.size()) - 1))].value *= std::pow(10.0, Int(3, 150));
        break;
      case kNearCopy:
        if (!NearCopy(p, &c)) break;
        return c;
      case kEmpty:
        return c;
      default:
        for (int i : Rows(n, Density(n))) c.entries.push_back({i, 0, Value()});
        break;
    }
    if (c.entries.empty()) {
      for (int i : Rows(n, Density(n))) c.entries.push_back({i, 0, Value()});
    }
    return c;
  }

  bool Copy(const Problem& p, Column* c, int source) {
    if (source < 0) return false;
    const Column& s = p.pool[size_t(source)];
    const double factor = std::ldexp(Chance(50) ? 1.0 : -1.0, Int(-3, 3));
    *c = s;
    for (Entry& e : c->entries) e.value *= factor;
    return true;
  }

  bool Sum(const Problem& p, Column* c) {
    const int a = Earlier(p, true), b = Earlier(p, true);
    if (a < 0 || p.pool[size_t(a)].group == p.pool[size_t(b)].group) return false;
    std::vector<double> dense(size_t(p.n), 0.0);
    for (int source : {a, b}) {
      for (const Entry& e : p.pool[size_t(source)].entries) dense[size_t(e.row - 1)] += e.value;
    }
    const double factor = std::ldexp(1.0, Int(-3, 3));
    for (int i = 1; i <= p.n; ++i) {
      if (dense[size_t(i - 1)] != 0.0) c->entries.push_back({i, 0, factor * dense[size_t(i - 1)]});
    }
    if (c->entries.empty()) return false;  // the terms cancel: the sum is no column
    c->integer = true;
    c->sum_of[0] = p.pool[size_t(a)].group;
    c->sum_of[1] = p.pool[size_t(b)].group;
    return true;
  }

  bool NearCopy(const Problem& p, Column* c) {
    const int source = Earlier(p, false);
    if (source < 0) return false;
    const double deltas[] = {1e-3, 1e-7, 1e-11, 1e-14};
    c->entries = p.pool[size_t(source)].entries;
    c->entries[size_t(Int(0, int(c->entries.size()) - 1))].value *= 1.0 + deltas[Int(0, 3)];
    return true;
  }

  // Column scales: most columns no smaller than 2^-20, so that regular bases
  // stay common; unit columns keep scale 1, as slacks do.
  double ColumnScale(Kind kind) {
    const int e = case_.column_exponent;
    if (kind == kUnit || e == 0) return 1.0;
    return std::ldexp(1.0, Chance(25) ? Int(-e, e) : Int(-std::min(e, 20), e));
  }

  void Scale(Problem* p) {
    for (size_t j = 0; j < p->pool.size(); ++j) {
      Column& c = p->pool[j];
      const double s = ColumnScale(j < size_t(p->n) ? kUnit : kSparse);
      for (Entry& e : c.entries) e.value *= s * p->row_scale[size_t(e.row - 1)];
    }
  }

  void Build(Problem* p) {
    std::vector<Entry> all;
    for (size_t j = 0; j < p->pool.size(); ++j) {
      for (Entry e : p->pool[j].entries) {
        e.col = int(j) + 1;
        all.push_back(e);
      }
    }
    p->A.reset(sparse_test::Build(p->n, int(p->pool.size()), all, sparse_test::Layout::kScattered));
  }

  const Case& case_;
  std::mt19937 rng_;
};

// ---------------------------------------------------------------------------
// The basis as the test sees it

// Whether a column's values are finite (extreme scales may overflow; such a
// column makes B singular and is no right-hand side).
bool Finite(const Column& c) {
  return std::all_of(c.entries.begin(), c.entries.end(),
                     [](const Entry& e) { return std::isfinite(e.value); });
}

DenseSquare BasisMatrix(const Problem& p, const std::vector<int>& cols) {
  DenseSquare B(p.n);
  for (int k = 0; k < p.n; ++k) {
    for (const Entry& e : p.pool[size_t(cols[size_t(k)] - 1)].entries) B.at(e.row - 1, k) = e.value;
  }
  return B;
}

// Structural rank of B by augmenting paths (n is small).
bool Augment(const DenseSquare& B, int col, std::vector<int>* row_of, std::vector<char>* seen) {
  for (int i = 0; i < B.n; ++i) {
    if (B.at(i, col) == 0.0 || (*seen)[size_t(i)]) continue;
    (*seen)[size_t(i)] = 1;
    if ((*row_of)[size_t(i)] < 0 || Augment(B, (*row_of)[size_t(i)], row_of, seen)) {
      (*row_of)[size_t(i)] = col;
      return true;
    }
  }
  return false;
}

bool StructurallySingular(const DenseSquare& B) {
  std::vector<int> row_of(size_t(B.n), -1);
  for (int j = 0; j < B.n; ++j) {
    std::vector<char> seen(size_t(B.n), 0);
    if (!Augment(B, j, &row_of, &seen)) return true;
  }
  return false;
}

// Exactly singular by construction: two columns of one group, or an exact
// sum together with both of its terms.
bool DependentByConstruction(const Problem& p, const std::vector<int>& cols) {
  std::vector<int> groups;
  for (int j : cols) groups.push_back(p.pool[size_t(j - 1)].group);
  auto has = [&](int g) { return std::count(groups.begin(), groups.end(), g) > 0; };
  std::vector<int> sorted = groups;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return true;
  for (int j : cols) {
    const Column& c = p.pool[size_t(j - 1)];
    if (c.sum_of[0] != 0 && has(c.sum_of[0]) && has(c.sum_of[1])) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The sequence driver

// What a run met: the reference's verdicts and the back-end's statuses.
struct Tally {
  int verdicts[3] = {0, 0, 0};  // regular, band, singular
  int statuses[4] = {0, 0, 0, 0};
  int singular_updates = 0;  // singular bases from updates of ill-conditioned ones

  void Print(const char* name) const {
    std::printf(
        "%s: bases clearly regular %d, in the band %d, clearly singular %d; statuses "
        "factored %d, rebuilt %d, updated %d, singular %d; singular bases kept by "
        "updates of ill-conditioned ones %d\n",
        name, verdicts[0], verdicts[1], verdicts[2], statuses[0], statuses[1], statuses[2],
        statuses[3], singular_updates);
  }
};

// Largest backward error accepted from a solve the back-end calls regular.
constexpr double kBackwardLimit = 1e-9;

// B, the right-hand side and the solution, for a failure message.
std::string Dump(const DenseSquare& B, const std::vector<double>& rhs,
                 const std::vector<double>& x) {
  std::ostringstream text;
  text << "\nB:";
  for (int i = 0; i < B.n; ++i) {
    text << "\n";
    for (int j = 0; j < B.n; ++j) text << ' ' << B.at(i, j);
  }
  text << "\nrhs:";
  for (double v : rhs) text << ' ' << v;
  text << "\nx:";
  for (double v : x) text << ' ' << v;
  return text.str();
}

class Sequence {
 public:
  Sequence(const Case& c, std::uint32_t seed) : case_(c), seed_(seed), gen_(c, seed) {}

  // Runs the sequence on `shared`, or on a Basis of its own when null;
  // false after the first disagreement (reported).
  bool Run(int steps, Basis* shared) {
    problem_ = gen_.Make();
    SetOptions();
    const int n = problem_.n;
    for (int k = 1; k <= n; ++k) cols_.push_back(k);  // the unit basis
    ivec_ = MakeIVector(cols_);
    basis_ = shared;
    if (basis_ == nullptr) {
      owned_.reset(Basis_Create(n, n, SparseMatrix_NNZ(problem_.A.get())));
      basis_ = owned_.get();
    }
    if (!Check("factor", Basis_Factor(basis_, problem_.A.get(), ivec_.get()))) return false;
    for (step_ = 1; step_ <= steps; ++step_) {
      if (!Step()) return false;
    }
    return true;
  }

  const Tally& tally() const { return tally_; }

 private:
  // Mostly the defaults; now and then another pivot rule, a short update
  // limit (frequent rebuilds) or a long one (long chains of updates that
  // fill the storage).
  void SetOptions() {
    const int limits[] = {50, 50, 4, 1000};
    const int rules[] = {0, 0, 0, 1, 2, 3};
    Factorization_OptionTable[FACTORIZATION_UPDATE_LIMIT].int_value = limits[gen_.Int(0, 3)];
    Factorization_OptionTable[FACTORIZATION_PIVOT_TYPE].int_value = rules[gen_.Int(0, 5)];
  }

  bool Step() {
    if (singular_ && gen_.Chance(30)) return Repair();
    if (gen_.Chance(8)) return Refactor();
    return Exchange();
  }

  // The crash's way: a fresh factorization of a basis drawn at random.
  bool Refactor() {
    const int pool = int(problem_.pool.size());
    for (int& j : cols_) {
      if (gen_.Chance(40)) j = gen_.Int(1, pool);
    }
    StoreColumns(ivec_.get(), cols_);
    return Check("factor", Basis_Factor(basis_, problem_.A.get(), ivec_.get()));
  }

  // The pivoting method's way: solve with the entering column, choose the
  // leaving position among those with a non-zero entry (or any position when
  // aiming at a singular B or when B is singular already), replace.
  bool Exchange() {
    const int n = problem_.n, pool = int(problem_.pool.size());
    const bool aim_singular = gen_.Chance(case_.singular_percent);
    int enter = gen_.Int(1, pool);
    if (aim_singular && gen_.Chance(50)) enter = cols_[size_t(gen_.Int(0, n - 1))];
    int leave = gen_.Int(1, n);
    if (!singular_ && !aim_singular && Finite(problem_.pool[size_t(enter - 1)])) {
      std::vector<double> d;
      if (!SolveColumn(enter, &d)) return false;
      std::vector<int> candidates;
      for (int k = 1; k <= n; ++k) {
        if (d[size_t(k - 1)] != 0.0) candidates.push_back(k);
      }
      if (!candidates.empty()) leave = candidates[size_t(gen_.Int(0, int(candidates.size()) - 1))];
    }
    if (gen_.Chance(20) && !singular_) SolveT();  // pricing between the solve and the exchange
    cols_[size_t(leave - 1)] = enter;
    StoreColumns(ivec_.get(), cols_);
    const int status = Basis_Replace(basis_, problem_.A.get(), ivec_.get(), leave);
    if (status != BASIS_UPDATED && status != BASIS_REBUILT && status != BASIS_SINGULAR) {
      return Fail("replace returned " + std::to_string(status));
    }
    return Check("replace", status);
  }

  // Every singular position takes the unit column of its row, and B is
  // factored again (the repair of the pivoting method and the crash).
  bool Repair() {
    const int count = Basis_NumSingular(basis_);
    for (int k = 1; k <= count; ++k) {
      int row = 0, column = 0;
      Basis_GetSingular(basis_, k, &row, &column);
      cols_[size_t(column - 1)] = row;
    }
    StoreColumns(ivec_.get(), cols_);
    return Check("factor after repair", Basis_Factor(basis_, problem_.A.get(), ivec_.get()));
  }

  // Compares the back-end's status with the reference, then checks the
  // solves (regular) or the singular pairs (singular).
  bool Check(const char* what, int status) {
    what_ = what;
    const DenseSquare B = BasisMatrix(problem_, cols_);
    const bool by_construction =
        StructurallySingular(B) || DependentByConstruction(problem_, cols_);
    const Verdict before = reference_.verdict;
    const bool reported_singular = singular_;
    reference_ =
        Classify(B, by_construction, Factorization_OptionInt(FACTORIZATION_PIVOT_TYPE) == 1);
    singular_ = status == BASIS_SINGULAR;
    status_ = status;
    Trace();
    ++tally_.verdicts[int(reference_.verdict)];
    ++tally_.statuses[status];
    if (singular_ && reference_.verdict == Verdict::kRegular) return Fail("reported singular");
    if (!singular_ && reference_.verdict == Verdict::kSingular) {
      // An update judges the new pivot, which carries the rounding of the
      // old factors: an update of factors of an ill-conditioned B (reported
      // regular) may miss that the new B is singular. Factors reported
      // singular must not be updated at all.
      if (status != BASIS_UPDATED || before == Verdict::kRegular || reported_singular) {
        return Fail("reported regular");
      }
      ++tally_.singular_updates;
    }
    if (singular_) return CheckPairs();
    return CheckSolves(B);
  }

  void Trace() const {
    if (std::getenv("SARN_BASIS_DIFF_TRACE") == nullptr) return;
    std::printf("step %d %s status %d %s condition %g basis", step_, what_, status_,
                Name(reference_.verdict), reference_.condition);
    for (int j : cols_) std::printf(" %d", j);
    std::printf("\n");
  }

  // The pairs name distinct rows and distinct positions of B.
  bool CheckPairs() {
    const int n = problem_.n;
    const int count = Basis_NumSingular(basis_);
    if (count < 1 || count > n) return Fail("singular count " + std::to_string(count));
    std::vector<char> row_used(size_t(n), 0), column_used(size_t(n), 0);
    for (int k = 1; k <= count; ++k) {
      int row = 0, column = 0;
      Basis_GetSingular(basis_, k, &row, &column);
      if (row < 1 || row > n || column < 1 || column > n || row_used[size_t(row - 1)] ||
          column_used[size_t(column - 1)]) {
        return Fail("singular pair " + std::to_string(k) + " (" + std::to_string(row) + ", " +
                    std::to_string(column) + ")");
      }
      row_used[size_t(row - 1)] = column_used[size_t(column - 1)] = 1;
    }
    return true;
  }

  // Right-hand sides scaled like the rows (b) and like the columns (c) of B.
  std::vector<double> RowScaled() {
    std::vector<double> b;
    for (int i = 0; i < problem_.n; ++i)
      b.push_back(gen_.Real(-1.0, 1.0) * problem_.row_scale[size_t(i)]);
    return b;
  }

  bool CheckSolves(const DenseSquare& B) {
    const std::vector<double> b = RowScaled();
    std::vector<double> x;
    if (!SolveWith(B, b, false, &x)) return false;
    std::vector<double> c;
    for (int k = 0; k < problem_.n; ++k) {
      double colmax = 0.0;
      for (int i = 0; i < problem_.n; ++i) colmax = std::max(colmax, std::fabs(B.at(i, k)));
      c.push_back(gen_.Real(-1.0, 1.0) * (colmax > 0.0 ? colmax : 1.0));
    }
    return SolveWith(B, c, true, &x);
  }

  bool SolveWith(const DenseSquare& B, const std::vector<double>& rhs, bool transposed,
                 std::vector<double>* x) {
    VectorPtr b = MakeVector(rhs);
    VectorPtr result = MakeVector({}, problem_.n);
    if (transposed) {
      Basis_SolveT(basis_, result.get(), b.get());
    } else {
      Basis_Solve(basis_, result.get(), b.get());
    }
    *x = Values(result.get());
    const double e = BackwardError(B, *x, rhs, transposed,
                                   Factorization_OptionDouble(FACTORIZATION_SMALL_TOLERANCE));
    if (!(e <= kBackwardLimit)) {
      std::ostringstream text;
      text << (transposed ? "solveT" : "solve") << " backward error " << e;
      if (std::getenv("SARN_BASIS_DIFF_DUMP") != nullptr) text << Dump(B, rhs, *x);
      return Fail(text.str());
    }
    return true;
  }

  bool SolveColumn(int j, std::vector<double>* d) {
    const DenseSquare B = BasisMatrix(problem_, cols_);
    std::vector<double> a(size_t(problem_.n), 0.0);
    for (const Entry& e : problem_.pool[size_t(j - 1)].entries) a[size_t(e.row - 1)] = e.value;
    return SolveWith(B, a, false, d);
  }

  void SolveT() {
    VectorPtr b = MakeVector(RowScaled());
    VectorPtr y = MakeVector({}, problem_.n);
    Basis_SolveT(basis_, y.get(), b.get());
  }

  bool Fail(const std::string& what) {
    std::ostringstream text;
    text << case_.name << " seed " << seed_ << " step " << step_ << " (" << what_ << ", n "
         << problem_.n << ", basis";
    for (int j : cols_) text << ' ' << j;
    const auto* f = static_cast<const Factorization*>(Basis_Handle(basis_));
    text << "; rule " << Factorization_OptionInt(FACTORIZATION_PIVOT_TYPE) << ", update limit "
         << Factorization_OptionInt(FACTORIZATION_UPDATE_LIMIT);
    text << "; status " << status_ << ", rank " << f->ip[LU_Int::rank] << ", updates " << f->updates
         << ", singular columns " << f->ip[LU_Int::singular_count];
    text << "): " << what << "; reference: " << Name(reference_.verdict) << ", ||B^-1|| "
         << reference_.inverse_norm << ", column-equilibrated condition " << reference_.condition;
    ADD_FAILURE() << text.str();
    return false;
  }

  const Case& case_;
  std::uint32_t seed_;
  Generator gen_;
  Problem problem_;
  std::vector<int> cols_;
  IVectorPtr ivec_;
  BasisPtr owned_;
  Basis* basis_ = nullptr;
  Reference reference_;
  bool singular_ = false;
  int status_ = 0;
  int step_ = 0;
  Tally tally_;
  const char* what_ = "";
};

class FactorizationSequenceTest : public basis_test::FactorizationDefaultsTest {};

class BasisDifferentialTest : public FactorizationSequenceTest,
                              public ::testing::WithParamInterface<Case> {};

// A basis factored singular keeps its singular column through the
// exchanges of other columns: each such exchange must report B singular
// (the factors hold a pivot at rounding level, so an update of them would
// pass a singular B off as regular and solve it wildly wrong), and the
// exchange of the singular column itself gives factors that solve B.
TEST_F(FactorizationSequenceTest, ReplaceAfterASingularReportJudgesTheNewBasis) {
  // Columns 1 and 2 agree up to 1e-12 in row 2: the factorization takes a
  // pivot of that size and judges its column singular, at full rank.
  basis_test::Matrix problem = basis_test::MakeMatrix(3, 6,
                                                      {{1, 1, 1.0},
                                                       {2, 1, 1.0},
                                                       {1, 2, 1.0},
                                                       {2, 2, 1.0 + 1e-12},
                                                       {3, 3, 1.0},
                                                       {3, 4, 2.0},
                                                       {1, 4, 1.0},
                                                       {2, 5, 1.0},
                                                       {3, 6, -3.0},
                                                       {2, 6, 0.5}});
  std::vector<int> order = {1, 2, 3};
  IVectorPtr cols = MakeIVector(order);
  BasisPtr basis(Basis_Create(3, 3, 10));
  ASSERT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
  ASSERT_EQ(static_cast<Factorization*>(Basis_Handle(basis.get()))->ip[LU_Int::rank], 3);
  for (int enter : {4, 6, 3}) {
    SCOPED_TRACE("column " + std::to_string(enter) + " enters at position 3");
    order[2] = enter;
    StoreColumns(cols.get(), order);
    EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 3), BASIS_SINGULAR);
    EXPECT_GE(Basis_NumSingular(basis.get()), 1);
  }
  order[1] = 5;  // e2 takes the place of the singular column
  StoreColumns(cols.get(), order);
  const int status = Basis_Replace(basis.get(), problem.A.get(), cols.get(), 2);
  EXPECT_TRUE(status == BASIS_REBUILT || status == BASIS_UPDATED) << status;
  std::mt19937 rng(5);
  basis_test::CheckSolves(basis.get(), basis_test::BasisOf(problem.dense, order), &rng,
                          "after the singular column left");
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

std::uint32_t EnvCount(const char* name, std::uint32_t fallback) {
  const char* text = std::getenv(name);
  return text == nullptr ? fallback : std::uint32_t(std::strtoul(text, nullptr, 10));
}

TEST_P(BasisDifferentialTest, AgreesWithTheDenseReference) {
  const Case& c = GetParam();
  const std::uint32_t first = EnvCount("SARN_BASIS_DIFF_FIRST", 1);
  const std::uint32_t sequences = EnvCount("SARN_BASIS_DIFF_SEQUENCES", std::uint32_t(c.sequences));
  const int steps = int(EnvCount("SARN_BASIS_DIFF_STEPS", std::uint32_t(c.steps)));
  Tally tally;
  int failed = 0;
  BasisPtr shared(c.shared_basis ? Basis_Create(1, 1, 1) : nullptr);
  for (std::uint32_t seed = first; seed < first + sequences && failed < 5; ++seed) {
    Sequence sequence(c, seed);
    if (!sequence.Run(steps, shared.get())) ++failed;
    for (int k = 0; k < 3; ++k) tally.verdicts[k] += sequence.tally().verdicts[k];
    for (int k = 0; k < 4; ++k) tally.statuses[k] += sequence.tally().statuses[k];
    tally.singular_updates += sequence.tally().singular_updates;
  }
  tally.Print(c.name);
  // Every case meets regular bases and exercises the updates.
  EXPECT_GT(tally.verdicts[int(Verdict::kRegular)], 0);
  EXPECT_GT(tally.statuses[BASIS_UPDATED], 0);
}

// Kind weights in Kind order: unit (unused: the pool starts with the unit
// columns), single, sparse, dense, integer, duplicate, sum, huge, near copy,
// empty.
const Case kCases[] = {
    {"unscaled", 20, 60, 60, {0, 3, 6, 2, 3, 1, 1, 0, 0, 0}, 0, 0, 5, false},
    {"singular", 40, 60, 20, {0, 3, 4, 1, 4, 3, 3, 1, 2, 1}, 0, 0, 25, false},
    {"column_scaled", 40, 60, 40, {0, 3, 6, 2, 3, 1, 1, 1, 0, 0}, 0, 498, 5, false},
    {"row_scaled", 40, 60, 40, {0, 3, 6, 2, 3, 1, 1, 1, 0, 0}, 498, 0, 5, false},
    {"both_scaled", 40, 60, 40, {0, 3, 5, 2, 3, 2, 2, 1, 1, 1}, 498, 498, 15, false},
    {"moderate", 30, 60, 60, {0, 3, 6, 2, 3, 1, 1, 1, 1, 0}, 20, 20, 10, false},
    {"shared_basis", 40, 60, 60, {0, 3, 6, 2, 3, 1, 1, 1, 1, 1}, 20, 20, 10, true},
};

INSTANTIATE_TEST_SUITE_P(Sequences, BasisDifferentialTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
