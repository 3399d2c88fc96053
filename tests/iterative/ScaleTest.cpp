// Jacobian scaling: the factors of each rule at and around its thresholds,
// the norm rule and its exact undoing, an unknown rule, and the conversions
// before any scaling.
#include <cmath>
#include <string>

#include "IterativeHarness.hpp"
#include "core/Workspace.hpp"
#include "iterative/Scale.hpp"

namespace ittest {
namespace {

const double kFloor = std::pow(std::pow(2.0, -52.0), 2.0 / 3.0);

class ScaleTest : public IterativeTest {
 protected:
  static Values Factors(DenseVector* v) { return Values(v->data, v->data + v->length); }
};

// The diagonal rules on J = diag(d) (0: no stored entry) with a constant
// off-diagonal entry: r_1 from d, rows of J and F scaled, s all ones.
TEST_F(ScaleTest, DiagonalRulesChooseTheRowFactorFromTheDiagonal) {
  const struct {
    std::int32_t type;
    double d;
    double r;
  } cases[] = {
      {SCALE_LARGE_DIAGONAL, 250.0, 0.04},   {SCALE_LARGE_DIAGONAL, -250.0, 0.04},
      {SCALE_LARGE_DIAGONAL, 100.0, 0.1},    {SCALE_LARGE_DIAGONAL, 99.0, 1.0},
      {SCALE_LARGE_DIAGONAL, 0.001, 1.0},    {SCALE_SMALL_DIAGONAL, 0.001, 100.0},
      {SCALE_SMALL_DIAGONAL, 0.01, 10.0},    {SCALE_SMALL_DIAGONAL, 0.02, 1.0},
      {SCALE_SMALL_DIAGONAL, 0.0, kFloor},   {SCALE_SMALL_DIAGONAL, 1e-12, kFloor},
      {SCALE_SMALL_DIAGONAL, 250.0, 1.0},    {SCALE_BOTH_DIAGONAL, 100.0, 0.1},
      {SCALE_BOTH_DIAGONAL, 0.01, 10.0},     {SCALE_BOTH_DIAGONAL, 1.0, 1.0},
      {SCALE_BOTH_DIAGONAL, 0.0, kFloor},    {SCALE_BOTH_DIAGONAL, -0.001, 100.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("type " + std::to_string(c.type) + " d " + std::to_string(c.d));
    Dense J(2, 2);
    J(0, 0) = c.d;
    J(0, 1) = 3.0;
    J(1, 1) = 1.0;
    Matrix A(J);
    Vector F(Values{2.0, 5.0});
    Vector x(Values{1.0, 1.0});
    Scale_Jacobian(c.type, A, F, x);
    const Values r = Factors(Workspace_ScaleVector1());
    EXPECT_DOUBLE_EQ(r[0], c.r);
    EXPECT_EQ(r[1], 1.0);
    EXPECT_EQ(Factors(Workspace_ScaleVector2()), (Values{1.0, 1.0}));
    EXPECT_DOUBLE_EQ(DenseOf(A)[1], 3.0 * c.r);
    EXPECT_DOUBLE_EQ(F.values()[0], 2.0 * c.r);
    EXPECT_EQ(x.values(), (Values{1.0, 1.0}));
  }
}

// Rows by their two-norms (F included), then columns: a row (3, 4) with
// F = 0 gets 0.2, an empty row with F = 0 the factor 1 / floor.
TEST_F(ScaleTest, NormRuleAndItsUndoing) {
  Dense J(3, 3);
  J(0, 0) = 3.0;
  J(0, 2) = 4.0;
  J(2, 1) = 2.0;
  J(2, 2) = -1.0;  // row 2 empty
  Matrix A(J);
  Vector F(Values{0.0, 0.0, 2.0});
  Vector x(Values{1.0, -2.0, 0.5});
  Scale_Jacobian(SCALE_ROW_COL_NORMS, A, F, x);
  const Values r = Factors(Workspace_ScaleVector1());
  EXPECT_DOUBLE_EQ(r[0], 0.2);
  EXPECT_DOUBLE_EQ(r[1], 1.0 / kFloor);
  EXPECT_DOUBLE_EQ(r[2], 1.0 / 3.0);
  // Every column of the scaled J has norm 1.
  const std::vector<double> scaled = DenseOf(A);
  for (int j = 0; j < 3; ++j) {
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) sum += scaled[i * 3 + j] * scaled[i * 3 + j];
    EXPECT_NEAR(sum, 1.0, 1e-15) << j;
  }
  const Values s = Factors(Workspace_ScaleVector2());
  EXPECT_DOUBLE_EQ(x.values()[0], 1.0 / s[0]);
  Scale_Unscale(A, F, x);
  const std::vector<double> back = DenseOf(A);
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(back[k], J.a[k], 1e-15) << k;
  EXPECT_NEAR(F.values()[2], 2.0, 1e-15);
  EXPECT_EQ(F.values()[0], 0.0);
  const Values x_back = x.values();
  EXPECT_NEAR(x_back[0], 1.0, 1e-15);
  EXPECT_NEAR(x_back[1], -2.0, 1e-15);
  EXPECT_NEAR(x_back[2], 0.5, 1e-15);
}

// The conversions use the factors of the last scaling; before any scaling
// they change nothing, whatever the scale vectors hold.
TEST_F(ScaleTest, ConversionsBeforeAnyScalingUseUnitFactors) {
  DenseVector_Fill(Workspace_ScaleVector1(), 2, 7.0);
  DenseVector_Fill(Workspace_ScaleVector2(), 2, std::nan(""));
  Dense J(2, 2);
  J(0, 0) = 2.0;
  J(1, 1) = 3.0;
  Matrix A(J);
  Vector F(Values{1.0, 2.0}), x(Values{3.0, 4.0}), v(Values{5.0, 6.0});
  Scale_Unscale(A, F, x);
  Scale_MulBoth(v);
  Scale_MulFirst(v);
  Scale_DivBoth(v);
  Scale_DivFirst(v);
  EXPECT_EQ(DenseOf(A), J.a);
  EXPECT_EQ(F.values(), (Values{1.0, 2.0}));
  EXPECT_EQ(x.values(), (Values{3.0, 4.0}));
  EXPECT_EQ(v.values(), (Values{5.0, 6.0}));
  // An unknown rule scales nothing either.
  for (std::int32_t type : {4, -1}) {
    Scale_Jacobian(type, A, F, x);
    Scale_MulBoth(v);
    EXPECT_EQ(DenseOf(A), J.a);
    EXPECT_EQ(v.values(), (Values{5.0, 6.0}));
  }
}

TEST_F(ScaleTest, ConversionsApplyTheLastFactors) {
  Dense J(2, 2);
  J(0, 0) = 3.0;
  J(0, 1) = 4.0;
  J(1, 1) = 2.0;
  Matrix A(J);
  Vector F(Values{0.0, 0.0}), x(Values{1.0, 1.0});
  Scale_RowColNorms(A, F, x);
  const Values r = Factors(Workspace_ScaleVector1());
  const Values s = Factors(Workspace_ScaleVector2());
  const struct {
    void (*convert)(DenseVector*);
    double e0, e1;
  } cases[] = {
      {Scale_MulBoth, r[0] * s[0], r[1] * s[1]},
      {Scale_MulFirst, r[0], r[1]},
      {Scale_DivBoth, 1.0 / r[0] / s[0], 1.0 / r[1] / s[1]},
      {Scale_DivFirst, 1.0 / r[0], 1.0 / r[1]},
  };
  for (const auto& c : cases) {
    Vector v(Values{1.0, 1.0});
    c.convert(v);
    EXPECT_DOUBLE_EQ(v.values()[0], c.e0);
    EXPECT_DOUBLE_EQ(v.values()[1], c.e1);
  }
}

TEST_F(ScaleTest, MismatchedSizesAreSolverErrors) {
  Matrix A(Identity(3).A);
  Vector F(Values{1.0, 2.0}), x(Values{1.0, 2.0, 3.0}), x2(Values{1.0, 2.0});
  EXPECT_SOLVER_ERROR(Scale_Jacobian(SCALE_LARGE_DIAGONAL, A, F, x), "Scale: ");
  Matrix B(Identity(2).A);
  EXPECT_SOLVER_ERROR(Scale_RowColNorms(B, F, x), "the point has 3 elements");
  Scale_Jacobian(SCALE_BOTH_DIAGONAL, B, F, x2);
  Vector longer(Values{1.0, 2.0, 3.0});
  EXPECT_SOLVER_ERROR(Scale_MulFirst(longer), "the vector has 3 elements");
}

}  // namespace
}  // namespace ittest
