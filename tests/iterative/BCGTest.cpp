// Biconjugate family: breakdowns without look-ahead end in an error (with
// TFQMR's messages), TFQMR counts half steps, and BiCGSTAB takes the steps
// of the textbook method, transient residual growth included.
#include <string>
#include <vector>

#include "IterativeHarness.hpp"

namespace ittest {
namespace {

class BCGTest : public IterativeTest {};

// Two-dimensional convection-diffusion on a side x side grid: the 5-point
// stencil with centre 4, west and south -1 - c, east and north -1 + c;
// b = ones.
System Grid(int side, double c) {
  System s;
  s.name = "grid" + std::to_string(side);
  const int n = side * side;
  s.A = Dense(n, n);
  for (int i = 0; i < n; ++i) {
    const int gx = i % side, gy = i / side;
    s.A(i, i) = 4.0;
    if (gx > 0) s.A(i, i - 1) = -1.0 - c;
    if (gx + 1 < side) s.A(i, i + 1) = -1.0 + c;
    if (gy > 0) s.A(i, i - side) = -1.0 - c;
    if (gy + 1 < side) s.A(i, i + side) = -1.0 + c;
  }
  s.b = Values(n, 1.0);
  return s;
}

double Dot(const Values& a, const Values& b) {
  double sum = 0.0;
  for (size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
  return sum;
}

// The textbook BiCGSTAB from x = 0 with the shadow residual b, written
// apart from the library: x[k] and the recurrence residual norm rho[k]
// after k steps, until rho falls below 1e-8 of ||b|| or after `steps`.
struct Textbook {
  std::vector<Values> x;
  Values rho;
};

Textbook TextbookBicgstab(const System& s, int steps) {
  const size_t n = s.b.size();
  Values x(n, 0.0), r = s.b, p = s.b, sv(n);
  Textbook out{{x}, {Norm(r)}};
  double rho = Dot(r, s.b);
  for (int k = 0; k < steps && out.rho.back() >= 1e-8 * out.rho[0]; ++k) {
    const Values v = Multiply(s.A, p);
    const double alpha = rho / Dot(v, s.b);
    for (size_t i = 0; i < n; ++i) sv[i] = r[i] - alpha * v[i];
    const Values t = Multiply(s.A, sv);
    const double omega = Dot(t, sv) / Dot(t, t);
    for (size_t i = 0; i < n; ++i) {
      x[i] += alpha * p[i] + omega * sv[i];
      r[i] = sv[i] - omega * t[i];
    }
    out.x.push_back(x);
    out.rho.push_back(Norm(r));
    const double rho_next = Dot(r, s.b);
    const double beta = (rho_next / rho) * (alpha / omega);
    for (size_t i = 0; i < n; ++i) p[i] = r[i] + beta * (p[i] - omega * v[i]);
    rho = rho_next;
  }
  return out;
}

// BiCGSTAB stopped after k steps by the limit holds the textbook iterate
// x_k, on convection-diffusion systems it solves; the last step is the
// textbook's last and is confirmed by the true residual. The two part by
// rounding only, which the steps where the residual grows amplify.
TEST_F(BCGTest, BicgstabTakesTheTextbookSteps) {
  for (const System& s : {Grid(8, 0.3), Grid(10, 0.5), Grid(12, 0.8)}) {
    const Textbook reference = TextbookBicgstab(s, 100);
    const int last = static_cast<int>(reference.x.size()) - 1;
    for (int k = 1; k <= last; ++k) {
      SCOPED_TRACE(s.name + " step " + std::to_string(k));
      Iterative_Params p = DefaultParams();
      p.iteration_limit = k;
      const Outcome out = Run(SolverNamed("BICGSTAB"), s, p);
      EXPECT_EQ(out.params.iterations, k);
      EXPECT_EQ(out.params.termination, k < last ? ITERATIVE_ITERATION_LIMIT : ITERATIVE_SOLVED);
      EXPECT_LE(Distance(out.x, reference.x[k]), 1e-8 * Norm(reference.x[k]));
    }
    const Outcome out = Run(SolverNamed("BICGSTAB"), s, DefaultParams());
    EXPECT_LT(Norm(Residual(s.A, out.x, s.b)), 1e-8 * Norm(s.b)) << s.name;
  }
}

// Strong convection: the textbook method's residual grows 1e5-fold within
// eight steps (near-breakdowns of the underlying Lanczos process, alpha
// large) before it falls again to a solution. BiCGSTAB follows it there,
// and the divergence bound ends the solve with an error, reporting the true
// residual of the iterate it returns, never a success.
TEST_F(BCGTest, BicgstabResidualPeakAboveTheBoundIsAnError) {
  const System s = Grid(15, 0.95);
  const Textbook reference = TextbookBicgstab(s, 100);
  ASSERT_GT(reference.x.size(), 9u);
  for (int k = 1; k < 8; ++k) ASSERT_LT(reference.rho[k], 1e5 * reference.rho[0]) << k;
  ASSERT_GT(reference.rho[8], 1e5 * reference.rho[0]);
  ASSERT_LT(reference.rho.back(), 1e-8 * reference.rho[0]);
  const Outcome out = Run(SolverNamed("BICGSTAB"), s, DefaultParams());
  EXPECT_EQ(out.params.termination, ITERATIVE_ERROR);
  EXPECT_EQ(out.params.iterations, 8);
  EXPECT_LE(Distance(out.x, reference.x[8]), 1e-3 * Norm(reference.x[8]));
  const double true_relative = Norm(Residual(s.A, out.x, s.b)) / Norm(s.b);
  EXPECT_NEAR(out.params.relative_residual, true_relative, 1e-10 * true_relative);
  EXPECT_GT(out.params.relative_residual, 1e5);
}

// A skew-symmetric A makes r'Ar = 0 at the start: every Lanczos-based method
// without look-ahead breaks down at once.
TEST_F(BCGTest, SkewSystemBreaksDownWithError) {
  System skew;
  skew.name = "skew";
  skew.A = Dense(2, 2);
  skew.A(0, 1) = 1.0;
  skew.A(1, 0) = -1.0;
  skew.b = {1.0, 0.0};
  const struct {
    const char* solver;
    const char* message;
  } cases[] = {
      {"BCG", nullptr},
      {"BICGSTAB", nullptr},
      {"QMR", nullptr},
      {"TFQMR", "delta < zero tolerance.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.solver);
    output()->Clear();
    const Outcome out = Run(SolverNamed(c.solver), skew, DefaultParams());
    EXPECT_EQ(out.params.termination, ITERATIVE_ERROR);
    EXPECT_EQ(out.x, Values(2, 0.0));
    if (c.message != nullptr) {
      EXPECT_LT(output()->log().find(c.message), output()->log().find("Iterative Method"));
    }
  }
  // Methods that do not rest on the Lanczos biorthogonality solve it.
  for (const char* name : {"GMRES", "CG_NR", "LSQR"}) {
    EXPECT_EQ(Run(SolverNamed(name), skew, DefaultParams()).params.termination, ITERATIVE_SOLVED)
        << name;
  }
}

// Every half step of TFQMR is an iteration: a limit stops it after either.
TEST_F(BCGTest, TfqmrCountsHalfSteps) {
  const System s = ConvectionDiffusion(20, 0.2);
  for (int limit : {1, 2, 3, 4}) {
    Iterative_Params p = DefaultParams();
    p.iteration_limit = limit;
    const Outcome out = Run(SolverNamed("TFQMR"), s, p);
    EXPECT_EQ(out.params.termination, ITERATIVE_ITERATION_LIMIT);
    EXPECT_EQ(out.params.iterations, limit);
  }
}

}  // namespace
}  // namespace ittest
