// Conjugate gradient family: CG, CR, CG_NE (Craig) and CG_NR (CGLS).
//
// CG and CR precondition the residual (z = R(L(r))) and test the recurrence
// residual against ||b|| before each step; CG_NE and CG_NR iterate on the
// preconditioned operator with the guarded start and the standard tests.
#include "iterative/CG.hpp"

#include <cmath>

#include "core/DenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "iterative/Iterative_internal.hpp"

using namespace iterative_frame;

namespace {

// A positive, finite denominator: the curvature conditions of CG and CR.
bool Positive(double d) { return d > 0.0 && std::isfinite(d); }

// The tests CG and CR make before each step, against ||b||: a non-finite
// residual is an error, a zero residual or a ratio below target solved (a
// claim of the recurrence that b - A x is to confirm), then the limit.
// Otherwise polls the interrupt service, writes the log line when due and
// returns false.
bool TestBeforeStep(Frame& f, const char* format, double r_norm, double b_norm, double target) {
  if (!std::isfinite(r_norm)) {
    Stop(f, ITERATIVE_ERROR);
  } else if (r_norm == 0.0 || r_norm / b_norm < target) {
    Claim(f, target * b_norm, false);
  } else if (f.k >= f.params->iteration_limit) {
    Stop(f, ITERATIVE_ITERATION_LIMIT);
  } else {
    Interrupt_Check();
    if (LogDue(f.k)) Output_Printf(OUTPUT_LOG, format, f.k, r_norm / b_norm);
    return false;
  }
  return true;
}

void RunCG(Frame& f, DenseVector* r, DenseVector* p, DenseVector* z, DenseVector* q) {
  const double b_norm = Norm(f.b);
  if (ZeroRightHandSide(f, b_norm)) return;
  TrueResidual(f, r);
  Copy(z, r);
  ApplyBoth(f, z);
  Copy(p, z);
  // r'z and q'p go with the square of the residual's scale over the
  // operator's, and with the operator's: kept as Squares.
  Squares rho = SumOfProducts(r, z);
  double r_norm = Norm(r);
  while (!TestBeforeStep(f, "CG %d: %5.4e\n", r_norm, b_norm, f.params->tolerance)) {
    // A residual that the preconditioner maps to r'z <= 0 (it is not
    // positive definite), or a direction of non-positive curvature (A is
    // not): the method cannot go on.
    if (!Positive(rho.value)) return Stop(f, ITERATIVE_ERROR);
    SparseMatrix_Mult(q, f.A, p, nullptr);
    const Squares curvature = SumOfProducts(q, p);
    if (!Positive(curvature.value)) return Stop(f, ITERATIVE_ERROR);
    const double alpha = Quotient(rho, curvature);
    if (!std::isfinite(alpha)) return Stop(f, ITERATIVE_ERROR);
    Axpy(f.x, alpha, p);
    AxpyCopy(r, -alpha, q, z);
    ApplyBoth(f, z);
    const Squares rho_next = ProductAndNorm(r, z, &r_norm);
    Xpay(p, z, Quotient(rho_next, rho));
    rho = rho_next;
    f.k += 1;
  }
}

// The vectors of CR.
struct CRVectors {
  DenseVector *r, *z, *p, *Az, *Ap, *u, *w, *t;
};

// u := L(Az) + beta u and w := R(Az) + beta w, through t.
void UpdateCRProducts(const Frame& f, const CRVectors& v, double beta) {
  Copy(v.t, v.Az);
  ApplyLeft(f, v.t);
  Xpay(v.u, v.t, beta);
  Copy(v.t, v.Az);
  ApplyRight(f, v.t);
  Xpay(v.w, v.t, beta);
}

void RunCR(Frame& f, const CRVectors& v) {
  const double b_norm = Norm(f.b);
  if (ZeroRightHandSide(f, b_norm)) return;
  TrueResidual(f, v.r);
  Copy(v.z, v.r);
  ApplyBoth(f, v.z);
  Copy(v.p, v.z);
  SparseMatrix_Mult(v.Az, f.A, v.z, nullptr);
  Copy(v.Ap, v.Az);
  DenseVector_FillZero(v.u, f.n);
  DenseVector_FillZero(v.w, f.n);
  UpdateCRProducts(f, v, 0.0);
  // z'Az and u'w go with the square of the operator's scale (u'w with that
  // of the preconditioned one as well): kept as Squares.
  Squares rho = SumOfProducts(v.z, v.Az);
  double r_norm = Norm(v.r);
  while (!TestBeforeStep(f, "CR %d: %5.4e\n", r_norm, b_norm, kRelativeTarget)) {
    // u'w = (A p)' L' R (A p) is positive for a positive definite
    // preconditioner; z'Az may have either sign (A definite) but not 0.
    const Squares denominator = SumOfProducts(v.u, v.w);
    if (!Positive(denominator.value) || rho.value == 0.0 || !std::isfinite(rho.value)) {
      return Stop(f, ITERATIVE_ERROR);
    }
    const double alpha = Quotient(rho, denominator);
    if (!std::isfinite(alpha)) return Stop(f, ITERATIVE_ERROR);
    Axpy(f.x, alpha, v.p);
    Axpy(v.r, -alpha, v.Ap);
    Copy(v.t, v.u);
    ApplyRight(f, v.t);
    Axpy(v.z, -alpha, v.t);
    SparseMatrix_Mult(v.Az, f.A, v.z, nullptr);
    const Squares rho_next = SumOfProducts(v.z, v.Az);
    const double beta = Quotient(rho_next, rho);
    rho = rho_next;
    Xpay(v.p, v.z, beta);
    Xpay(v.Ap, v.Az, beta);
    UpdateCRProducts(f, v, beta);
    r_norm = Norm(v.r);
    f.k += 1;
  }
}

// CG_NE and CG_NR keep their squared norms as Squares: they square vectors
// whose size is that of the operator times the residual (and CG_NR that of
// the operator squared), which leaves the range of a double for systems far
// from unit scale while the vectors themselves are well inside it. They work
// on the start residual brought near unit scale (ScaleStart): a residual
// preconditioned far from it would otherwise vanish (or overflow) in the
// products with the operator and its transpose, and a vanished one reads as
// a solution.

// alpha := a / b; false (and code 3) when the step is longer than a double
// holds, as it can be for an operator far below unit scale and badly
// conditioned: the iterate stays as it is.
bool StepLength(Frame& f, const Squares& a, const Squares& b, double* alpha) {
  *alpha = Quotient(a, b);
  if (std::isfinite(*alpha)) return true;
  Stop(f, ITERATIVE_ERROR);
  return false;
}

void RunCG_NE(Frame& f, DenseVector* y, DenseVector* r, DenseVector* p, DenseVector* q,
              DenseVector* s) {
  GuardedStart(f, r, y);
  if (f.finished) return;
  ScaleStart(f, r);
  Squares rho = SumOfSquares(r);
  TransProduct(f, p, r);
  Squares pi = SumOfSquares(p);
  // The scales of the breakdown tests: the start values of pi and rho.
  const Squares pi_scale = pi;
  const Squares rho_scale = rho;
  while (!f.finished) {
    Interrupt_Check();
    if (NegligibleSquares(pi, pi_scale)) return Stop(f, ITERATIVE_ERROR);
    double alpha = 0.0;
    if (!StepLength(f, rho, pi, &alpha)) return;
    Product(f, q, p);
    Axpy(y, alpha, p);
    Axpy(r, -alpha, q);
    f.k += 1;
    const Squares rho_next = SumOfSquares(r);
    if (Test(f, Root(rho_next))) return;
    if (NegligibleSquares(rho, rho_scale)) return Stop(f, ITERATIVE_ERROR);
    TransProduct(f, s, r);
    Xpay(p, s, Quotient(rho_next, rho));
    pi = SumOfSquares(p);
    rho = rho_next;
  }
}

void RunCG_NR(Frame& f, DenseVector* y, DenseVector* r, DenseVector* p, DenseVector* q,
              DenseVector* s) {
  GuardedStart(f, r, y);
  if (f.finished) return;
  ScaleStart(f, r);
  TransProduct(f, s, r);
  Squares gamma = SumOfSquares(s);
  const double normal0 = Root(gamma);
  // The start already solves the normal equations: it is a least-squares
  // solution.
  if (gamma.value == 0.0) return Stop(f, ITERATIVE_SOLVED);
  if (!std::isfinite(gamma.value)) return Stop(f, ITERATIVE_ERROR);
  // The scales of the breakdown tests: gamma's start value, and for
  // delta = |L A R p|^2 that value times |L A R|^2 estimated by gamma / r0^2
  // (compared as delta / gamma against gamma / r0^2, with gamma's start
  // value: both are of the size of |L A R|^2 and fit in a double).
  const Squares gamma_scale = gamma;
  const Squares r0_squares = SumOfSquares(r);
  const double operator_squares = Quotient(gamma, r0_squares);
  Copy(p, s);
  while (!f.finished) {
    Interrupt_Check();
    Product(f, q, p);
    const Squares delta = SumOfSquares(q);
    if (Negligible(Quotient(delta, gamma_scale), operator_squares)) {
      return Stop(f, ITERATIVE_ERROR);
    }
    double alpha = 0.0;
    if (!StepLength(f, gamma, delta, &alpha)) return;
    Axpy(y, alpha, p);
    Axpy(r, -alpha, q);
    f.k += 1;
    // The normal-equations residual decides for systems without an exact
    // solution, where ||r|| levels off above 0.
    TransProduct(f, s, r);
    const Squares gamma_next = SumOfSquares(s);
    const NormalResidual normal = {Root(gamma_next), normal0, q};
    if (Test(f, Norm(r), &normal)) return;
    if (NegligibleSquares(gamma, gamma_scale)) return Stop(f, ITERATIVE_ERROR);
    Xpay(p, s, Quotient(gamma_next, gamma));
    gamma = gamma_next;
  }
}

}  // namespace

