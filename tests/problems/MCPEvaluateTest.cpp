// Reduced evaluations of the MCP record: F_r and J_r at reduced points,
// checked against the problem itself and against finite differences of
// the reduced F, for plain, fixed-only and transformed numberings.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "presolve/MCP_Start.hpp"
#include "problems/MCPFixture.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Five variables with a nonlinear F. Row 4 has no entry in column 4 (a
// missing diagonal) and column 4 stores an explicit 0.0 in row 3.
int MixedProblem(const double* x, double* f, std::vector<Triplet>* j) {
  f[0] = x[0] * x[0] + x[1] * x[2] - 1.0 + std::sin(x[3]);
  f[1] = std::exp(0.3 * x[0]) + x[1] - 2.0 * x[4];
  f[2] = x[2] * x[2] * x[2] + x[0] * x[1] + x[4];
  f[3] = x[0] * x[4] - x[1] + 2.0;
  f[4] = x[4] - x[2] + x[1] * x[1] + x[3] * x[0];
  if (j != nullptr) {
    *j = {{0, 0, 2.0 * x[0]}, {1, 0, 0.3 * std::exp(0.3 * x[0])}, {2, 0, x[1]},
          {3, 0, x[4]},       {4, 0, x[3]},                        {0, 1, x[2]},
          {1, 1, 1.0},        {2, 1, x[0]},                        {3, 1, -1.0},
          {4, 1, 2.0 * x[1]}, {0, 2, x[1]},                        {2, 2, 3.0 * x[2] * x[2]},
          {4, 2, -1.0},       {0, 3, std::cos(x[3])},              {2, 3, 0.0},
          {4, 3, x[0]},       {1, 4, -2.0},                        {2, 4, 1.0},
          {3, 4, x[0]},       {4, 4, 1.0}};
  }
  return 0;
}
constexpr int kMixedEntries = 20;

// Every diagonal entry (j, j) is stored in column j.
bool StoresEveryDiagonal(FunctionJacobian* pair) {
  const SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  for (int c = 1; c <= SparseMatrix_Cols(J); ++c) {
    bool seen = false;
    int first = IDenseVector_Value(SparseMatrix_ColStart(J), c);
    for (int k = 0; k < IDenseVector_Value(SparseMatrix_ColLen(J), c); ++k) {
      if (IDenseVector_Value(SparseMatrix_RowIndex(J), first + k) == c) seen = true;
    }
    if (!seen) return false;
  }
  return true;
}

struct Layout {
  const char* what;
  std::vector<double> lower, upper;
  bool transform;
  int expected_n_r;
};

class MCPEvaluateTest : public MCPFixture {
 protected:
  // The full point the callbacks should see for reduced point x_r, built
  // from the bounds alone: fixed variables at their bound, free variables
  // (both bounds infinite, with the transform on) at x_r - eta.
  static std::vector<double> FullPoint(const Layout& layout, const std::vector<double>& x_r) {
    std::vector<double> x;
    size_t k = 0;
    double eta = layout.transform ? x_r.back() : 0.0;
    for (size_t i = 0; i < layout.lower.size(); ++i) {
      if (layout.lower[i] == layout.upper[i]) {
        x.push_back(layout.lower[i]);
      } else if (layout.transform && layout.lower[i] == -kInf && layout.upper[i] == kInf) {
        x.push_back(x_r[k++] - eta);
      } else {
        x.push_back(x_r[k++]);
      }
    }
    return x;
  }

  // F_r expected from the problem: the rows of the non-fixed variables and,
  // with the transform, minus the sum of the free rows.
  static std::vector<double> ReducedF(const Layout& layout, const std::vector<double>& x) {
    std::vector<double> f(x.size());
    MixedProblem(x.data(), f.data(), nullptr);
    std::vector<double> f_r;
    double free_sum = 0.0;
    bool any_free = false;
    for (size_t i = 0; i < x.size(); ++i) {
      if (layout.lower[i] == layout.upper[i]) continue;
      f_r.push_back(f[i]);
      if (layout.transform && layout.lower[i] == -kInf && layout.upper[i] == kInf) {
        free_sum += f[i];
        any_free = true;
      }
    }
    if (any_free) f_r.push_back(-free_sum);
    return f_r;
  }
};

