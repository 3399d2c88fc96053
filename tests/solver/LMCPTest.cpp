// The linearised problem: M = R J C + D and q = R F - M x' under every
// scaling rule and the proximal perturbation, the bounds, the map of the
// solution back to the problem's own terms, and the Newton-point helpers.
#include <cmath>
#include <array>
#include <functional>
#include <memory>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/LCP.hpp"
#include "solver/LMCP.hpp"
#include "solver/SarnOptions.hpp"
#include "tests/solver/DriverFixture.hpp"

using namespace driver_test;

namespace {

constexpr int kN = 3;
using Dense = std::array<std::array<double, kN>, kN>;

// The fixture's linearisation point. Variable 1 is free with J_11 = -250,
// variable 2 is boxed and its column has no stored diagonal entry, variable 3
// is bounded below with J_33 = 150; J_32 is stored as 0.0.
struct Linearisation {
  std::vector<double> l = {-kInf, -1.0, 0.5};
  std::vector<double> u = {kInf, 2.0, kInf};
  std::vector<double> x = {0.3, 0.25, 1.5};
  std::vector<double> F = {-2.0, 0.75, 3.0};
  // Stored entries (row, column, value), 0-based, in column order.
  std::vector<Triplet> J = {{0, 0, -250.0}, {1, 0, 2.0}, {2, 0, 1.0}, {0, 1, 1.0},
                            {2, 1, 0.0},    {1, 2, 4.0}, {2, 2, 150.0}};
  Dense dense() const {
    Dense d{};
    for (const Triplet& t : J) d[t.row][t.col] = t.value;
    return d;
  }
};

NonlinearProblem BoundsOnly(const Linearisation& lin) {
  NonlinearProblem p;
  p.name = "bounds only";
  p.n = kN;
  p.lower = lin.l;
  p.upper = lin.u;
  p.start = lin.x;
  p.evaluate = [](const double* x, double* f, std::vector<Triplet>* jac) {
    for (int i = 0; i < kN; ++i) f[i] = x[i];
    if (jac) *jac = {{0, 0, 1.0}, {1, 1, 1.0}, {2, 2, 1.0}};
    return true;
  };
  return p;
}

// Expected scale factors of each rule, computed from the dense J and F.
struct Scales {
  std::vector<double> R = std::vector<double>(kN, 1.0);
  std::vector<double> C = std::vector<double>(kN, 1.0);
  bool row = false;
  bool column = false;
};

double Floor() { return std::pow(2.220446049250313e-16, 2.0 / 3.0); }
double RootOfAtLeast(double s) { return std::sqrt(s > Floor() ? s : Floor()); }

double RowSquares(const Dense& J, int i) {
  double s = 0.0;
  for (int j = 0; j < kN; ++j) s += J[i][j] * J[i][j];
  return s;
}

std::vector<double> RowRule(const Dense& J, const std::vector<double>& F) {
  std::vector<double> R(kN);
  for (int i = 0; i < kN; ++i) R[i] = 1.0 / RootOfAtLeast(RowSquares(J, i) + F[i] * F[i]);
  return R;
}

std::vector<double> ColumnRule(const Dense& J, const std::vector<double>& R) {
  std::vector<double> C(kN);
  for (int j = 0; j < kN; ++j) {
    double s = 0.0;
    for (int i = 0; i < kN; ++i) s += (R[i] * J[i][j]) * (R[i] * J[i][j]);
    C[j] = 1.0 / RootOfAtLeast(s);
  }
  return C;
}

struct ScaleCase {
  const char* method;
  std::function<Scales(const Linearisation&)> expected;
};

std::vector<ScaleCase> ScaleCases() {
  auto diagonal = [](std::vector<bool> rows) {
    return [rows](const Linearisation& lin) {
      Scales s;
      const Dense J = lin.dense();
      for (int i = 0; i < kN; ++i) {
        if (rows[i] && std::fabs(J[i][i]) >= 100.0) {
          s.R[i] = 10.0 / std::fabs(J[i][i]);
          s.row = true;
        }
      }
      return s;
    };
  };
  auto row_squares = [](std::function<double(double)> rule) {
    return [rule](const Linearisation& lin) {
      Scales s;
      for (int i = 0; i < kN; ++i) s.R[i] = rule(RowSquares(lin.dense(), i));
      s.row = true;
      return s;
    };
  };
  return {
      {"none", [](const Linearisation&) { return Scales{}; }},
      // Only variable 1 is free: R_1 = 10/250.
      {"kelm", diagonal({true, false, false})},
      // Only bounded variables: row 3.
      {"chen", diagonal({false, true, true})},
      {"diagonal", diagonal({true, true, true})},
      {"row",
       [](const Linearisation& lin) {
         Scales s;
         s.R = RowRule(lin.dense(), lin.F);
         s.row = true;
         return s;
       }},
      {"col",
       [](const Linearisation& lin) {
         Scales s;
         s.C = ColumnRule(lin.dense(), s.R);
         s.column = true;
         return s;
       }},
      {"both",
       [](const Linearisation& lin) {
         Scales s;
         s.R = RowRule(lin.dense(), lin.F);
         s.C = ColumnRule(lin.dense(), s.R);
         s.row = s.column = true;
         return s;
       }},
      {"symmetric",
       [](const Linearisation& lin) {
         Scales s;
         const std::vector<double> a = RowRule(lin.dense(), lin.F);
         const std::vector<double> b = ColumnRule(lin.dense(), std::vector<double>(kN, 1.0));
         for (int i = 0; i < kN; ++i) s.R[i] = s.C[i] = (a[i] + b[i]) / 2.0;
         s.row = s.column = true;
         return s;
       }},
      {"ro1", row_squares([](double q) { return 1.0 / RootOfAtLeast(q); })},
      {"ro2", row_squares([](double q) {
         return q >= 100.0 ? 100.0 / std::sqrt(q) : q < 0.0001 ? 1.0 : 1.0 / std::sqrt(q);
       })},
      {"ro3", row_squares([](double q) { return q >= 100.0 ? 100.0 / std::sqrt(q) : 1.0; })},
      {"ro4",
       [](const Linearisation& lin) {
         Scales s;
         const Dense J = lin.dense();
         for (int i = 0; i < kN; ++i) {
           double v = std::fabs(lin.F[i]);
           for (int j = 0; j < kN; ++j) v = std::fabs(J[i][j]) > v ? std::fabs(J[i][j]) : v;
           s.R[i] = v < 1e-6 ? 1e6 : 1.0 / v;
         }
         s.row = true;
         return s;
       }},
  };
}

}  // namespace

class LMCPTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    adapter_ = std::make_unique<ProblemAdapter>(BoundsOnly(lin_));
    ASSERT_EQ(Sarn_Start(adapter_->mcp()), MCP_CONTINUE);
    ws_ = Sarn_GetWorkspace();
    LCP_SetInterface(LMCP_Interface());
    Load(lin_);
  }
  void TearDown() override {
    Sarn_DestroyWorkspace();
    adapter_.reset();
    LCP_SetInterface(nullptr);
    DriverTest::TearDown();
  }

  // The point x and F, J at it, as the driver leaves them before a Lemke call.
  void Load(const Linearisation& lin) {
    for (int i = 0; i < kN; ++i) DenseVector_SetValue(ws_->x, i + 1, lin.x[i]);
    DenseVector_SetLength(ws_->x, kN);
    FunctionJacobian* pair = Workspace_FunctionJacobian();
    FunctionJacobian_SetN(pair, kN);
    DenseVector* F = FunctionJacobian_Function(pair);
    for (int i = 0; i < kN; ++i) DenseVector_SetValue(F, i + 1, lin.F[i]);
    SparseMatrix* J = FunctionJacobian_Jacobian(pair);
    int* start = IDenseVector_Array(SparseMatrix_ColStart(J));
    int* length = IDenseVector_Array(SparseMatrix_ColLen(J));
    int* row = IDenseVector_Array(SparseMatrix_RowIndex(J));
    double* value = DenseVector_Array(SparseMatrix_Values(J));
    SparseMatrix_SetSize(J, kN, kN, static_cast<int>(lin.J.size()));
    SparseMatrix_SetFlags(J, 0);
    for (int j = 0; j < kN; ++j) length[j] = 0;
    int k = 0;
    for (const Triplet& t : lin.J) {
      if (length[t.col] == 0) start[t.col] = k + 1;
      row[k] = t.row + 1;
      value[k] = t.value;
      length[t.col] += 1;
      ++k;
    }
    FunctionJacobian_SetNnz(pair, k);
  }

  // Runs the LCP start through the installed table and returns M as dense.
  Dense StartAndReadM() {
    EXPECT_EQ(LCP_Start(ws_->lcp, 0), LCP_STARTED);
    Dense M{};
    SparseMatrix* A = LCP_UserM(ws_->lcp);
    const int* start = IDenseVector_Array(SparseMatrix_ColStart(A));
    const int* length = IDenseVector_Array(SparseMatrix_ColLen(A));
    const int* row = IDenseVector_Array(SparseMatrix_RowIndex(A));
    const double* value = DenseVector_Array(SparseMatrix_Values(A));
    stored_ = 0;
    diagonal_stored_.assign(kN, false);
    for (int j = 0; j < kN; ++j) {
      for (int p = start[j] - 1; p < start[j] - 1 + length[j]; ++p) {
        M[row[p] - 1][j] = value[p];
        if (row[p] - 1 == j) diagonal_stored_[j] = true;
        ++stored_;
      }
    }
    return M;
  }

  Linearisation lin_;
  std::unique_ptr<ProblemAdapter> adapter_;
  DriverWorkspace* ws_ = nullptr;
  int stored_ = 0;
  std::vector<bool> diagonal_stored_;
};