void Iterative_CG(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                  DenseVector* b, DenseVector* x) {
  DenseVector* r = Workspace_KrylovVector4();
  DenseVector* p = Workspace_KrylovVector5();
  DenseVector* z = Workspace_KrylovVector6();
  DenseVector* q = Workspace_KrylovVector11();
  Frame f;
  if (!Begin(f, "CG", "", params, preconditioner, A, b, x, {q, r, p, z})) return;
  RunCG(f, r, p, z, q);
  End(f, q);
}

void Iterative_CR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                  DenseVector* b, DenseVector* x) {
  const CRVectors v = {Workspace_KrylovVector3(), Workspace_KrylovVector4(),
                       Workspace_KrylovVector5(), Workspace_KrylovVector6(),
                       Workspace_KrylovVector9(), Workspace_KrylovVector10(),
                       Workspace_KrylovVector11(), Workspace_KrylovVector12()};
  Frame f;
  if (!Begin(f, "CR", "", params, preconditioner, A, b, x,
             {v.t, v.r, v.z, v.p, v.Az, v.Ap, v.u, v.w})) {
    return;
  }
  RunCR(f, v);
  End(f, v.t);
}

namespace {

// The common body of CG_NE and CG_NR.
using NormalRun = void (*)(Frame&, DenseVector*, DenseVector*, DenseVector*, DenseVector*,
                           DenseVector*);

void SolveNormal(const char* name, const char* format, NormalRun run, Iterative_Params* params,
                 Preconditioner* preconditioner, SparseMatrix* A, DenseVector* b,
                 DenseVector* x) {
  DenseVector* y = Workspace_KrylovVector3();
  DenseVector* r = Workspace_KrylovVector4();
  DenseVector* p = Workspace_KrylovVector5();
  DenseVector* work = Workspace_KrylovVector6();
  DenseVector* q = Workspace_KrylovVector10();
  DenseVector* s = Workspace_KrylovVector11();
  Frame f;
  if (!Begin(f, name, format, params, preconditioner, A, b, x, {work, y, r, p, q, s})) return;
  run(f, y, r, p, q, s);
  Correct(f, y);
  End(f, work);
}

}  // namespace

void Iterative_CG_NE(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x) {
  SolveNormal("CG_NE", "CG_NE %d: %5.4e(%5.4e)\n", RunCG_NE, params, preconditioner, A, b, x);
}

void Iterative_CG_NR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x) {
  SolveNormal("CG_NR", "CG_NR %d: %5.4e(%5.4e)\n", RunCG_NR, params, preconditioner, A, b, x);
}
