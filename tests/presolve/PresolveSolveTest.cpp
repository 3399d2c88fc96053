// Closed-form 3 x 3 block solves: case tables for the coherent-orientation
// test and the active-set solve, and a brute-force check of both over random
// small-integer blocks with finite and infinite bounds.
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "presolve/PresolveSolve.hpp"
#include "support/TestSupport.hpp"

namespace {

constexpr double kInfBound = 1e20;  // the option infinity
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTol = 1e-9;

// A block: rows a[i] with constants b[i], bounds per variable.
struct Block {
  double a[3][3];
  double b[3];
  double lo[3];
  double hi[3];

  double F(int i, const double s[3]) const {
    return a[i][0] * s[0] + a[i][1] * s[1] + a[i][2] * s[2] + b[i];
  }
  int Test() const {
    return Solve_TestThree(a[0][0], a[0][1], a[0][2], a[1][0], a[1][1], a[1][2], a[2][0],
                           a[2][1], a[2][2], lo[0], hi[0], lo[1], hi[1], lo[2], hi[2]);
  }
  bool Solve(double s[3]) const {
    return Solve_Three(a[0][0], a[0][1], a[0][2], b[0], a[1][0], a[1][1], a[1][2], b[1],
                       a[2][0], a[2][1], a[2][2], b[2], lo[0], hi[0], lo[1], hi[1], lo[2], hi[2],
                       &s[0], &s[1], &s[2]);
  }
  std::string Text() const {
    std::ostringstream out;
    for (int i = 0; i < 3; ++i) {
      out << "[" << a[i][0] << " " << a[i][1] << " " << a[i][2] << " | " << b[i] << "] in ["
          << lo[i] << ", " << hi[i] << "]  ";
    }
    return out.str();
  }
};

constexpr double kI = kInfBound;

Block Diagonal(double d0, double d1, double d2, double b0, double b1, double b2, double lo,
               double hi) {
  return {{{d0, 0, 0}, {0, d1, 0}, {0, 0, d2}}, {b0, b1, b2}, {lo, lo, lo}, {hi, hi, hi}};
}

// The solution conditions at s, F recomputed from the block.
bool IsSolution(const Block& blk, const double s[3]) {
  for (int i = 0; i < 3; ++i) {
    const double lo = blk.lo[i] <= -kInfBound ? -INFINITY : blk.lo[i];
    const double hi = blk.hi[i] >= kInfBound ? INFINITY : blk.hi[i];
    if (!(s[i] >= lo - kTol && s[i] <= hi + kTol)) return false;
    const double mid = std::fmax(lo, std::fmin(hi, s[i] - blk.F(i, s)));
    if (!(std::fabs(s[i] - mid) <= kTol)) return false;
  }
  return true;
}

using PresolveSolveTest = LibraryTest;

TEST_F(PresolveSolveTest, TestThreeAcceptsCoherentlyOrientedBlocks) {
  struct Case {
    const char* what;
    Block blk;
    int expected;
  };
  const Case cases[] = {
      {"P-matrix, all bounded",
       {{{4, -1, 0}, {-1, 4, -1}, {0, -1, 4}}, {0, 0, 0}, {0, 0, 0}, {kI, kI, kI}}, 1},
      {"negative determinant with every variable bounded", Diagonal(-1, -1, -1, 0, 0, 0, 0, kI),
       0},
      {"negative determinant, all free", Diagonal(-1, -1, -1, 0, 0, 0, -kI, kI), 1},
      {"singular, all free",
       {{{1, 2, 3}, {2, 4, 6}, {1, 1, 1}}, {0, 0, 0}, {-kI, -kI, -kI}, {kI, kI, kI}}, 0},
      {"determinant within zerotol", Diagonal(1e-5, 1e-5, 1e-5, 0, 0, 0, -kI, kI), 0},
      {"free variable with a zero diagonal, the others bounded",
       {{{1, 0, 0}, {0, 1, 1}, {0, -1, 0}}, {0, 0, 0}, {0, 0, -kI}, {kI, 5, kI}}, 0},
      {"the same block with every variable free",
       {{{1, 0, 0}, {0, 1, 1}, {0, -1, 0}}, {0, 0, 0}, {-kI, -kI, -kI}, {kI, kI, kI}}, 1},
      {"bounded variable with a negative diagonal",
       {{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}, {0, -kI, -kI}, {kI, kI, kI}}, 0},
      {"free variable with a negative diagonal, another bounded",
       {{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}, {-kI, 0, -kI}, {kI, kI, kI}}, 1},
      {"one upper bound counts as bounded",
       {{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}, {-kI, -kI, -kI}, {3, kI, kI}}, 0},
      {"NaN coefficient", Diagonal(kNaN, 1, 1, 0, 0, 0, 0, kI), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.blk.Test(), c.expected);
  }
}

TEST_F(PresolveSolveTest, SolveThreeFindsTheFirstPassingActiveSet) {
  struct Case {
    const char* what;
    Block blk;
    bool found;
    double s[3];
  };
  const Case cases[] = {
      {"first variable at its lower bound",
       {{{4, -1, 0}, {-1, 4, -1}, {0, -1, 4}}, {2, -3, -3}, {0, 0, 0}, {kI, kI, kI}},
       true,
       {0, 1, 1}},
      {"all inside", Diagonal(1, 1, 1, -1, -2, -3, 0, 5), true, {1, 2, 3}},
      {"upper, lower and inside", Diagonal(1, 1, 1, -10, 1, -1, 0, 5), true, {5, 0, 1}},
      {"inside value within zerotol below its bound lands on it",
       Diagonal(1, 1, 1, 5e-13, -1, -1, 0, kI), true, {0, 1, 1}},
      {"inside comes first among several solutions", Diagonal(-1, 1, 1, 1, -1, -1, 0, 2), true,
       {1, 1, 1}},
      {"solution beyond an infinite end: not found",
       Diagonal(1e-9, 1, 1, -1e12, 0, 0, -kI, kI), false, {0, 0, 0}},
      {"the same with a finite upper bound",
       {{{1e-9, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {-1e12, 0, 0}, {-kI, -kI, -kI}, {5, kI, kI}},
       true,
       {5, 0, 0}},
      {"no solution: a constant row of a free variable",
       {{{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {1, 0, 0}, {-kI, -kI, -kI}, {kI, kI, kI}}, false,
       {0, 0, 0}},
      {"NaN constant", Diagonal(1, 1, 1, kNaN, 0, 0, 0, kI), false, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    double s[3] = {-7, -7, -7};
    ASSERT_EQ(c.blk.Solve(s), c.found);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s[i], c.found ? c.s[i] : -7.0) << "variable " << i;
    if (c.found) {
      EXPECT_TRUE(IsSolution(c.blk, s));
    }
  }
}

// ---------------------------------------------------------------------------
// Brute force over the active sets, solved by Cramer's rule.
// ---------------------------------------------------------------------------

double Det(const std::vector<std::vector<double>>& m) {
  switch (m.size()) {
    case 0:
      return 1.0;
    case 1:
      return m[0][0];
    case 2:
      return m[0][0] * m[1][1] - m[0][1] * m[1][0];
    default:
      return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
             m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
             m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  }
}

struct Enumeration {
  std::vector<std::vector<double>> solutions;  // distinct
  bool singular_case = false;                  // an active set with a singular matrix
};

Enumeration Enumerate(const Block& blk) {
  Enumeration result;
  for (int code = 0; code < 27; ++code) {
    const int place[3] = {code / 9, (code / 3) % 3, code % 3};  // 0 lower, 1 upper, 2 inside
    double s[3];
    std::vector<int> inside;
    bool skip = false;
    for (int i = 0; i < 3; ++i) {
      if (place[i] == 2) {
        inside.push_back(i);
        continue;
      }
      s[i] = place[i] == 0 ? blk.lo[i] : blk.hi[i];
      if (std::fabs(s[i]) >= kInfBound) skip = true;
    }
    if (skip) continue;
    const size_t k = inside.size();
    std::vector<std::vector<double>> m(k, std::vector<double>(k));
    std::vector<double> rhs(k);
    for (size_t p = 0; p < k; ++p) {
      const int i = inside[p];
      rhs[p] = -blk.b[i];
      for (int j = 0; j < 3; ++j) {
        if (place[j] != 2) rhs[p] -= blk.a[i][j] * s[j];
      }
      for (size_t q = 0; q < k; ++q) m[p][q] = blk.a[i][inside[q]];
    }
    const double det = Det(m);
    if (std::fabs(det) <= 1e-12) {
      result.singular_case = true;
      continue;
    }
    for (size_t q = 0; q < k; ++q) {
      auto replaced = m;
      for (size_t p = 0; p < k; ++p) replaced[p][q] = rhs[p];
      s[inside[q]] = Det(replaced) / det;
    }
    if (!IsSolution(blk, s)) continue;
    bool known = false;
    for (const auto& other : result.solutions) {
      known = known || (std::fabs(other[0] - s[0]) <= 1e-7 && std::fabs(other[1] - s[1]) <= 1e-7 &&
                        std::fabs(other[2] - s[2]) <= 1e-7);
    }
    if (!known) result.solutions.push_back({s[0], s[1], s[2]});
  }
  return result;
}

class RandomBlocks {
 public:
  explicit RandomBlocks(unsigned seed) : engine_(seed) {}

  Block Next() {
    Block blk;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) blk.a[i][j] = i == j ? Uniform(-1, 4) : Uniform(-2, 2);
      blk.b[i] = Uniform(-5, 5);
      Bounds(&blk.lo[i], &blk.hi[i]);
    }
    return blk;
  }

 private:
  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
  void Bounds(double* lo, double* hi) {
    switch (Uniform(0, 3)) {
      case 0:
        *lo = Uniform(-3, 2);
        *hi = *lo + Uniform(1, 3);
        break;
      case 1:
        *lo = Uniform(-3, 2);
        *hi = kInfBound;
        break;
      case 2:
        *lo = -kInfBound;
        *hi = Uniform(-2, 3);
        break;
      default:
        *lo = -kInfBound;
        *hi = kInfBound;
        break;
    }
  }
  std::mt19937 engine_;
};

TEST_F(PresolveSolveTest, AgreesWithBruteForceOverRandomSmallIntegerBlocks) {
  RandomBlocks random(777u);
  int coherent = 0, found = 0, not_found = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    const Block blk = random.Next();
    SCOPED_TRACE(blk.Text());
    const Enumeration all = Enumerate(blk);
    double s[3];
    const bool solved = blk.Solve(s);
    if (solved) {
      ++found;
      // Whatever is returned is a solution (and so one the enumeration knows).
      EXPECT_TRUE(IsSolution(blk, s)) << s[0] << " " << s[1] << " " << s[2];
    } else {
      ++not_found;
      // None returned: no active set with a regular matrix gives a solution.
      EXPECT_TRUE(all.solutions.empty());
    }
    if (blk.Test() == 1) {
      ++coherent;
      // A coherent block has a regular matrix in every active set and
      // exactly one solution, which the solve returns.
      EXPECT_FALSE(all.singular_case);
      EXPECT_EQ(all.solutions.size(), 1u);
      EXPECT_TRUE(solved);
    }
    if (HasFailure()) return;
  }
  // The data reach all three outcomes often.
  EXPECT_GT(coherent, 1000);
  EXPECT_GT(found, 1000);
  EXPECT_GT(not_found, 1000);
}

}  // namespace
