// Fixture of the stabilisation, search and crash tests: a started MCP record
// over a test problem, the driver's point and function-Jacobian pair, the
// dense basis back-end, and an independent merit of the problem so that
// results are checked against the problem rather than the code.
#pragma once

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/DenseBasis.hpp"
#include "presolve/MCP_Start.hpp"
#include "problems/FakeMCP.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/SarnOptions.hpp"
#include "fixtures/Problems.hpp"
#include "support/TestSupport.hpp"

class StepFixture : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Basis_SetInterface(DenseBasis_Interface());
  }

  void TearDown() override {
    for (DenseVector* v : vectors_) DenseVector_Destroy(v);
    vectors_.clear();
    if (mcp_ != nullptr) {
      MCP_Destroy(mcp_);
      Workspace_Destroy();
    }
    mcp_ = nullptr;
    LibraryTest::TearDown();
  }

  // Starts a record for the problem (bounds, start point, F defined there)
  // and evaluates F and J at the start point into the pool's pair.
  void Start(const NonlinearProblem& problem) {
    problem_ = problem;
    fake_ = std::make_unique<FakeMCP>(problem, problem.n * problem.n);
    mcp_ = MCP_Create(problem.n, problem.n * problem.n);
    MCP_Interface in = fake_->Interface(false);
    MCP_SetInterface(mcp_, &in);
    ASSERT_EQ(MCP_Start(mcp_), MCP_CONTINUE);
    n_ = MCP_Variables(mcp_);
    Workspace_Create(n_, MCP_Nonzeros(mcp_));
    FJ_ = Workspace_FunctionJacobian();
    x_ = Vector(std::vector<double>(DenseVector_Array(MCP_X(mcp_)),
                                    DenseVector_Array(MCP_X(mcp_)) + n_));
    y_ = Vector(std::vector<double>(n_, 0.0));
    ASSERT_EQ(MCP_Jacobian(mcp_, x_, FJ_), 1);
    MCP_NormalMapPoint(mcp_, y_, x_, FJ_);
  }

  // Moves the driver's point to values and evaluates F and J there.
  void MoveTo(const std::vector<double>& values) {
    for (int i = 0; i < n_; ++i) DenseVector_SetValue(x_, i + 1, values[i]);
    ASSERT_EQ(MCP_Jacobian(mcp_, x_, FJ_), 1);
    MCP_NormalMapPoint(mcp_, y_, x_, FJ_);
  }

  DenseVector* Vector(const std::vector<double>& values) {
    int n = static_cast<int>(values.size());
    DenseVector* v = DenseVector_Create(n > 0 ? n : 1);
    vectors_.push_back(v);
    DenseVector_SetLength(v, n);
    for (int i = 0; i < n; ++i) DenseVector_SetValue(v, i + 1, values[i]);
    return v;
  }

  static std::vector<double> Values(const DenseVector* v) {
    return std::vector<double>(DenseVector_Array(v), DenseVector_Array(v) + DenseVector_Length(v));
  }

  // F of the problem itself at x; empty when undefined.
  std::vector<double> ProblemF(const std::vector<double>& x) const {
    std::vector<double> f(problem_.n);
    if (!problem_.evaluate(x.data(), f.data(), nullptr)) return {};
    return f;
  }

  // Dense Jacobian of the problem (row-major).
  std::vector<double> ProblemJ(const std::vector<double>& x) const {
    std::vector<double> f(problem_.n);
    std::vector<Triplet> entries;
    problem_.evaluate(x.data(), f.data(), &entries);
    std::vector<double> dense(problem_.n * problem_.n, 0.0);
    for (const Triplet& t : entries) dense[t.row * problem_.n + t.col] += t.value;
    return dense;
  }

  // Dense copy of the pair's Jacobian (row-major).
  std::vector<double> PairJ() const { return DenseOf(FunctionJacobian_Jacobian(FJ_)); }

  // Fischer-Burmeister and normal-map residual components of the problem,
  // computed from their definitions.
  static double FB(double a, double b) { return std::sqrt(a * a + b * b) - a - b; }
  double Component(int code, int i, double x, double f) const {
    const double l = problem_.lower[i], u = problem_.upper[i];
    const bool lf = l > -kInf, uf = u < kInf;
    if (code == RESIDUAL_NORMAL_MAP) {
      if ((lf && x == l && f > 0) || (uf && x == u && f < 0)) return 0.0;
      return f;
    }
    if (!lf && !uf) return f;
    if (lf && uf) return FB(x - l, FB(u - x, -f));
    if (lf) return FB(x - l, f);
    return FB(u - x, -f);
  }
  // Two-norm residual of the code at x (NaN where F is undefined).
  double ProblemResidual(int code, const std::vector<double>& x) const {
    std::vector<double> f = ProblemF(x);
    if (f.empty()) return std::nan("");
    double s = 0.0;
    for (int i = 0; i < problem_.n; ++i) {
      double r = Component(code, i, x[i], f[i]);
      s += r * r;
    }
    return std::sqrt(s);
  }
  // The search merit: half the squared residual for a differentiable code,
  // the residual itself for the normal map.
  double ProblemMerit(int code, const std::vector<double>& x) const {
    double r = ProblemResidual(code, x);
    return code == RESIDUAL_NORMAL_MAP ? r : 0.5 * r * r;
  }
  // Central-difference gradient of the merit.
  std::vector<double> ProblemGradient(int code, const std::vector<double>& x) const {
    std::vector<double> g(problem_.n);
    for (int i = 0; i < problem_.n; ++i) {
      std::vector<double> a = x, b = x;
      const double h = 1e-6 * (1.0 + std::fabs(x[i]));
      a[i] += h;
      b[i] -= h;
      g[i] = (ProblemMerit(code, a) - ProblemMerit(code, b)) / (2 * h);
    }
    return g;
  }

  static void SetDouble(int index, double value) { Sarn_OptionTable[index].double_value = value; }
  static void SetInt(int index, int value) { Sarn_OptionTable[index].int_value = value; }
  static void SetBool(int index, bool value) { Sarn_OptionTable[index].bool_value = value ? 1 : 0; }

  NonlinearProblem problem_;
  std::unique_ptr<FakeMCP> fake_;
  MCP* mcp_ = nullptr;
  int n_ = 0;
  FunctionJacobian* FJ_ = nullptr;
  DenseVector* x_ = nullptr;
  DenseVector* y_ = nullptr;

 private:
  std::vector<DenseVector*> vectors_;
};

// A problem from an F given in a few lines: bounds, start point and
// F(x) with its dense Jacobian (row-major); F may refuse a point.
inline NonlinearProblem MakeProblem(
    const std::string& name, std::vector<double> lower, std::vector<double> upper,
    std::vector<double> start,
    std::function<bool(const double* x, double* f, double* jacobian)> evaluate) {
  NonlinearProblem p;
  p.name = name;
  p.n = static_cast<int>(start.size());
  p.lower = std::move(lower);
  p.upper = std::move(upper);
  p.start = std::move(start);
  const int n = p.n;
  p.evaluate = [n, evaluate](const double* x, double* f, std::vector<Triplet>* jac) {
    std::vector<double> dense(n * n, 0.0);
    bool defined = evaluate(x, f, dense.data());
    if (jac != nullptr) {
      jac->clear();
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) jac->push_back({i, j, dense[i * n + j]});
    }
    return defined;
  };
  return p;
}