const Layout kLayouts[] = {
    {"plain", {-kInf, 0.0, -1.0, -kInf, -1.0}, {kInf, kInf, 2.0, kInf, 2.0}, false, 5},
    {"fixed only", {-kInf, 0.0, 0.5, -kInf, -1.0}, {kInf, kInf, 0.5, kInf, 2.0}, false, 4},
    {"transform", {-kInf, 0.0, -1.0, -kInf, -1.0}, {kInf, kInf, 2.0, kInf, 2.0}, true, 6},
    {"transform and fixed", {-kInf, 0.0, 0.5, -kInf, 2.0}, {kInf, kInf, 0.5, kInf, 2.0}, true, 4},
};

TEST_F(MCPEvaluateTest, ReducedFunctionAndJacobianAgreeWithTheProblem) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.what);
    FakeMCP fake(5, kMixedEntries, MixedProblem);
    fake.lower = layout.lower;
    fake.upper = layout.upper;
    fake.start = {0.3, 0.7, 0.4, -0.2, 0.9};
    MCP* mcp = Make(fake, kMixedEntries);
    MCP_SetFreeVariableTransform(mcp, layout.transform);
    ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
    int n_r = MCP_Variables(mcp);
    ASSERT_EQ(n_r, layout.expected_n_r);

    // A reduced point away from the start, eta included.
    std::vector<double> x_r;
    for (int i = 0; i < n_r; ++i) x_r.push_back(0.2 + 0.15 * i);
    FunctionJacobian* pair = Pair(n_r, MCP_Nonzeros(mcp));
    ASSERT_EQ(MCP_Jacobian(mcp, Vector(x_r), pair), 1);

    std::vector<double> full = FullPoint(layout, x_r);
    EXPECT_EQ(fake.points.back(), full);
    EXPECT_EQ(Values(MCP_FullX(mcp)), full);
    std::vector<double> expected_f = ReducedF(layout, full);
    std::vector<double> f_r = Values(FunctionJacobian_Function(pair));
    ASSERT_EQ(f_r.size(), expected_f.size());
    for (int i = 0; i < n_r; ++i) EXPECT_NEAR(f_r[i], expected_f[i], 1e-14) << i;

    EXPECT_EQ(FunctionJacobian_N(pair), n_r);
    EXPECT_LE(FunctionJacobian_Nnz(pair), MCP_Nonzeros(mcp));
    EXPECT_TRUE(StoresEveryDiagonal(pair));

    // Central differences of the reduced F in every reduced direction.
    std::vector<double> dense = DenseOf(FunctionJacobian_Jacobian(pair));
    FunctionJacobian* probe = Pair(n_r, MCP_Nonzeros(mcp));
    const double h = 1e-6;
    for (int c = 0; c < n_r; ++c) {
      std::vector<double> up = x_r, down = x_r;
      up[c] += h;
      down[c] -= h;
      ASSERT_EQ(MCP_Function(mcp, Vector(up), probe), 1);
      std::vector<double> f_up = Values(FunctionJacobian_Function(probe));
      ASSERT_EQ(MCP_Function(mcp, Vector(down), probe), 1);
      std::vector<double> f_down = Values(FunctionJacobian_Function(probe));
      for (int r = 0; r < n_r; ++r) {
        double difference = (f_up[r] - f_down[r]) / (2.0 * h);
        EXPECT_NEAR(dense[r * n_r + c], difference, 1e-7) << "entry " << r + 1 << "," << c + 1;
      }
    }
  }
}

TEST_F(MCPEvaluateTest, PlainGatherKeepsStoredZerosAndAddsMissingDiagonals) {
  FakeMCP fake(5, kMixedEntries, MixedProblem);
  MCP* mcp = Make(fake, kMixedEntries);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  FunctionJacobian* pair = Pair(5, MCP_Nonzeros(mcp));
  ASSERT_EQ(MCP_Jacobian(mcp, Vector({0.1, 0.2, 0.3, 0.4, 0.5}), pair), 1);
  // All 20 entries (the explicit zero included) plus the missing (4, 4).
  EXPECT_EQ(FunctionJacobian_Nnz(pair), kMixedEntries + 1);
}

