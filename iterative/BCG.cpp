// Biconjugate gradient family: BCG, BiCGSTAB, QMR and TFQMR.
#include "iterative/BCG.hpp"

#include <cmath>
#include <initializer_list>

#include "core/DenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "iterative/Iterative_internal.hpp"

using namespace iterative_frame;

namespace {

// |L A R v| / |v| for a product of v: an estimate of the norm of the
// operator, which with r0 gives each breakdown test its scale.
double OperatorScale(const DenseVector* product, double v_norm) {
  return Norm(product) / v_norm;
}

// The solver body after the guarded start; vectors in the order of the
// solver's own list (the frame's scratch vector first).
using Run = void (*)(Frame& f, DenseVector* const* v);

// The frame around a body: borrow, start, run, correct, report. v[0] is the
// scratch vector, v[1] the correction y, v[2] the residual r. The body works
// on r brought near unit scale (ScaleStart): its inner products square the
// residual's scale.
void Solve(const char* name, const char* format, Run run, Iterative_Params* params,
           Preconditioner* preconditioner, SparseMatrix* A, DenseVector* b, DenseVector* x,
           std::initializer_list<DenseVector*> borrowed) {
  DenseVector* const* v = borrowed.begin();
  Frame f;
  if (!Begin(f, name, format, params, preconditioner, A, b, x, borrowed)) return;
  GuardedStart(f, v[2], v[1]);
  if (!f.finished) {
    ScaleStart(f, v[2]);
    run(f, v);
  }
  Correct(f, v[1]);
  End(f, v[0]);
}

// ---------------------------------------------------------------------------
// BCG: v = {work, y, r, r~, p, p~, q, q~}

void RunBCG(Frame& f, DenseVector* const* v) {
  DenseVector *y = v[1], *r = v[2], *rt = v[3], *p = v[4], *pt = v[5], *q = v[6], *qt = v[7];
  Copy(rt, r);
  Copy(p, r);
  Copy(pt, rt);
  double rho = Dot(r, rt);
  const double rho_scale = f.r0 * f.r0;
  double sigma_scale = 0.0;  // |L A R| r0^2, from the first product
  while (!f.finished) {
    Interrupt_Check();
    Product(f, q, p);
    if (f.k == 0) sigma_scale = OperatorScale(q, f.r0) * rho_scale;
    const double sigma = Dot(q, pt);
    if (Negligible(sigma, sigma_scale)) return Stop(f, ITERATIVE_ERROR);
    const double alpha = rho / sigma;
    Axpy(y, alpha, p);
    Axpy(r, -alpha, q);
    f.k += 1;
    if (Test(f, Norm(r))) return;
    if (Negligible(rho, rho_scale)) return Stop(f, ITERATIVE_ERROR);
    TransProduct(f, qt, pt);
    Axpy(rt, -alpha, qt);
    const double rho_next = Dot(r, rt);
    const double beta = rho_next / rho;
    Xpay(p, r, beta);
    Xpay(pt, rt, beta);
    rho = rho_next;
  }
}

// ---------------------------------------------------------------------------
// BiCGSTAB: v = {work, y, r, r^, p, v, s, t}

// p := (r + beta p) - gamma v.
void UpdateDirection(DenseVector* p, const DenseVector* r, double beta, double gamma,
                     const DenseVector* v) {
  double* pa = DenseVector_Array(p);
  const double* ra = DenseVector_Array(r);
  const double* va = DenseVector_Array(v);
  const std::int32_t n = DenseVector_Length(p);
  for (std::int32_t i = 0; i < n; ++i) pa[i] = (ra[i] + beta * pa[i]) - gamma * va[i];
}

void RunBICGSTAB(Frame& f, DenseVector* const* vec) {
  DenseVector *y = vec[1], *r = vec[2], *rh = vec[3], *p = vec[4], *v = vec[5], *s = vec[6],
              *t = vec[7];
  Copy(p, r);
  Copy(rh, r);
  double rho = Dot(r, rh);
  const double rho_scale = f.r0 * f.r0;
  double op = 0.0;  // |L A R|, from the first product
  while (!f.finished) {
    Interrupt_Check();
    Product(f, v, p);
    if (f.k == 0) op = OperatorScale(v, f.r0);
    const double sigma = Dot(v, rh);
    if (Negligible(sigma, op * rho_scale)) return Stop(f, ITERATIVE_ERROR);
    const double alpha = rho / sigma;
    Sum(s, r, -alpha, v);
    const double s_norm = Norm(s);
    if (std::isfinite(s_norm) && RelativeSolved(s_norm, f.r0)) {
      // The half step solves the system (for instance when the Krylov space
      // is exhausted): the stabilising step would divide by t't = 0.
      Axpy(y, alpha, p);
      Copy(r, s);
      f.k += 1;
      return Claim(f, kRelativeTarget * f.r0, true);
    }
    Product(f, t, s);
    // t't and t's square the operator's scale: kept as Squares.
    const Squares tau = SumOfSquares(t);
    if (NegligibleSquares(tau, Square(op * f.r0))) return Stop(f, ITERATIVE_ERROR);
    const double omega = Quotient(SumOfProducts(t, s), tau);
    Axpy(y, alpha, p);
    Axpy(y, omega, s);
    Sum(r, s, -omega, t);
    f.k += 1;
    if (Test(f, Norm(r))) return;
    if (Negligible(rho, rho_scale) || Negligible(omega, 1.0 / op)) {
      return Stop(f, ITERATIVE_ERROR);
    }
    const double rho_next = Dot(r, rh);
    const double ratio = rho_next / rho;
    UpdateDirection(p, r, ratio * (alpha / omega), ratio * alpha, v);
    rho = rho_next;
  }
}

// ---------------------------------------------------------------------------
// QMR: v = {work, y, r, v, w, p, q, d, s, p~, w^}

void RunQMR(Frame& f, DenseVector* const* vec) {
  DenseVector *y = vec[1], *r = vec[2], *v = vec[3], *w = vec[4], *p = vec[5], *q = vec[6],
              *d = vec[7], *s = vec[8], *pt = vec[9], *wh = vec[10];
  Copy(v, r);
  Scale(v, 1.0 / f.r0);
  Copy(w, r);
  Scale(w, 1.0 / f.r0);
  for (DenseVector* z : {p, q, d, s}) DenseVector_FillZero(z, f.n);
  double gamma_prev = 1.0, eta = -1.0, theta_prev = 0.0, e = 1.0;
  double rho = f.r0, xi = f.r0;
  // v and w are unit vectors: delta and gamma are of size 1, e, beta and the
  // norms of the new v and w of the size of L A R (from the first product;
  // e starts at 1, as if the operator were of norm 1).
  double op = 1.0;
  while (!f.finished) {
    Interrupt_Check();
    const double delta = Dot(w, v);
    if (Negligible(e, op) || Negligible(delta, 1.0)) return Stop(f, ITERATIVE_ERROR);
    Xpay(p, v, -(xi * delta / e));
    Xpay(q, w, -(rho * delta / e));
    Product(f, pt, p);
    if (f.k == 0) op = OperatorScale(pt, 1.0);
    TransProduct(f, wh, q);
    e = Dot(q, pt);
    const double beta = e / delta;
    Sum(v, pt, -beta, v);
    Sum(w, wh, -beta, w);
    const double rho_next = Norm(v);
    xi = Norm(w);
    if (Negligible(beta, op) || Negligible(gamma_prev, 1.0)) return Stop(f, ITERATIVE_ERROR);
    // A Lanczos sequence that vanishes has ended exactly: this step is still
    // completed (it may solve the system) but no further one is possible.
    const bool v_ended = Negligible(rho_next, op);
    const bool w_ended = Negligible(xi, op);
    if (!v_ended) Scale(v, 1.0 / rho_next);
    if (!w_ended) Scale(w, 1.0 / xi);
    const double theta = rho_next / (gamma_prev * std::fabs(beta));
    const double gamma = 1.0 / std::sqrt(theta * theta + 1.0);
    eta = -eta * rho * gamma * gamma / (beta * gamma_prev * gamma_prev);
    const double carry = (theta_prev * gamma) * (theta_prev * gamma);
    Blend(d, eta, p, carry);
    Blend(s, eta, pt, carry);
    Axpy(y, 1.0, d);
    Axpy(r, -1.0, s);
    f.k += 1;
    if (Test(f, Norm(r))) return;
    if (v_ended || w_ended) return Stop(f, ITERATIVE_ERROR);
    rho = rho_next;
    gamma_prev = gamma;
    theta_prev = theta;
  }
}

// ---------------------------------------------------------------------------
// TFQMR: v = {work, y, r, s, r_s, u, w, Au, v, r~, d, Ad}

struct TFQMRState {
  DenseVector *y, *r, *s, *rs, *u, *w, *Au, *v, *rt, *d, *Ad;
  double alpha = 0.0, rho = 0.0, tau = 0.0, theta = 0.0, eta = 0.0;
};

// w := w - alpha Au; d := u + (theta^2 eta / alpha) d; Ad := Au + (same) Ad.
void HalfStep(TFQMRState& t) {
  Axpy(t.w, -t.alpha, t.Au);
  const double carry = t.theta * t.theta * t.eta / t.alpha;
  Xpay(t.d, t.u, carry);
  Xpay(t.Ad, t.Au, carry);
}

// The quasi-minimisation after a half step and its tests; true when a test
// fired.
bool QuasiStep(Frame& f, TFQMRState& t) {
  t.theta = Norm(t.w) / t.tau;
  const double c = 1.0 / std::sqrt(t.theta * t.theta + 1.0);
  t.tau = t.tau * t.theta * c;
  t.eta = c * c * t.alpha;
  Axpy(t.y, t.eta, t.d);
  Axpy(t.s, t.eta, t.Ad);
  Sum(t.r, t.rs, -1.0, t.s);
  f.k += 1;
  return Test(f, Norm(t.r));
}

// Ends the solve with code 3 and the breakdown's message.
void Breakdown(Frame& f, const char* message) {
  Output_Printf(OUTPUT_LOG, "%s", message);
  Stop(f, ITERATIVE_ERROR);
}

void RunTFQMR(Frame& f, DenseVector* const* vec) {
  TFQMRState t;
  t.y = vec[1];
  t.r = vec[2];
  t.s = vec[3];
  t.rs = vec[4];
  t.u = vec[5];
  t.w = vec[6];
  t.Au = vec[7];
  t.v = vec[8];
  t.rt = vec[9];
  t.d = vec[10];
  t.Ad = vec[11];
  f.diverge_test = false;
  DenseVector_FillZero(t.s, f.n);
  Copy(t.rs, t.r);
  Copy(t.u, t.r);
  Copy(t.w, t.r);
  Product(f, t.Au, t.u);
  Copy(t.v, t.Au);
  Copy(t.rt, t.r);
  DenseVector_FillZero(t.d, f.n);
  DenseVector_FillZero(t.Ad, f.n);
  t.rho = Dot(t.w, t.rt);
  t.tau = Norm(t.w);
  const double op = OperatorScale(t.Au, f.r0);
  const double rho_scale = f.r0 * f.r0;
  while (!f.finished) {
    Interrupt_Check();
    const double sigma = Dot(t.v, t.rt);
    if (Negligible(sigma, op * rho_scale)) return Breakdown(f, "delta < zero tolerance.\n");
    t.alpha = t.rho / sigma;
    if (Negligible(t.alpha, 1.0 / op) || Negligible(t.tau, f.r0)) {
      return Breakdown(f, "alpha or tao < zero tolerance.\n");
    }
    HalfStep(t);
    Axpy(t.u, -t.alpha, t.v);
    Product(f, t.Au, t.u);
    if (QuasiStep(f, t)) return;
    Interrupt_Check();
    if (Negligible(t.tau, f.r0)) return Breakdown(f, "tao < zero tolerance.\n");
    HalfStep(t);
    if (QuasiStep(f, t)) return;
    if (Negligible(t.rho, rho_scale)) return Breakdown(f, "rho < zero tolerance.\n");
    const double rho_next = Dot(t.w, t.rt);
    const double beta = rho_next / t.rho;
    Xpay(t.v, t.Au, beta);
    Xpay(t.u, t.w, beta);
    Product(f, t.Au, t.u);
    Xpay(t.v, t.Au, beta);
    t.rho = rho_next;
  }
}

}  // namespace

