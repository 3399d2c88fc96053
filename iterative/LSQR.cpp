// LSQR and damped LSQR: the bidiagonalisation step, the plane rotations and
// the running estimates of the residual, the normal-equations residual, the
// norm and condition of the operator and the norm of the correction.
#include "iterative/LSQR.hpp"

#include <cmath>

#include "core/DenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "iterative/Iterative_internal.hpp"

using namespace iterative_frame;

namespace {

// LSQR's fixed tolerances: atol = btol = eps^(2/3), ctol = 10 sqrt(eps)
// (the reciprocal of the largest acceptable condition estimate).
const double kAtol = std::pow(kEpsilon, 2.0 / 3.0);
const double kBtol = kAtol;
const double kCtol = 10.0 * std::sqrt(kEpsilon);

double Hypot(double a, double b) { return Iterative_SafeHypot(a, b); }

// The vectors of both solvers: correction y, bidiagonalisation u and v,
// search direction w, products of L A R and its transpose.
struct Vectors {
  DenseVector *y, *u, *v, *w, *work, *Av, *Atu;
};

// The bidiagonalisation state.
struct Bidiagonal {
  double alpha = 0.0;
  double beta = 0.0;
};

// A norm that a vector can be divided by: positive, finite and with a
// finite reciprocal. (A bound of the zero tolerance instead would stop the
// process of a system scaled down far enough as if it had ended.)
bool Normalisable(double norm) {
  return norm > 0.0 && std::isfinite(norm) && std::isfinite(1.0 / norm);
}

// u := L A R v - alpha u, beta := ||u||; then, when beta is normalisable,
// u := u / beta, v := (L A R)' u - beta v, alpha := ||v|| and, when alpha is
// normalisable, v := v / alpha. Otherwise alpha is 0.
void Bidiagonalise(const Frame& f, const Vectors& t, Bidiagonal& bd) {
  Product(f, t.Av, t.v);
  Sum(t.u, t.Av, -bd.alpha, t.u);
  bd.beta = Norm(t.u);
  bd.alpha = 0.0;
  if (!Normalisable(bd.beta)) return;
  Scale(t.u, 1.0 / bd.beta);
  TransProduct(f, t.Atu, t.u);
  Sum(t.v, t.Atu, -bd.beta, t.v);
  bd.alpha = Norm(t.v);
  if (Normalisable(bd.alpha)) Scale(t.v, 1.0 / bd.alpha);
}

// The first vectors from the start residual in u: beta := ||u||, u := u /
// beta, v := (L A R)' u, alpha := ||v||, v := v / alpha, each step taken
// only when the norm before it is normalisable.
void StartBidiagonal(const Frame& f, const Vectors& t, Bidiagonal& bd) {
  DenseVector_FillZero(t.v, f.n);
  bd.beta = Norm(t.u);
  bd.alpha = 0.0;
  if (Normalisable(bd.beta)) {
    Scale(t.u, 1.0 / bd.beta);
    TransProduct(f, t.v, t.u);
    bd.alpha = Norm(t.v);
  }
  if (Normalisable(bd.alpha)) Scale(t.v, 1.0 / bd.alpha);
}

// The running estimate of the Frobenius norm of L A R after a step that
// started from alpha_old: the scale of the rotations' breakdown tests.
double GrowNormEstimate(double A_bar, double alpha_old, const Bidiagonal& bd) {
  return Iterative_SafeHypot(A_bar, Iterative_SafeHypot(alpha_old, bd.beta));
}

// The plane rotation that eliminates beta below rho_bar.
struct Rotation {
  double rho, c, s, theta, phi;
};

Rotation Rotate(double& rho_bar, double& phi_bar, const Bidiagonal& bd) {
  Rotation q;
  q.rho = Hypot(rho_bar, bd.beta);
  q.c = rho_bar / q.rho;
  q.s = bd.beta / q.rho;
  q.theta = q.s * bd.alpha;
  rho_bar = -q.c * bd.alpha;
  q.phi = q.c * phi_bar;
  phi_bar = q.s * phi_bar;
  return q;
}

// y := y + (phi / rho) w; w := v - (theta / rho) w.
void UpdateSolution(const Vectors& t, const Rotation& q) {
  Axpy(t.y, q.phi / q.rho, t.w);
  Sum(t.w, t.v, -q.theta / q.rho, t.w);
}

// ---------------------------------------------------------------------------
// LSQR

// LSQR's running estimates.
struct Estimates {
  double beta1 = 0.0;   // ||start residual||
  double r_bar = 0.0;   // ||residual||
  double A_bar = 0.0;   // Frobenius norm of the operator
  double D_bar = 0.0;   // Frobenius norm of the inverse bidiagonal (A_bar D_bar: condition)
  double x_bar = 0.0;   // ||y||
  double X = 0.0;       // running norm of the y recurrence
  double c2 = -1.0;     // auxiliary rotation
  double s2 = 0.0;
  double z = 0.0;
};

// The estimate of ||y|| after a rotation; false on a breakdown.
bool UpdateNormEstimate(Estimates& e, const Rotation& q) {
  const double delta = e.s2 * q.rho;
  const double gamma_bar = -e.c2 * q.rho;
  const double gamma = Hypot(gamma_bar, q.theta);
  if (Negligible(gamma_bar, e.A_bar) || Negligible(gamma, e.A_bar)) return false;
  const double h = q.phi - delta * e.z;
  e.x_bar = Hypot(e.X, h / gamma_bar);
  e.c2 = gamma_bar / gamma;
  e.s2 = q.theta / gamma;
  e.z = h / gamma;
  e.X = Hypot(e.X, e.z);
  return true;
}

// The bound of the compatible test on the residual.
double CompatibleBound(const Estimates& e) { return kBtol * e.beta1 + kAtol * e.A_bar * e.x_bar; }

// LSQR's compatible and incompatible tests, with normal the estimate of
// ||(L A R)' residual||.
bool CompatibleTest(const Estimates& e) { return e.r_bar <= CompatibleBound(e); }
bool IncompatibleTest(const Estimates& e, double normal) {
  return normal <= kAtol * e.A_bar * e.r_bar;
}

// The incompatible test is on an estimate of ||(L A R)' r||: the true
// one is to confirm it (with a band preconditioner near singular, it held
// at 2e-6 ||L A R|| ||r|| where the estimate said 4e-11).
void ClaimIncompatible(Frame& f, const Estimates& e, DenseVector* out) {
  ClaimNormal(f, HUGE_VAL, kAtol * e.A_bar, out);
}

// LSQR's exits, in order, after a step; true when one fired. A large
// condition estimate counts as solved only when a residual test holds as
// well: the iterate may still be far from any solution. A success on the
// estimate r_bar of the residual is a claim that the true residual is to
// confirm (a recurrence that lost touch with the truth, as with a
// preconditioner near singular, claimed it at a residual of 1e14 |b|; a
// band preconditioner of an ill-conditioned system after a start far from
// the solution, at a residual of 5e-5 of the start's).
bool LSQRTests(Frame& f, const Estimates& e, double normal, DenseVector* out) {
  if (kCtol * e.A_bar * e.D_bar >= 1.0) {
    Output_Printf(OUTPUT_LOG, "Condition test failed.\n");
    if (IncompatibleTest(e, normal)) {
      ClaimIncompatible(f, e, out);
    } else if (RelativeSolved(e.r_bar, e.beta1) || CompatibleTest(e)) {
      Claim(f, std::fmax(kRelativeTarget * e.beta1, CompatibleBound(e)), f.left);
    } else {
      Stop(f, ITERATIVE_NO_PROGRESS);
    }
  } else if (IncompatibleTest(e, normal)) {
    Output_Printf(OUTPUT_LOG, "Incompatible test failed.\n");
    ClaimIncompatible(f, e, out);
  } else if (CompatibleTest(e)) {
    Output_Printf(OUTPUT_LOG, "Compatible test failed.\n");
    Claim(f, CompatibleBound(e), f.left);
  }
  return f.finished;
}

// The bidiagonalisation has ended: alpha or beta is 0, or (once a step has
// estimated the norm A_bar of the operator) alpha beta is negligible against
// A_bar^2. Both are of the operator's scale, so an absolute bound would end
// the solve of a system scaled down far enough before it has begun; each is
// taken relative to A_bar, as the product of the two underflows (or
// overflows) for an operator far from unit scale.
// A norm that is not finite has not ended it (the step's tests end the
// solve with an error).
bool ProcessEnded(const Bidiagonal& bd, double A_bar) {
  if (!std::isfinite(bd.alpha) || !std::isfinite(bd.beta)) return false;
  if (bd.alpha == 0.0 || bd.beta == 0.0) return true;
  return A_bar > 0.0 && (bd.alpha / A_bar) * (bd.beta / A_bar) < kZeroTolerance;
}

void RunLSQR(Frame& f, const Vectors& t) {
  DenseVector_FillZero(t.y, f.n);
  TrueResidual(f, t.u);
  f.start_residual = Norm(t.u);
  // The compatible test's bound is of the correction, not of x: it may lie
  // below the rounding of A x, and a residual solved relative to ||b||
  // confirms it as well.
  f.claim_floor = kRelativeTarget * Norm(f.b);
  ApplyLeft(f, t.u);
  // The process is linear in its start: it works on it brought near unit
  // scale, so that a residual preconditioned far from it does not vanish
  // (or overflow) in the products, nor alpha beta in its tests.
  f.r0 = Norm(t.u);
  ScaleStart(f, t.u);
  Bidiagonal bd;
  StartBidiagonal(f, t, bd);
  Copy(t.w, t.v);
  Estimates e;
  e.beta1 = bd.beta;
  e.r_bar = bd.beta;
  double phi_bar = bd.beta;
  double rho_bar = bd.alpha;
  for (;;) {
    if (ProcessEnded(bd, e.A_bar)) {
      Output_Printf(OUTPUT_LOG, "alpha * beta test failed.\n");
      return Stop(f, ITERATIVE_SOLVED);
    }
    if (f.k >= f.params->iteration_limit) {
      Output_Printf(OUTPUT_LOG, "lsqr iterlim.\n");
      return Stop(f, ITERATIVE_ITERATION_LIMIT);
    }
    Interrupt_Check();
    if (LogDue(f.k)) Output_Printf(OUTPUT_LOG, "LSQR %d: %5.4e\n", f.k, e.r_bar / e.beta1);
    const double alpha_old = bd.alpha;
    Bidiagonalise(f, t, bd);
    e.A_bar = GrowNormEstimate(e.A_bar, alpha_old, bd);
    const Rotation q = Rotate(rho_bar, phi_bar, bd);
    if (Negligible(q.rho, e.A_bar)) return Stop(f, ITERATIVE_ERROR);
    const double d = Norm(t.w);
    UpdateSolution(t, q);
    // The step is done: it counts even when a test below ends the solve.
    f.k += 1;
    e.r_bar = phi_bar;
    e.D_bar = Hypot(e.D_bar, d / q.rho);
    const double normal = phi_bar * bd.alpha * std::fabs(q.c);
    if (!std::isfinite(e.r_bar) || !std::isfinite(normal)) return Stop(f, ITERATIVE_ERROR);
    if (!UpdateNormEstimate(e, q)) return Stop(f, ITERATIVE_ERROR);
    if (LSQRTests(f, e, normal, t.Atu)) return;
  }
}

// ---------------------------------------------------------------------------
// DLSQR

void RunDLSQR(Frame& f, const Vectors& t, double damp) {
  GuardedStart(f, t.u, t.y);
  Bidiagonal bd;
  DenseVector_FillZero(t.v, f.n);
  if (f.finished) return;
  ScaleStart(f, t.u);
  StartBidiagonal(f, t, bd);
  if (!Normalisable(bd.beta) || !std::isfinite(bd.alpha)) return Stop(f, ITERATIVE_ERROR);
  // (L A R)' r = 0 at the start: the start is already a least-squares
  // solution (the damped problem's as well, since y = 0).
  if (!Normalisable(bd.alpha)) return Stop(f, ITERATIVE_SOLVED);
  Copy(t.w, t.v);
  const double normal0 = bd.alpha * bd.beta;
  double phi_bar = bd.beta;
  double rho_bar = bd.alpha;
  double E = 0.0;
  double A_bar = 0.0;
  while (!f.finished) {
    Interrupt_Check();
    // A process that ends exactly (beta or alpha 0) still completes this
    // step's rotation: its residual estimate then shows the solution.
    const double alpha_old = bd.alpha;
    Bidiagonalise(f, t, bd);
    A_bar = GrowNormEstimate(A_bar, alpha_old, bd);
    double psi = 0.0;
    if (damp != 0.0) {
      const double rho_bar1 = Hypot(rho_bar, damp);
      if (Negligible(rho_bar1, A_bar)) return Stop(f, ITERATIVE_ERROR);
      const double c1 = rho_bar / rho_bar1;
      const double s1 = damp / rho_bar1;
      psi = s1 * phi_bar;
      phi_bar = c1 * phi_bar;
      rho_bar = rho_bar1;
    }
    const Rotation q = Rotate(rho_bar, phi_bar, bd);
    if (Negligible(q.rho, A_bar)) return Stop(f, ITERATIVE_ERROR);
    UpdateSolution(t, q);
    f.k += 1;
    E = Hypot(E, psi);
    const double residual = Hypot(E, phi_bar);
    // The damping rotation can turn phi_bar negative: the estimate is its
    // magnitude.
    const double normal = std::fabs(phi_bar) * bd.alpha * std::fabs(q.c);
    // With damping, the estimate is of the damped problem's normal equations,
    // (L A R)' r - damp^2 y, which the true residual alone does not give.
    const NormalResidual normal_test = {normal, normal0, damp == 0.0 ? t.Atu : nullptr};
    if (Test(f, residual, &normal_test)) return;
  }
}

Vectors Borrow() {
  return {Workspace_KrylovVector3(),  Workspace_KrylovVector4(),  Workspace_KrylovVector5(),
          Workspace_KrylovVector6(),  Workspace_KrylovVector10(), Workspace_KrylovVector11(),
          Workspace_KrylovVector12()};
}

}  // namespace

void Iterative_LSQR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                    DenseVector* b, DenseVector* x) {
  const Vectors t = Borrow();
  Frame f;
  if (!Begin(f, "LSQR", "", params, preconditioner, A, b, x,
             {t.work, t.y, t.u, t.v, t.w, t.Av, t.Atu})) {
    return;
  }
  RunLSQR(f, t);
  Correct(f, t.y);
  End(f, t.work);
}

void Iterative_DLSQR(Iterative_Params* params, Preconditioner* preconditioner, double damp,
                     SparseMatrix* A, DenseVector* b, DenseVector* x) {
  const Vectors t = Borrow();
  Frame f;
  if (!Begin(f, "DLSQR", "DLSQR %d: %5.4e(%5.4e)\n", params, preconditioner, A, b, x,
             {t.work, t.y, t.u, t.v, t.w, t.Av, t.Atu})) {
    return;
  }
  RunDLSQR(f, t, damp);
  Correct(f, t.y);
  End(f, t.work);
}