TEST_F(MCPEvaluateTest, TransformJacobianOfTwoVariables) {
  // F1 = 2 x1 + 3 x2, F2 = 5 x1; x1 free, x2 bounded; J22 is not stored.
  FakeMCP fake(2, 3, [](const double* x, double* f, std::vector<Triplet>* j) {
    f[0] = 2.0 * x[0] + 3.0 * x[1];
    f[1] = 5.0 * x[0];
    if (j) *j = {{0, 0, 2.0}, {1, 0, 5.0}, {0, 1, 3.0}};
    return 0;
  });
  fake.lower = {-kInf, 0.0};
  fake.upper = {kInf, 4.0};
  MCP* mcp = Make(fake, 3);
  MCP_SetFreeVariableTransform(mcp, 1);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  ASSERT_EQ(MCP_Variables(mcp), 3);

  FunctionJacobian* pair = Pair(3, MCP_Nonzeros(mcp));
  ASSERT_EQ(MCP_Jacobian(mcp, Vector({2.0, 1.0, 0.5}), pair), 1);
  EXPECT_EQ(fake.points.back(), (std::vector<double>{1.5, 1.0}));
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), (std::vector<double>{6.0, 7.5, -6.0}));

  const SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  // Stored order: column 1 (2, 5, -2), column 2 (3, -3, filler 0),
  // column 3 (-2, -5, corner 2).
  EXPECT_EQ(Values(SparseMatrix_ColStart(J)), (std::vector<int>{1, 4, 7}));
  EXPECT_EQ(Values(SparseMatrix_ColLen(J)), (std::vector<int>{3, 3, 3}));
  EXPECT_EQ(Values(SparseMatrix_RowIndex(J)), (std::vector<int>{1, 2, 3, 1, 3, 2, 1, 2, 3}));
  EXPECT_EQ(Values(SparseMatrix_Values(J)),
            (std::vector<double>{2.0, 5.0, -2.0, 3.0, -3.0, 0.0, -2.0, -5.0, 2.0}));
}

TEST_F(MCPEvaluateTest, TransformDropsStoredZerosAndKeepsNaN) {
  FakeMCP fake(2, 4, [](const double* x, double* f, std::vector<Triplet>* j) {
    f[0] = x[0];
    f[1] = x[1];
    if (j) *j = {{0, 0, 1.0}, {1, 0, 0.0}, {0, 1, kNaN}, {1, 1, 1.0}};
    return 0;
  });
  fake.lower = {-kInf, 0.0};
  fake.upper = {kInf, 1.0};
  MCP* mcp = Make(fake, 4);
  MCP_SetFreeVariableTransform(mcp, 1);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  FunctionJacobian* pair = Pair(3, MCP_Nonzeros(mcp));
  MCP_Jacobian(mcp, Vector({1.0, 0.5, 0.0}), pair);
  const SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  // Column 1 loses the stored zero in row 2: (1, 1.0), (3, -1.0).
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColLen(J), 1), 2);
  // Column 2 keeps the NaN in row 1 and its NaN sum in the "eta" row.
  int first = IDenseVector_Value(SparseMatrix_ColStart(J), 2);
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_ColLen(J), 2), 3);
  EXPECT_TRUE(std::isnan(DenseVector_Value(SparseMatrix_Values(J), first)));
  EXPECT_EQ(IDenseVector_Value(SparseMatrix_RowIndex(J), first + 2), 3);
}