TEST_F(LMCPTest, EveryScalingRuleBuildsTheScaledModel) {
  for (double p : {0.0, 0.5}) {
    for (const ScaleCase& c : ScaleCases()) {
      SCOPED_TRACE(std::string(c.method) + (p > 0 ? " perturbed" : ""));
      Set((std::string("linear_scale_method ") + c.method).c_str());
      Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].double_value = p;
      const Scales s = c.expected(lin_);
      const Dense M = StartAndReadM();
      LMCP* lmcp = ws_->lmcp;
      EXPECT_EQ(lmcp->row_scaled, s.row ? 1 : 0);
      EXPECT_EQ(lmcp->column_scaled, s.column ? 1 : 0);
      EXPECT_EQ(lmcp->perturbed, p > 0 ? 1 : 0);

      // M = R J C + D, every diagonal present, the stored zero J_32 dropped.
      const Dense J = lin_.dense();
      std::vector<double> xs(kN), D(kN);
      for (int j = 0; j < kN; ++j) {
        EXPECT_DOUBLE_EQ(DenseVector_Value(lmcp->R, j + 1), s.R[j]);
        EXPECT_DOUBLE_EQ(DenseVector_Value(lmcp->C, j + 1), s.C[j]);
        xs[j] = lin_.x[j] / s.C[j];
        D[j] = p * s.C[j];
        EXPECT_TRUE(diagonal_stored_[j]);
        for (int i = 0; i < kN; ++i) {
          const double expected = s.R[i] * J[i][j] * s.C[j] + (i == j ? D[j] : 0.0);
          EXPECT_NEAR(M[i][j], expected, 1e-14 * (1.0 + std::fabs(expected))) << i << "," << j;
        }
      }
      EXPECT_EQ(stored_, 7);  // six non-zero entries of J and the missing diagonal (2, 2)

      // q = R F - M x', so that M x' + q = R F (the model at x is F).
      const double* q = DenseVector_Array(LCP_UserQ(ws_->lcp));
      for (int i = 0; i < kN; ++i) {
        double Mx = 0.0;
        for (int j = 0; j < kN; ++j) Mx += M[i][j] * xs[j];
        EXPECT_NEAR(q[i], s.R[i] * lin_.F[i] - Mx, 1e-12);
        EXPECT_NEAR(Mx + q[i], s.R[i] * lin_.F[i], 1e-12);
        EXPECT_DOUBLE_EQ(DenseVector_Value(LCP_UserStartF(ws_->lcp), i + 1), s.R[i] * lin_.F[i]);
      }

      // Bounds and start in scaled terms (infinite bounds stay infinite).
      for (int i = 0; i < kN; ++i) {
        const double lo = lin_.l[i] > -kInf ? lin_.l[i] / s.C[i] : -kInf;
        const double hi = lin_.u[i] < kInf ? lin_.u[i] / s.C[i] : kInf;
        EXPECT_DOUBLE_EQ(DenseVector_Value(LCP_UserLower(ws_->lcp), i + 1), lo);
        EXPECT_DOUBLE_EQ(DenseVector_Value(LCP_UserUpper(ws_->lcp), i + 1), hi);
        EXPECT_DOUBLE_EQ(DenseVector_Value(LCP_UserX(ws_->lcp), i + 1), xs[i]);
      }
    }
  }
}

