// Random systems of every class (well and badly conditioned, nonsymmetric,
// singular and inconsistent, indefinite; scaled by 1e-40 to 1e40) against
// every solver and preconditioner, from a zero and from a random start:
// whatever the outcome, x is finite, the report is the true residual, and a
// success is a solution (of the least-squares problem for the least-squares
// solvers); the well-conditioned classes are solved without a
// preconditioner at every scale. ITERATIVE_STRESS_SEEDS sets the number of
// seeds (default 2, for a fast run; hundreds for a long one).
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "IterativeHarness.hpp"
#include "core/Options.hpp"

namespace ittest {
namespace {

int Seeds() {
  const char* text = std::getenv("ITERATIVE_STRESS_SEEDS");
  return text != nullptr ? std::atoi(text) : 2;
}

// Q with orthonormal columns, by Gram-Schmidt (twice) on a random matrix.
Dense Orthogonal(int n, std::mt19937& rng) {
  std::normal_distribution<double> g;
  Dense Q(n, n);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) Q(i, j) = g(rng);
    for (int pass = 0; pass < 2; ++pass) {
      for (int k = 0; k < j; ++k) {
        double d = 0.0;
        for (int i = 0; i < n; ++i) d += Q(i, j) * Q(i, k);
        for (int i = 0; i < n; ++i) Q(i, j) -= d * Q(i, k);
      }
    }
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += Q(i, j) * Q(i, j);
    for (int i = 0; i < n; ++i) Q(i, j) /= std::sqrt(s);
  }
  return Q;
}

// Q diag(lambda) Q', entries below 1e-15 dropped.
Dense WithSpectrum(const Dense& Q, const Values& lambda) {
  const int n = Q.rows;
  Dense A(n, n);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += Q(i, k) * lambda[k] * Q(j, k);
      A(i, j) = std::fabs(s) < 1e-15 ? 0.0 : s;
    }
  }
  return A;
}

enum Kind { kSPD, kIllConditioned, kNonsymmetric, kSparse, kSingular, kIndefinite, kKinds };
const char* const kKindNames[] = {"spd", "ill-conditioned", "nonsymmetric",
                                  "sparse", "singular", "indefinite"};

// The system of class kind for seed, of order 1 to 24, scaled by scale.
System RandomSystem(int kind, unsigned seed, double scale) {
  std::mt19937 rng(seed * 16u + static_cast<unsigned>(kind));
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const int n = 1 + static_cast<int>(rng() % 24);
  System s;
  s.name = std::string(kKindNames[kind]) + " n" + std::to_string(n);
  Values lambda(n);
  const Dense Q = Orthogonal(n, rng);
  for (int i = 0; i < n; ++i) {
    switch (kind) {
      case kSPD:
        lambda[i] = 10.0 + 9.0 * u(rng);
        break;
      case kIllConditioned:  // eigenvalues from 1e-8 to 1
        lambda[i] = std::pow(10.0, -4.0 * (u(rng) + 1.0));
        break;
      case kSingular:  // b is almost surely outside the range
        lambda[i] = i < n / 2 ? 0.0 : 1.5 + u(rng);
        break;
      default:  // indefinite
        lambda[i] = (i % 2 ? -1.0 : 1.0) * (2.0 + u(rng));
        break;
    }
  }
  if (kind == kNonsymmetric || kind == kSparse) {
    s.A = Dense(n, n);
    for (int i = 0; i < n; ++i) {
      if (kind == kNonsymmetric) {
        for (int j = 0; j < n; ++j) s.A(i, j) = u(rng);
        s.A(i, i) += 2.0 * std::sqrt(n);
      } else {
        s.A(i, i) = 4.0 + u(rng);
        for (int k = 0; k < 2; ++k) s.A(i, static_cast<int>(rng() % n)) += u(rng);
      }
    }
  } else {
    s.A = WithSpectrum(Q, lambda);
  }
  s.spd = kind == kSPD || kind == kIllConditioned;
  for (double& a : s.A.a) a *= scale;
  s.b.resize(n);
  for (double& v : s.b) v = u(rng);
  return s;
}

// The preconditioners: none, band widths (12 is clamped to 10), incomplete LU.
struct Pre {
  const char* name;
  int width;  // band width, or 0
  Preconditioner* (*ilu)(Preconditioner*);
  bool left;  // the solvers test L(b - A x)
};
const Pre kPreconditioners[] = {
    {"none", 0, nullptr, false},
    {"band1", 1, nullptr, true},
    {"band2", 2, nullptr, true},
    {"band3", 3, nullptr, true},
    {"band5", 5, nullptr, true},
    {"band12", 12, nullptr, true},
    {"ilu-left", 0, Precond_CreateILULeft, true},
    {"ilu-right", 0, Precond_CreateILURight, false},
    {"ilu-both", 0, Precond_CreateILUBoth, true},
};

