// Preconditioners: the constructors' slots, the band kinds against the
// densely assembled part of J'J that each retains, their guards, and the
// band kinds' transpose inside the solvers.
#include <cmath>
#include <functional>
#include <string>

#include "IterativeHarness.hpp"
#include "core/Workspace.hpp"

namespace ittest {
namespace {

class PrecondTest : public IterativeTest {
 protected:
  // apply(v) for a preconditioner set up on J.
  Values Apply(Preconditioner& pre, const Dense& J, const Values& v) {
    Matrix A(J);
    pre.setup(A);
    Vector x(v);
    pre.left_apply(x);
    return x.values();
  }
};

// ---------------------------------------------------------------------------
// Constructors

TEST_F(PrecondTest, BandConstructorClampsTheWidthAndFillsTheLeftSlots) {
  const struct {
    std::int32_t b, width;
    Precond_ApplyFunction apply;
    Precond_SetupFunction setup;
  } cases[] = {
      {-4, 1, Precond_DiagonalApply, Precond_DiagonalSetup},
      {0, 1, Precond_DiagonalApply, Precond_DiagonalSetup},
      {1, 1, Precond_DiagonalApply, Precond_DiagonalSetup},
      {2, 2, Precond_TridiagonalApply, Precond_TridiagonalSetup},
      {3, 3, Precond_BandApply, Precond_BandSetup},
      {10, 10, Precond_BandApply, Precond_BandSetup},
      {12, 10, Precond_BandApply, Precond_BandSetup},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.b);
    Preconditioner pre;
    pre.side = 9;
    pre.right_apply = Precond_ILUApply;
    EXPECT_EQ(Precond_CreateBand(&pre, c.b), &pre);
    EXPECT_EQ(Precond_BandWidth(), c.width);
    EXPECT_EQ(pre.side, PRECOND_LEFT);
    EXPECT_EQ(pre.reserved, nullptr);
    EXPECT_EQ(pre.setup, c.setup);
    EXPECT_NE(pre.finish, nullptr);
    EXPECT_EQ(pre.left_apply, c.apply);
    // The factors are symmetric: the transpose is the apply itself.
    EXPECT_EQ(pre.left_apply_transpose, c.apply);
    EXPECT_EQ(pre.right_apply, nullptr);
    EXPECT_EQ(pre.right_apply_transpose, nullptr);
  }
}

TEST_F(PrecondTest, IncompleteLUConstructorsDifferInSideAndSlots) {
  using Create = Preconditioner* (*)(Preconditioner*);
  const struct {
    Create create;
    std::int32_t side;
    bool left, right;
  } cases[] = {
      {Precond_CreateILULeft, PRECOND_LEFT, true, false},
      {Precond_CreateILURight, PRECOND_RIGHT, false, true},
      {Precond_CreateILUBoth, PRECOND_BOTH, true, true},
  };
  for (const auto& c : cases) {
    Preconditioner pre;
    EXPECT_EQ(c.create(&pre), &pre);
    EXPECT_EQ(pre.side, c.side);
    EXPECT_EQ(pre.setup, Precond_ILUSetup);
    EXPECT_EQ(pre.finish, Precond_ILUFinish);
    EXPECT_EQ(pre.left_apply, c.left ? Precond_ILUApply : nullptr);
    EXPECT_EQ(pre.left_apply_transpose, c.left ? Precond_ILUApplyT : nullptr);
    EXPECT_EQ(pre.right_apply, c.right ? Precond_ILUApply : nullptr);
    EXPECT_EQ(pre.right_apply_transpose, c.right ? Precond_ILUApplyT : nullptr);
  }
  Preconditioner pre;
  Precond_CreateILUBoth(&pre);
  Precond_Clear(&pre);
  EXPECT_EQ(pre.side, PRECOND_LEFT);
  EXPECT_EQ(pre.setup, nullptr);
  EXPECT_EQ(pre.left_apply, nullptr);
}

// ---------------------------------------------------------------------------
// Band kinds

// Whether entry (i, k), i < k (1-based), of J'J is kept by a band of width
// b on n columns: neighbours for b = 2; pairs inside each chunk of b
// columns for b >= 3, and the pairs that the tail step of a last chunk
// shorter than b - 1 reaches before it.
bool Retained(int n, int b, int i, int k) {
  if (b == 1) return false;
  if (b == 2) return k == i + 1;
  const int chunk_i = (i - 1) / b, chunk_k = (k - 1) / b;
  if (chunk_i == chunk_k) return true;
  const int s = ((n - 1) / b) * b + 1;  // first column of the last chunk
  return k >= s && i >= n - b + 2 && i < s;
}

// The dense picture of the retained part of J'J.
Dense RetainedNormalMatrix(const Dense& J, int b) {
  const Dense N = Product(Transpose(J), J);
  const int n = J.cols;
  Dense M(n, n);
  for (int i = 1; i <= n; ++i) {
    M(i - 1, i - 1) = N(i - 1, i - 1);
    for (int k = i + 1; k <= n; ++k) {
      if (Retained(n, b, i, k)) M(i - 1, k - 1) = M(k - 1, i - 1) = N(i - 1, k - 1);
    }
  }
  return M;
}

// A sparse J with a dominant diagonal, so that every retained part of J'J
// is positive definite.
Dense SampleJacobian(int n) {
  Dense J(n, n);
  for (int i = 0; i < n; ++i) {
    J(i, i) = 3.0 + 0.25 * i;
    if (i + 1 < n) J(i + 1, i) = 0.5 + 0.1 * i;
    if (i + 2 < n) J(i, i + 2) = -0.3;
    if (i + 3 < n && i % 2 == 0) J(i + 3, i) = 0.2;
  }
  return J;
}

TEST_F(PrecondTest, BandKindsSolveWithTheRetainedPartOfTheNormalMatrix) {
  const struct {
    int n, b;
  } cases[] = {
      {7, 1},  {7, 2},  {1, 2},  {5, 5},  {3, 10},  // n <= b: all of J'J
      {4, 3},  // the last chunk (column 4) also takes the pair (3, 4)
      {10, 4},  // ... and here (8, 9) and (8, 10)
      {11, 4}, {8, 3},  {12, 5}, {9, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n) + " b " + std::to_string(c.b));
    const Dense J = SampleJacobian(c.n);
    Values v(c.n);
    for (int i = 0; i < c.n; ++i) v[i] = 1.0 - 0.3 * i;
    Preconditioner pre;
    Precond_CreateBand(&pre, c.b);
    const Values applied = Apply(pre, J, v);
    const Dense M = RetainedNormalMatrix(J, c.b);
    const Values reference = c.n <= c.b ? SolveSPD(Product(Transpose(J), J), v) : SolveSPD(M, v);
    EXPECT_LE(Distance(applied, reference), 1e-13 * Norm(reference));
  }
}