TEST_F(LMCPTest, KelmScalesOnlyFreeRowsWithLargeDiagonals) {
  Set("linear_scale_method kelm");
  StartAndReadM();
  EXPECT_DOUBLE_EQ(DenseVector_Value(ws_->lmcp->R, 1), 0.04);
  // With every variable bounded nothing is scaled.
  Options_Default(options());
  Set("linear_scale_method kelm");
  Sarn_DestroyWorkspace();
  lin_.l[0] = -5.0;
  adapter_ = std::make_unique<ProblemAdapter>(BoundsOnly(lin_));
  ASSERT_EQ(Sarn_Start(adapter_->mcp()), MCP_CONTINUE);
  ws_ = Sarn_GetWorkspace();
  Load(lin_);
  StartAndReadM();
  EXPECT_EQ(ws_->lmcp->row_scaled, 0);
  for (int i = 1; i <= kN; ++i) EXPECT_EQ(DenseVector_Value(ws_->lmcp->R, i), 1.0);
}

TEST_F(LMCPTest, FinishMapsTheSolutionBackAndFeedsTheNewtonHelpers) {
  for (const char* method : {"none", "both", "symmetric", "col"}) {
    SCOPED_TRACE(method);
    Set((std::string("linear_scale_method ") + method).c_str());
    const double p = 0.25;
    Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].double_value = p;
    StartAndReadM();
    LMCP* lmcp = ws_->lmcp;
    const double* sl = DenseVector_Array(LCP_UserLower(ws_->lcp));
    const double* su = DenseVector_Array(LCP_UserUpper(ws_->lcp));
    const double C2 = DenseVector_Value(lmcp->C, 2);
    // A solution with variable 2 exactly at its scaled upper bound, variable
    // 3 exactly at its scaled lower bound, variable 1 inside.
    const double zs[kN] = {0.7, su[1], sl[2]};
    LMCP_Finish(nullptr, zs);
    const std::vector<double> z = {0.7 * DenseVector_Value(lmcp->C, 1), lin_.u[1], lin_.l[2]};
    EXPECT_DOUBLE_EQ(DenseVector_Value(lmcp->point, 1), z[0]);
    EXPECT_EQ(DenseVector_Value(lmcp->point, 2), 2.0);  // the bound itself, not a product
    EXPECT_EQ(DenseVector_Value(lmcp->point, 3), 0.5);
    (void)C2;

    // The helpers hand out z and the normal-map point of the unscaled model
    // w = F + J d + (p / R) d.
    DenseVector* newton = DenseVector_Create(kN);
    DenseVector* normal = DenseVector_Create(kN);
    Sarn_NewtonPoint(ws_->lcp, newton);
    Sarn_NewtonNormalPoint(ws_->lcp, normal);
    const Dense J = lin_.dense();
    for (int i = 0; i < kN; ++i) {
      EXPECT_EQ(DenseVector_Value(newton, i + 1), DenseVector_Value(lmcp->point, i + 1));
      double w = lin_.F[i];
      for (int j = 0; j < kN; ++j) w += J[i][j] * (z[j] - lin_.x[j]);
      w += p / DenseVector_Value(lmcp->R, i + 1) * (z[i] - lin_.x[i]);
      double y = z[i];
      if (lin_.l[i] >= z[i] && w > 0.0) y = lin_.l[i] - w;
      if (z[i] >= lin_.u[i] && w < 0.0) y = lin_.u[i] - w;
      EXPECT_NEAR(DenseVector_Value(normal, i + 1), y, 1e-9) << i;
      EXPECT_NEAR(DenseVector_Value(ws_->direction, i + 1), z[i] - lin_.x[i], 1e-15);
    }
    DenseVector_Destroy(newton);
    DenseVector_Destroy(normal);
  }
}