bool LeastSquares(const Solver& solver) {
  const std::string name = solver.name;
  return name == "CG_NR" || name == "LSQR" || name == "DLSQR";
}

// Whether the method must solve a system of this class without a
// preconditioner, at any scale: the well-conditioned classes, with CG and CR
// on the symmetric one only, and without truncated ORTHODIR (its window of 10
// directions loses the conjugacy on larger systems).
bool MustSolve(const Solver& solver, int kind) {
  const std::string name = solver.name;
  if (name == "ORDIR" || name == "R_ORDIR") return false;
  if (kind == kSPD) return true;
  return (kind == kNonsymmetric || kind == kSparse) && name != "CG" && name != "CR";
}

class StressTest : public IterativeTest {
 protected:
  // Everything wrong with one outcome, or "".
  std::string Faults(const Solver& solver, const Pre& pre, const System& s, const Values& start,
                     bool must_solve, const Outcome& out) {
    std::string faults;
    for (double v : out.x) {
      if (!std::isfinite(v)) return "x not finite";
    }
    const int code = out.params.termination;
    if (code < ITERATIVE_SOLVED || code > ITERATIVE_ERROR) faults += " unknown code;";
    if (must_solve && code != ITERATIVE_SOLVED) faults += " not solved;";
    const double r = Norm(Residual(s.A, out.x, s.b));
    const double b = Norm(s.b);
    const double A = Norm(s.A.a);
    const double rounding = 1e-12 * (b + A * Norm(out.x));
    if (std::fabs(out.params.absolute_residual - r) > 1e-8 * r + rounding) {
      faults += " reported residual " + std::to_string(out.params.absolute_residual) +
                " is not " + std::to_string(r) + ";";
    }
    if (code != ITERATIVE_SOLVED || pre.left) return faults;
    const double r0 = Norm(Residual(s.A, start, s.b));
    if (LeastSquares(solver)) {
      // A solution of the system, or of the normal equations.
      const double normal = Norm(Multiply(Transpose(s.A), Residual(s.A, out.x, s.b)));
      if (r > 1e-6 * (b + A * Norm(out.x)) + rounding && normal > 1e-6 * A * (r + b)) {
        faults += " solved, but |A'r| / |A| |r| = " + std::to_string(normal / (A * r)) + ";";
      }
    } else if (r > 1e-7 * std::max(b, r0) + rounding) {
      faults += " solved, but |r| / |b| = " + std::to_string(r / b) + ";";
    }
    return faults;
  }
};

TEST_F(StressTest, AnyOutcomeIsFiniteTrueAndHonest) {
  int failures = 0;
  for (int seed = 0; seed < Seeds(); ++seed) {
    // A short restart (and then a cycle's end) for GMRES on odd seeds.
    Options_CommonTable[COMMON_GMRES_UPDATE_FREQUENCY].int_value = seed % 2 ? 4 : 100;
    for (int kind = 0; kind < kKinds; ++kind) {
      for (double scale : {1.0, 1e-12, 1e12, 1e-40, 1e40}) {
        const System s = RandomSystem(kind, static_cast<unsigned>(seed), scale);
        std::mt19937 rng(static_cast<unsigned>(seed));
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        Values start(s.b.size());
        for (double& v : start) v = u(rng) / scale;
        for (const Pre& pc : kPreconditioners) {
          for (const Solver& solver : AllSolvers()) {
            for (int from_x : {0, 1}) {
              Preconditioner pre;
              Precond_Clear(&pre);
              Iterative_Params p = DefaultParams();
              p.iteration_limit = 300;
              p.start_from_x = from_x;
              p.use_preconditioner = 1;
              if (pc.width > 0) Precond_CreateBand(&pre, pc.width);
              if (pc.ilu != nullptr) pc.ilu(&pre);
              if (pc.width == 0 && pc.ilu == nullptr) p.use_preconditioner = 0;
              const Outcome out = Run(solver, s, p, &pre, start);
              const std::string faults =
                  Faults(solver, pc, s, from_x ? start : Values(s.b.size(), 0.0),
                         p.use_preconditioner == 0 && MustSolve(solver, kind), out);
              if (faults.empty()) continue;
              if (++failures <= 50) {
                ADD_FAILURE() << solver.name << " " << pc.name << " on " << s.name << " scale "
                              << scale << " seed " << seed << (from_x ? " from x" : "")
                              << ": code " << out.params.termination << " after "
                              << out.params.iterations << ":" << faults;
              }
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace ittest