TEST_F(PrecondTest, DiagonalKindScalesByInverseSquaredColumnNorms) {
  Preconditioner pre;
  Precond_CreateBand(&pre, 1);
  EXPECT_EQ(Apply(pre, Diagonal({2.0, 4.0}).A, {1.0, 1.0}), (Values{0.25, 0.0625}));
  // Orthogonal columns: the tridiagonal kind is the diagonal kind.
  Dense J(3, 3);
  J(0, 0) = 1.0;
  J(1, 0) = 1.0;
  J(0, 1) = 2.0;
  J(1, 1) = -2.0;
  J(2, 2) = 4.0;
  Precond_CreateBand(&pre, 2);
  EXPECT_EQ(Apply(pre, J, {2.0, 8.0, 16.0}), (Values{1.0, 1.0, 1.0}));
}

// An empty column gets the factor 1, a pivot that is not positive the
// column's own squared norm: the factors stay finite and the apply never
// produces inf or NaN.
TEST_F(PrecondTest, EmptyColumnsAndBadPivotsGetUnitFactors) {
  Dense empty_column(3, 3);
  empty_column(0, 0) = 2.0;
  empty_column(2, 2) = 1.0;  // column 2 empty
  Dense parallel(3, 3);  // columns 1 and 2 equal: the second pivot is 0
  parallel(0, 0) = parallel(0, 1) = 1.0;
  parallel(1, 0) = parallel(1, 1) = 1.0;
  parallel(2, 2) = 1.0;
  for (const Dense* J : {&empty_column, &parallel}) {
    for (int b : {1, 2, 3}) {
      SCOPED_TRACE(b);
      Preconditioner pre;
      Precond_CreateBand(&pre, b);
      const Values out = Apply(pre, *J, {1.0, 2.0, 3.0});
      for (double x : out) EXPECT_TRUE(std::isfinite(x));
    }
  }
  Preconditioner pre;
  Precond_CreateBand(&pre, 1);
  EXPECT_EQ(Apply(pre, empty_column, {1.0, 2.0, 3.0}), (Values{0.25, 2.0, 3.0}));
}

// A pivot that is rounding noise against its column's squared norm (the
// normal matrix of a J of condition 1e8 has condition 1e16) decouples its
// column instead of being divided by, at any scale of J: the apply stays
// finite and positive definite (it was NaN for J of norm 1e12).
TEST_F(PrecondTest, NoisePivotsDecoupleTheirColumn) {
  Values lambda;
  for (int i = 0; i < 14; ++i) lambda.push_back(std::pow(10.0, -8.0 * i / 13.0));
  for (double scale : {1.0, 1e12, 1e-12}) {
    const System s = ScaledMatrix(Spectrum("cond1e8", lambda, 11), scale);
    for (int b : {2, 3, 12}) {
      SCOPED_TRACE("b " + std::to_string(b) + " scale " + std::to_string(scale));
      Preconditioner pre;
      Precond_CreateBand(&pre, b);
      for (int k = 0; k < 3; ++k) {
        Values v(14);
        for (int i = 0; i < 14; ++i) v[i] = std::cos(1.0 + i * (k + 1));
        const Values u = Apply(pre, s.A, v);
        double vu = 0.0;
        for (int i = 0; i < 14; ++i) {
          ASSERT_TRUE(std::isfinite(u[i]));
          vu += v[i] * u[i];
        }
        EXPECT_GT(vu, 0.0);
      }
    }
  }
}

// The band kinds fill the left apply-transpose slot, so the solvers that
// multiply by the transposed operator use the right one and converge.
TEST_F(PrecondTest, BandKindsWorkInTransposedProducts) {
  // (The retained parts of J'J must be positive definite for the band kinds
  // to precondition at all; convection-diffusion's tridiagonal part of J'J
  // is indefinite.)
  System s;
  s.A = SampleJacobian(10);
  s.b = Values(10, 1.0);
  for (int i = 0; i < 10; ++i) s.b[i] += i;
  const Values reference = SolveGeneral(s.A, s.b);
  for (int b : {1, 2, 4}) {
    for (const char* name : {"CG_NE", "CG_NR", "LSQR", "DLSQR", "BCG", "QMR"}) {
      SCOPED_TRACE(std::string(name) + " b " + std::to_string(b));
      Preconditioner pre;
      Precond_CreateBand(&pre, b);
      Iterative_Params p = DefaultParams();
      p.use_preconditioner = 1;
      const Outcome out = Run(SolverNamed(name), s, p, &pre);
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      EXPECT_LE(Distance(out.x, reference), 1e-6 * Norm(reference));
    }
  }
}

}  // namespace
}  // namespace ittest