TEST_F(LMCPTest, ModelWithoutPerturbationIsTheNewtonModel) {
  Set("linear_scale_method diagonal");
  StartAndReadM();
  const double zs[kN] = {0.1, 0.0, 0.9};
  LMCP_Finish(nullptr, zs);
  // Nothing at a bound: the normal-map point is z itself.
  for (int i = 0; i < kN; ++i) EXPECT_EQ(DenseVector_Value(ws_->lmcp->model, i + 1), zs[i]);
}

TEST_F(LMCPTest, MatrixBeyondItsRoomIsRefused) {
  Set("linear_scale_method none");
  LMCP_Start(nullptr);
  std::vector<int> start(kN), length(kN);
  for (int room : {0, 3, 6}) {
    SCOPED_TRACE(room);
    std::vector<int> row(room + 1, -7);
    std::vector<double> value(room + 1, -7.0);
    std::vector<double> q(kN);
    int nnz = room;
    EXPECT_SOLVER_ERROR(LMCP_Matrix(nullptr, kN, &nnz, start.data(), length.data(), row.data(),
                                    value.data(), q.data()),
                        "Too small.");
    EXPECT_EQ(row[room], -7);  // nothing written past the room
  }
  int nnz = 7;
  std::vector<int> row(7);
  std::vector<double> value(7), q(kN);
  LMCP_Matrix(nullptr, kN, &nnz, start.data(), length.data(), row.data(), value.data(), q.data());
  EXPECT_EQ(nnz, 7);
}

TEST_F(LMCPTest, ScalingAndPerturbationApplyOncePerStart) {
  Set("linear_scale_method row");
  Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].double_value = 0.5;
  LMCP_Start(nullptr);
  const double R1 = DenseVector_Value(ws_->lmcp->R, 1);
  output()->Clear();
  LMCP_Scale(ws_->lmcp);
  LMCP_Perturb(ws_->lmcp);
  EXPECT_NE(output()->status().find("LMCP Already scaled.\n"), std::string::npos);
  EXPECT_NE(output()->status().find("LMCP already perturbed.\n"), std::string::npos);
  EXPECT_EQ(DenseVector_Value(ws_->lmcp->R, 1), R1);
  // A new start clears the flags and builds both again without a warning.
  output()->Clear();
  LMCP_Start(nullptr);
  EXPECT_EQ(output()->status(), "");
  EXPECT_EQ(ws_->lmcp->row_scaled, 1);
  EXPECT_EQ(ws_->lmcp->perturbed, 1);
}
