// Incomplete LU: an exact factor at the default drop tolerance (checked
// against LAPACK and inside every solver), the adaptation of the drop
// tolerance and the perturbation over the attempts and across solves, and
// the caller's matrix and factorization_small_tolerance left as they were.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "IterativeHarness.hpp"
#include "core/Options.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/FactorizationOptions.hpp"

namespace ittest {
namespace {

double& DropTolerance() { return Options_CommonTable[COMMON_ILU_DROP_TOLERANCE].double_value; }
double& Perturbation() { return Options_CommonTable[COMMON_ILU_PERTURBATION].double_value; }
double& SmallTolerance() {
  return Factorization_OptionTable[FACTORIZATION_SMALL_TOLERANCE].double_value;
}

// A basis back-end that answers factor with scripted statuses (the last one
// repeats) and records the small tolerance in force at each factor.
struct ScriptedBackend {
  explicit ScriptedBackend(std::vector<int> s) : statuses(std::move(s)) {}
  std::vector<int> statuses;
  std::vector<double> small_tolerance_seen;
  int calls = 0;
};
ScriptedBackend* script = nullptr;
int handle = 0;

Basis_Interface ScriptedTable() {
  Basis_Interface t = {};
  t.create = [](std::int32_t, std::int32_t, std::int32_t) -> void* { return &handle; };
  t.destroy = [](void*) {};
  t.size = [](void*, std::int32_t, std::int32_t, std::int32_t) {};
  t.factor = [](void*, SparseMatrix*, IDenseVector*) {
    script->small_tolerance_seen.push_back(SmallTolerance());
    const size_t k = static_cast<size_t>(script->calls++);
    return script->statuses[k < script->statuses.size() ? k : script->statuses.size() - 1];
  };
  t.solve = [](void*, DenseVector* x, DenseVector* b) {
    DenseVector_CloneFull(x, b);
    DenseVector_Scale(x, x, 2.0);
    return 0;
  };
  t.solveT = t.solve;
  return t;
}

class ILUTest : public IterativeTest {
 protected:
  void UseScript(ScriptedBackend* s) {
    script = s;
    table_ = ScriptedTable();
    Basis_SetInterface(&table_);
  }
  Basis_Interface table_{};
};

// ---------------------------------------------------------------------------
// Exact factor

// At the default drop tolerance the factor is exact, for vectors of any
// size: the basis drops values below its small tolerance, an absolute
// bound, from a solve, so the apply solves for the vector scaled to 1 (a
// vector of magnitude 1e-16 came back as 0, and CG then broke down on
// r'z = 0 at a relative residual of 1e-7 when b was 1e-9).
TEST_F(ILUTest, DefaultDropToleranceGivesAnExactFactor) {
  for (const System& s : {ConvectionDiffusion(8, 0.3), Swap()}) {
    Matrix A(s.A);
    Precond_ILUSetup(A);
    for (double magnitude : {1.0, 1e-12, 1e-16, 1e-30}) {
      SCOPED_TRACE(s.name + " magnitude " + std::to_string(magnitude));
      const Values v = {1.0, -2.0, 0.5, 3.0, 0.0, 1.0, -1.0, 2.0};
      Values w(v.begin(), v.begin() + s.A.rows);
      for (double& e : w) e *= magnitude;
      Vector x(w), y(w);
      Precond_ILUApply(x);
      Precond_ILUApplyT(y);
      EXPECT_LE(Distance(x.values(), SolveGeneral(s.A, w)), 1e-13 * Norm(w));
      EXPECT_LE(Distance(y.values(), SolveTransposed(s.A, w)), 1e-13 * Norm(w));
    }
    Precond_ILUFinish();
  }
}

// A vector that is not finite (a product that overflowed) stays so: the
// apply turned a NaN into 0, which CG_NR with the incomplete LU on both
// sides took for a solution at 2^-500.
TEST_F(ILUTest, VectorThatIsNotFiniteStaysNotFinite) {
  const System s = ConvectionDiffusion(4, 0.3);
  Matrix A(s.A);
  Precond_ILUSetup(A);
  for (double bad : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
    SCOPED_TRACE("element " + std::to_string(bad));
    for (auto apply : {Precond_ILUApply, Precond_ILUApplyT}) {
      Vector v({1.0, bad, 0.5, 2.0});
      apply(v);
      bool finite = true;
      for (double e : v.values()) finite = finite && std::isfinite(e);
      EXPECT_FALSE(finite);
    }
  }
  Precond_ILUFinish();
}

// The basis's tolerances are absolute: the factor is of the matrix brought
// to unit scale by a power of two, so a well-conditioned matrix of any scale
// is factored at the first attempt, exactly, without a perturbation (at
// 1e-20 every pivot was below the small tolerance: "singular", and the
// factor was that of J + I, close to the identity), and a solver takes the
// steps it takes at unit scale.
TEST_F(ILUTest, MatrixFarFromUnitScaleIsFactoredAsAtUnitScale) {
  const System unit = ConvectionDiffusion(8, 0.3);
  Iterative_Params p = DefaultParams();
  p.use_preconditioner = 1;
  Preconditioner pre;
  Precond_CreateILULeft(&pre);
  const Outcome at_unit = Run(SolverNamed("BICGSTAB"), unit, p, &pre);
  for (double scale : {1e-20, 1e20, 1e-100, 1e100}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    const System s = ScaledMatrix(unit, scale);
    Matrix A(s.A);
    output()->Clear();
    Precond_ILUSetup(A);
    EXPECT_EQ(output()->log(),
              "Drop tolerance: 8.1620e-15\nPerturbation  : 0.0000e+00\nILU Factor: 0\n");
    const Values w = {1.0, -2.0, 0.5, 3.0, 0.0, 1.0, -1.0, 2.0};
    Vector x(w), y(w);
    Precond_ILUApply(x);
    Precond_ILUApplyT(y);
    const Values reference = SolveGeneral(s.A, w);
    EXPECT_LE(Distance(x.values(), reference), 1e-13 * Norm(reference));
    EXPECT_LE(Distance(y.values(), SolveTransposed(s.A, w)), 1e-13 * Norm(reference));
    Precond_ILUFinish();
    const Outcome out = Run(SolverNamed("BICGSTAB"), s, p, &pre);
    EXPECT_EQ(out.params.termination, at_unit.params.termination);
    EXPECT_EQ(out.params.iterations, at_unit.params.iterations);
    EXPECT_LE(Distance(out.x, SolveGeneral(s.A, s.b)), 1e-9 * Norm(out.x));
  }
}

// With L A = I (or A R = I) every solver is done in a step or two.
TEST_F(ILUTest, EverySolverConvergesAtOnceWithAnExactFactor) {
  const System spd = Tridiagonal(12, -1.0, 2.0, -1.0);
  const System general = ConvectionDiffusion(12, 0.3);
  for (const Solver& solver : AllSolvers()) {
    const std::string name = solver.name;
    const bool residual_form = name == "CG" || name == "CR";
    for (bool left : {true, false}) {
      // CG and CR precondition the residual: one side is enough.
      if (residual_form && !left) continue;
      SCOPED_TRACE(name + (left ? " left" : " right"));
      Preconditioner pre;
      if (left) {
        Precond_CreateILULeft(&pre);
      } else {
        Precond_CreateILURight(&pre);
      }
      Iterative_Params p = DefaultParams();
      p.use_preconditioner = 1;
      const System& s = residual_form ? spd : general;
      const Outcome out = Run(solver, s, p, &pre);
      EXPECT_EQ(out.params.termination, ITERATIVE_SOLVED);
      EXPECT_LE(out.params.iterations, name == "GMRES" ? 3 : 2);
      const Values reference = SolveGeneral(s.A, s.b);
      EXPECT_LE(Distance(out.x, reference), 1e-9 * Norm(reference));
    }
  }
}

// ---------------------------------------------------------------------------
// Perturbation

// A singular J is factored again with its diagonal raised; the caller's
// matrix stays exactly as it was, even without stored diagonal entries.
TEST_F(ILUTest, PerturbationWorksOnACopyOfTheMatrix) {
  Dense J(3, 3);  // rank 1 and no diagonal entry in column 1
  J(1, 0) = 1e-20;
  J(0, 1) = 1.0;
  J(0, 2) = 1.0;
  Matrix A(J);
  const Values values_before(SparseMatrix_Values(A)->data,
                             SparseMatrix_Values(A)->data + SparseMatrix_NNZ(A));
  const int entries_before = SparseMatrix_NNZ(A);
  output()->Clear();
  Precond_ILUSetup(A);
  EXPECT_EQ(output()->log(),
            "Drop tolerance: 8.1620e-15\nPerturbation  : 0.0000e+00\nILU Factor: 3\n"
            "Drop tolerance: 8.1620e-15\nPerturbation  : 1.0000e+00\nILU Factor: 0\n");
  EXPECT_EQ(Perturbation(), 1.0);
  EXPECT_EQ(SparseMatrix_NNZ(A), entries_before);
  EXPECT_EQ(Values(SparseMatrix_Values(A)->data,
                   SparseMatrix_Values(A)->data + SparseMatrix_NNZ(A)),
            values_before);
  // The factor is that of J + I.
  Dense shifted = J;
  for (int i = 0; i < 3; ++i) shifted(i, i) += 1.0;
  Vector v(Values{1.0, 2.0, 3.0});
  Precond_ILUApply(v);
  EXPECT_LE(Distance(v.values(), SolveGeneral(shifted, {1.0, 2.0, 3.0})), 1e-14);
}

// Singular at every perturbation: 0, then the initial value, then ten times
// more per attempt, ten attempts; then the preconditioner is the identity.
TEST_F(ILUTest, TenSingularAttemptsLeaveTheIdentity) {
  ScriptedBackend backend({BASIS_SINGULAR});
  UseScript(&backend);
  Matrix A(Identity(3).A);
  output()->Clear();
  Precond_ILUSetup(A);
  EXPECT_EQ(backend.calls, 10);
  std::string expected;
  const char* perturbations[] = {"0.0000e+00", "1.0000e+00", "1.0000e+01", "1.0000e+02",
                                 "1.0000e+03", "1.0000e+04", "1.0000e+05", "1.0000e+06",
                                 "1.0000e+07", "1.0000e+08"};
  for (const char* p : perturbations) {
    expected += std::string("Drop tolerance: 8.1620e-15\nPerturbation  : ") + p +
                "\nILU Factor: 3\n";
  }
  EXPECT_EQ(output()->log(), expected);
  EXPECT_DOUBLE_EQ(Perturbation(), 1e9);
  Vector v(Values{1.0, 2.0, 3.0});
  Precond_ILUApply(v);
  Precond_ILUApplyT(v);
  EXPECT_EQ(v.values(), (Values{1.0, 2.0, 3.0}));
}

// A storage shortage raises the drop tolerance to its square root (and the
// perturbation, when one is in use, to at least the root of that); the
// factorization runs under the drop tolerance and the caller's small
// tolerance comes back afterwards.
TEST_F(ILUTest, StorageShortageRaisesTheDropTolerance) {
  const struct {
    double perturbation;
    double perturbation_after;
  } cases[] = {{0.0, 0.0}, {1e-12, std::sqrt(std::sqrt(1e-8))}, {0.5, 0.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.perturbation);
    ScriptedBackend backend({BASIS_STORAGE, BASIS_FACTORED});
    UseScript(&backend);
    DropTolerance() = 1e-8;
    Perturbation() = c.perturbation;
    SmallTolerance() = 1e-15;
    Matrix A(Identity(3).A);
    Precond_ILUSetup(A);
    EXPECT_EQ(backend.small_tolerance_seen, (std::vector<double>{1e-8, 1e-4}));
    EXPECT_DOUBLE_EQ(DropTolerance(), 1e-4);
    EXPECT_DOUBLE_EQ(Perturbation(), c.perturbation_after);
    EXPECT_EQ(SmallTolerance(), 1e-15);
    Vector v(Values{1.0, 2.0, 3.0});
    Precond_ILUApply(v);
    EXPECT_EQ(v.values(), (Values{2.0, 4.0, 6.0}));
    Workspace_Destroy();
    Workspace_Create(256, 8192);
  }
}

// Any other status is a solver error, after which the small tolerance is
// the caller's again.
TEST_F(ILUTest, UnknownStatusIsASolverError) {
  ScriptedBackend backend({9});
  UseScript(&backend);
  SmallTolerance() = 1e-15;
  Matrix A(Identity(3).A);
  EXPECT_SOLVER_ERROR(Precond_ILUSetup(A), "Basis returns unknown condition.\n");
  EXPECT_EQ(SmallTolerance(), 1e-15);
}

// Finish relaxes what the setup learned: the drop tolerance is squared (not
// below the small tolerance), the perturbation divided by ten (0 below
// 1e-8).
TEST_F(ILUTest, FinishRelaxesTheLearnedOptions) {
  const struct {
    double drop, perturbation, drop_after, perturbation_after;
  } cases[] = {
      {1e-4, 1.0, 1e-8, 0.1},
      {1e-9, 5e-8, 8.1620e-15, 0.0},  // floored drop tolerance; 5e-9 < 1e-8
      {1e-2, 0.0, 1e-4, 0.0},
      {1e-3, 1e-7, 1e-6, 1e-8},
  };
  for (const auto& c : cases) {
    DropTolerance() = c.drop;
    Perturbation() = c.perturbation;
    Precond_ILUFinish();
    EXPECT_NEAR(DropTolerance(), c.drop_after, 1e-4 * c.drop_after);
    EXPECT_NEAR(Perturbation(), c.perturbation_after, 1e-12 * c.perturbation);
  }
}

}  // namespace
}  // namespace ittest