TEST_F(MCPEvaluateTest, DomainErrorsGiveZeroButStillGather) {
  FakeMCP fake(2, 2, [](const double* x, double* f, std::vector<Triplet>* j) {
    f[0] = x[0] + 1.0;
    f[1] = x[1] + 2.0;
    if (j) *j = {{0, 0, 1.0}, {1, 1, 1.0}};
    return x[0] > 5.0 ? 2 : 0;
  });
  MCP* mcp = Make(fake, 2);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  FunctionJacobian* pair = Pair(2, MCP_Nonzeros(mcp));
  EXPECT_EQ(MCP_Function(mcp, Vector({6.0, 1.0}), pair), 0);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), (std::vector<double>{7.0, 3.0}));
  EXPECT_EQ(MCP_Jacobian(mcp, Vector({7.0, 1.0}), pair), 0);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), (std::vector<double>{8.0, 3.0}));
  EXPECT_EQ(FunctionJacobian_Nnz(pair), 2);
  EXPECT_EQ(MCP_Jacobian(mcp, Vector({1.0, 1.0}), pair), 1);
}

// Second function theta(x) = x1^2 + 3 x2 x3 with its gradient.
struct Theta {
  int calls = 0;
  int errors = 0;
  static int Evaluate(void* data, int, const double* x, int, double* value, double* g) {
    Theta* self = static_cast<Theta*>(data);
    self->calls += 1;
    *value = x[0] * x[0] + 3.0 * x[1] * x[2];
    g[0] = 2.0 * x[0];
    g[1] = 3.0 * x[2];
    g[2] = 3.0 * x[1];
    return self->errors;
  }
};

TEST_F(MCPEvaluateTest, SecondFunctionGradientFollowsTheReducedNumbering) {
  FakeMCP fake(3, 3, ShiftedIdentity({0.0, 0.0, 0.0}));
  fake.lower = {-kInf, 2.0, 0.0};
  fake.upper = {kInf, 2.0, 5.0};  // x2 fixed at 2, x1 free
  MCP* mcp = Make(fake, 3);
  Theta theta;
  MCP_SecondFunctionInterface second{};
  second.data = &theta;
  second.function_evaluation = &Theta::Evaluate;
  MCP_SetSecondFunctionInterface(mcp, &second);
  MCP_SetFreeVariableTransform(mcp, 1);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  ASSERT_EQ(MCP_Variables(mcp), 3);  // x1', x3, eta

  FunctionJacobian* pair = Pair(3, MCP_Nonzeros(mcp));
  ASSERT_EQ(MCP_Function(mcp, Vector({4.0, 1.5, 1.0}), pair), 1);
  // Full point (3, 2, 1.5): theta = 9 + 9, gradient (6, 4.5, 6).
  EXPECT_EQ(MCP_SecondFunctionValue(mcp), 18.0);
  EXPECT_EQ(Values(MCP_SecondFunctionF(mcp)), (std::vector<double>{6.0, 4.5, 6.0}));
  // Reduced: (6, 6) and, along eta, minus the free variable's entry.
  EXPECT_EQ(Values(MCP_SecondFunctionWork(mcp)), (std::vector<double>{6.0, 6.0, -6.0}));

  theta.errors = 1;
  EXPECT_EQ(MCP_Jacobian(mcp, Vector({4.0, 1.5, 1.0}), pair), 0);
}

TEST_F(MCPEvaluateTest, RefusesAPairTooSmallForTheReducedProblem) {
  FakeMCP fake(3, 3, ShiftedIdentity({0.0, 0.0, 0.0}));
  MCP* mcp = Make(fake, 3);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_SOLVER_ERROR(MCP_Function(mcp, Vector({1.0, 1.0, 1.0}), Pair(2, 6)), "room for 3");
  EXPECT_SOLVER_ERROR(MCP_Jacobian(mcp, Vector({1.0, 1.0}), Pair(3, 6)), "room for 3");
  // Entry room below what the Jacobian needs.
  EXPECT_SOLVER_ERROR(MCP_Jacobian(mcp, Vector({1.0, 1.0, 1.0}), Pair(3, 2)), "capacity");
}

TEST_F(MCPEvaluateTest, EvaluationBeforeAStartIsRefused) {
  FakeMCP fake(2, 2, ShiftedIdentity({0.0, 0.0}));
  MCP* mcp = Make(fake, 2);
  EXPECT_SOLVER_ERROR(MCP_Function(mcp, Vector({1.0, 1.0}), Pair(2, 4)), "not been started");
}

}  // namespace