void Iterative_BCG(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                   DenseVector* b, DenseVector* x) {
  Solve("BCG", "BCG %d: %5.4e(%5.4e)\n", RunBCG, params, preconditioner, A, b, x,
        {Workspace_KrylovVector3(), Workspace_KrylovVector4(), Workspace_KrylovVector5(),
         Workspace_KrylovVector6(), Workspace_KrylovVector9(), Workspace_KrylovVector10(),
         Workspace_KrylovVector11(), Workspace_KrylovVector12()});
}

void Iterative_BICGSTAB(Iterative_Params* params, Preconditioner* preconditioner,
                        SparseMatrix* A, DenseVector* b, DenseVector* x) {
  Solve("BICGSTAB", "BICGSTAB %d: %5.4e(%5.4e)\n", RunBICGSTAB, params, preconditioner, A, b, x,
        {Workspace_KrylovVector3(), Workspace_KrylovVector4(), Workspace_KrylovVector5(),
         Workspace_KrylovVector6(), Workspace_KrylovVector9(), Workspace_KrylovVector10(),
         Workspace_KrylovVector11(), Workspace_KrylovVector12()});
}

void Iterative_QMR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                   DenseVector* b, DenseVector* x) {
  Solve("QMR", "QMR %d: %5.4e(%5.4e)\n", RunQMR, params, preconditioner, A, b, x,
        {Workspace_KrylovVector1(), Workspace_KrylovVector2(), Workspace_KrylovVector3(),
         Workspace_KrylovVector4(), Workspace_KrylovVector5(), Workspace_KrylovVector6(),
         Workspace_KrylovVector7(), Workspace_KrylovVector9(), Workspace_KrylovVector10(),
         Workspace_KrylovVector11(), Workspace_KrylovVector12()});
}

void Iterative_TFQMR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x) {
  Solve("TFQMR", "TFQMR %d: %5.4e(%5.4e)\n", RunTFQMR, params, preconditioner, A, b, x,
        {Workspace_KrylovVector1(), Workspace_KrylovVector2(), Workspace_KrylovVector3(),
         Workspace_KrylovVector4(), Workspace_KrylovVector5(), Workspace_KrylovVector6(),
         Workspace_KrylovVector7(), Workspace_KrylovVector8(), Workspace_KrylovVector9(),
         Workspace_KrylovVector10(), Workspace_KrylovVector11(), Workspace_KrylovVector12()});
}
