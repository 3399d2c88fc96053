// Iterative solver frame: argument checks, preconditioner sides and slots,
// the preconditioned operator, the guarded start, the stopping tests, the
// report and summary, and the vector kernels of the solvers' loops.
#include "iterative/Iterative.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "iterative/Iterative_internal.hpp"
#include "iterative/Precond.hpp"

void Iterative_Summary(const Iterative_Params* params) {
  Output_Printf(OUTPUT_LOG, "Iterative Method Summary.\n");
  Output_Printf(OUTPUT_LOG, "Iterations          : %d\n", params->iterations);
  Output_Printf(OUTPUT_LOG, "Absolute Residual   : %5.4e\n", params->absolute_residual);
  Output_Printf(OUTPUT_LOG, "Relative Residual   : %5.4e\n", params->relative_residual);
  switch (params->termination) {
    case ITERATIVE_SOLVED:
      Output_Printf(OUTPUT_LOG, "Termination         : Solved to tolerances.\n");
      break;
    case ITERATIVE_ITERATION_LIMIT:
      Output_Printf(OUTPUT_LOG, "Termination         : Iteration limit.\n");
      break;
    case ITERATIVE_NO_PROGRESS:
      Output_Printf(OUTPUT_LOG, "Termination         : No progress.\n");
      break;
    default:
      Output_Printf(OUTPUT_LOG, "Termination         : Error reported.\n");
      break;
  }
}

double Iterative_SafeHypot(double a, double b) {
  const double s = std::fabs(a) + std::fabs(b);
  if (s == 0.0) return 0.0;
  if (std::isinf(s)) return s;
  const double p = a / s;
  const double q = b / s;
  return s * std::sqrt(p * p + q * q);
}

namespace iterative_frame {

namespace {

// Writes the reason a solve cannot start; returns false.
bool Reject(const Frame& f, const char* reason, std::int32_t have, std::int32_t need) {
  Output_Printf(OUTPUT_LOG, "%s: %s: %d given, %d needed.\n", f.name, reason, have, need);
  return false;
}

// Every size that the solve relies on, checked before anything runs.
bool CheckArguments(const Frame& f, std::initializer_list<DenseVector*> borrowed,
                    bool reads_start) {
  if (f.A == nullptr || f.b == nullptr || f.x == nullptr) {
    Output_Printf(OUTPUT_LOG, "%s: missing matrix, right-hand side or solution vector.\n",
                  f.name);
    return false;
  }
  const std::int32_t rows = SparseMatrix_Rows(f.A);
  if (SparseMatrix_Cols(f.A) != rows) {
    return Reject(f, "the matrix is not square: columns", SparseMatrix_Cols(f.A), rows);
  }
  if (rows != f.n) return Reject(f, "the right-hand side does not match the matrix: elements",
                                 f.n, rows);
  if (DenseVector_Capacity(f.x) < f.n) {
    return Reject(f, "the solution vector is too short: room", DenseVector_Capacity(f.x), f.n);
  }
  if (reads_start && DenseVector_Length(f.x) != f.n) {
    return Reject(f, "the start vector does not match the system: elements",
                  DenseVector_Length(f.x), f.n);
  }
  for (DenseVector* v : borrowed) {
    if (DenseVector_Capacity(v) < f.n) {
      return Reject(f, "the workspace is smaller than the system: elements",
                    DenseVector_Capacity(v), f.n);
    }
  }
  return true;
}

void Call(Precond_ApplyFunction slot, DenseVector* v) {
  if (slot != nullptr) slot(v);
}

bool InUse(const Frame& f) { return f.left || f.right; }

}  // namespace

bool Begin(Frame& f, const char* name, const char* log_format, Iterative_Params* params,
           Preconditioner* preconditioner, SparseMatrix* A, DenseVector* b, DenseVector* x,
           std::initializer_list<DenseVector*> borrowed) {
  if (params == nullptr) Error_SolverError("%s: no parameter record.\n", name);
  f = Frame{};
  f.params = params;
  f.preconditioner = preconditioner;
  f.A = A;
  f.b = b;
  f.x = x;
  f.name = name;
  f.log_format = log_format;
  f.n = b != nullptr ? DenseVector_Length(b) : 0;
  params->iterations = 0;
  if (!CheckArguments(f, borrowed, params->start_from_x != 0)) {
    params->termination = ITERATIVE_ERROR;
    params->absolute_residual = HUGE_VAL;
    params->relative_residual = HUGE_VAL;
    Iterative_Summary(params);
    return false;
  }
  if (params->use_preconditioner != 0 && preconditioner != nullptr) {
    const std::int32_t side = preconditioner->side;
    f.left = side == PRECOND_LEFT || side == PRECOND_BOTH;
    f.right = side == PRECOND_RIGHT || side == PRECOND_BOTH;
  }
  if (InUse(f) && preconditioner->setup != nullptr) preconditioner->setup(A);
  if (params->start_from_x == 0) DenseVector_FillZero(x, f.n);
  for (DenseVector* v : borrowed) DenseVector_SetLength(v, f.n);
  f.work = *borrowed.begin();
  return true;
}

void ApplyLeft(const Frame& f, DenseVector* v) {
  if (f.left) Call(f.preconditioner->left_apply, v);
}
void ApplyLeftT(const Frame& f, DenseVector* v) {
  if (f.left) Call(f.preconditioner->left_apply_transpose, v);
}
void ApplyRight(const Frame& f, DenseVector* v) {
  if (f.right) Call(f.preconditioner->right_apply, v);
}
void ApplyRightT(const Frame& f, DenseVector* v) {
  if (f.right) Call(f.preconditioner->right_apply_transpose, v);
}
void ApplyBoth(const Frame& f, DenseVector* v) {
  ApplyLeft(f, v);
  ApplyRight(f, v);
}

void Product(const Frame& f, DenseVector* out, const DenseVector* v) {
  if (f.right) {
    Copy(f.work, v);
    ApplyRight(f, f.work);
    v = f.work;
  }
  SparseMatrix_Mult(out, f.A, v, nullptr);
  ApplyLeft(f, out);
}

void TransProduct(const Frame& f, DenseVector* out, const DenseVector* v) {
  if (f.left) {
    Copy(f.work, v);
    ApplyLeftT(f, f.work);
    v = f.work;
  }
  SparseMatrix_TransMult(out, f.A, v, nullptr);
  ApplyRightT(f, out);
}

void TrueResidual(const Frame& f, DenseVector* r) {
  SparseMatrix_ScaledMult(r, -1.0, f.A, f.x, f.b);
}

bool TrueResidualSolved(double r_norm, double b_norm) { return RelativeSolved(r_norm, b_norm); }

bool RelativeSolved(double rho, double reference) {
  return rho == 0.0 || rho / reference < kRelativeTarget;
}

namespace {

// The second bound of NormalSolved: normal over ||r|| at most this.
double NormalPerResidual(double normal0, double r0) {
  return kConfirmFactor * kRelativeTarget * (normal0 / r0);
}

}  // namespace

bool NormalSolved(double normal, double normal0, double r0, double rho) {
  return RelativeSolved(normal, normal0) && normal <= NormalPerResidual(normal0, r0) * rho;
}

bool Negligible(double value, double scale) {
  return !(std::fabs(value) > kZeroTolerance * scale);
}

bool LogDue(std::int32_t k) { return k % kLogInterval == 1; }

void Stop(Frame& f, std::int32_t code) {
  f.params->termination = code;
  f.finished = true;
  f.claimed = false;
  f.normal_claimed = false;
}

void ClaimNormal(Frame& f, double bound, double per_residual, DenseVector* out) {
  Stop(f, ITERATIVE_SOLVED);
  f.normal_claimed = out != nullptr;
  f.claim_normal_bound = kConfirmFactor * bound;
  f.claim_normal_per_residual = kConfirmFactor * per_residual;
  f.normal_out = out;
}

void Claim(Frame& f, double bound, bool left) {
  Stop(f, ITERATIVE_SOLVED);
  f.claimed = true;
  f.claim_left = left;
  f.claim_bound = kConfirmFactor * Unscaled(f, bound);
  f.claim_plain_bound = kConfirmFactor * kRelativeTarget * f.start_residual;
}

bool ZeroRightHandSide(Frame& f, double b_norm) {
  if (b_norm != 0.0) return false;
  DenseVector_FillZero(f.x, f.n);
  Stop(f, ITERATIVE_SOLVED);
  return true;
}

namespace {

// True (and stopped) when ||b - A x|| = plain is solved relative to ||b||
// or not finite.
bool TrueResidualDecides(Frame& f, double plain, double b_norm) {
  if (!std::isfinite(plain)) {
    Stop(f, ITERATIVE_ERROR);
  } else if (TrueResidualSolved(plain, b_norm)) {
    Stop(f, ITERATIVE_SOLVED);
  } else {
    return false;
  }
  return true;
}

// True when the claimed success holds for the residual norms of x: plain =
// ||b - A x|| and left = ||L(b - A x)||.
bool ClaimHolds(const Frame& f, double plain, double left) {
  if (!f.claim_left) return plain <= f.claim_bound;
  return left <= f.claim_bound && plain <= f.claim_plain_bound;
}

// The reference norms of a cycle from r = L(b - A x): false, or true with
// code 3 when r0 is 0 or not finite.
bool BeginCycle(Frame& f, double left) {
  f.r0 = left;
  f.previous = left;
  if (left > 0.0 && std::isfinite(left)) return false;
  Stop(f, ITERATIVE_ERROR);
  return true;
}

}  // namespace

double CycleResidual(const Frame& f, DenseVector* r, double* plain) {
  TrueResidual(f, r);
  *plain = Norm(r);
  if (!f.left) return *plain;
  ApplyLeft(f, r);
  return Norm(r);
}

bool StartCycle(Frame& f, DenseVector* r, double b_norm) {
  TrueResidual(f, r);
  const double plain = Norm(r);
  if (TrueResidualDecides(f, plain, b_norm)) return true;
  f.start_residual = plain;
  ApplyLeft(f, r);
  return BeginCycle(f, Norm(r));
}

bool EndCycle(Frame& f, double plain, double left, double b_norm) {
  if (TrueResidualDecides(f, plain, b_norm)) return true;
  if (f.claimed) {
    if (ClaimHolds(f, plain, left)) return true;
    f.claimed = false;
    f.finished = false;
  }
  if (f.k >= f.params->iteration_limit) {
    Stop(f, ITERATIVE_ITERATION_LIMIT);
    return true;
  }
  return f.finished || BeginCycle(f, left);
}

void GuardedStart(Frame& f, DenseVector* r, DenseVector* y) {
  DenseVector_FillZero(y, f.n);
  const double b_norm = Norm(f.b);
  if (b_norm == 0.0) {
    DenseVector_FillZero(f.x, f.n);
    DenseVector_FillZero(r, f.n);
    Stop(f, ITERATIVE_SOLVED);
    return;
  }
  TrueResidual(f, r);
  const double r_norm = Norm(r);
  f.start_residual = r_norm;
  if (!std::isfinite(r_norm) || !std::isfinite(b_norm)) {
    Stop(f, ITERATIVE_ERROR);
  } else if (TrueResidualSolved(r_norm, b_norm)) {
    Stop(f, ITERATIVE_SOLVED);
  }
  ApplyLeft(f, r);
  f.r0 = Norm(r);
  f.previous = f.r0;
  if (!f.finished && !(f.r0 > 0.0 && std::isfinite(f.r0))) Stop(f, ITERATIVE_ERROR);
}

bool Test(Frame& f, double rho, const NormalResidual* normal) {
  f.stalls = std::fabs(rho - f.previous) < kStallFraction * f.r0 ? f.stalls + 1 : 0;
  f.previous = rho;
  if (!std::isfinite(rho)) {
    Stop(f, ITERATIVE_ERROR);
  } else if (f.diverge_test && rho > kDivergenceFactor * f.r0) {
    Stop(f, ITERATIVE_ERROR);
  } else if (RelativeSolved(rho, f.r0)) {
    Claim(f, kRelativeTarget * f.r0, true);
  } else if (normal != nullptr && NormalSolved(normal->normal, normal->normal0, f.r0, rho)) {
    ClaimNormal(f, kRelativeTarget * normal->normal0, NormalPerResidual(normal->normal0, f.r0),
                normal->out);
  } else if (f.k >= f.params->iteration_limit) {
    Stop(f, ITERATIVE_ITERATION_LIMIT);
  } else if (f.stalls > kStallLimit) {
    Stop(f, ITERATIVE_NO_PROGRESS);
  } else {
    if (LogDue(f.k)) Output_Printf(OUTPUT_LOG, f.log_format, f.k, rho / f.r0, Unscaled(f, rho));
    return false;
  }
  return true;
}

int FarExponent(double norm) {
  constexpr double kLow = 0x1p-100;
  constexpr double kHigh = 0x1p100;
  if (!(norm > 0.0) || !std::isfinite(norm) || (norm >= kLow && norm <= kHigh)) return 0;
  int exponent = 0;
  std::frexp(norm, &exponent);
  return exponent;
}

void ScaleByPowerOfTwo(DenseVector* v, int exponent) {
  if (exponent == 0) return;
  double* a = DenseVector_Array(v);
  for (std::int32_t i = 0, n = DenseVector_Length(v); i < n; ++i) a[i] = std::ldexp(a[i], exponent);
}

void ScaleStart(Frame& f, DenseVector* r) {
  f.exponent = FarExponent(f.r0);
  ScaleByPowerOfTwo(r, -f.exponent);
  f.r0 = std::ldexp(f.r0, -f.exponent);
  f.previous = f.r0;
}

bool AllFinite(const DenseVector* v) {
  const double* a = DenseVector_Array(v);
  for (std::int32_t i = 0, n = DenseVector_Length(v); i < n; ++i) {
    if (!std::isfinite(a[i])) return false;
  }
  return true;
}

double Unscaled(const Frame& f, double rho) { return std::ldexp(rho, f.exponent); }

void Correct(Frame& f, DenseVector* y) {
  ScaleByPowerOfTwo(y, f.exponent);
  ApplyRight(f, y);
  // A correction that is not finite (the method overflowed on its way) is
  // not applied: x keeps its last finite value, and the solve has failed.
  if (!AllFinite(y)) return Stop(f, ITERATIVE_ERROR);
  Axpy(f.x, 1.0, y);
}

namespace {

// True when the normal-equations residual of x, with r = b - A x in scratch
// (overwritten), confirms a claim of ClaimNormal. As in the method, L r is
// brought near unit scale by 2^-e before the product, so that the product
// stays in the range of a double; r is scaled before L, so that L r does
// not leave the range on its way either. The first bound, in the units of
// the method's residual (2^-f.exponent), is taken to those of 2^-e.
bool NormalClaimHolds(const Frame& f, DenseVector* scratch) {
  ApplyLeft(f, scratch);
  double rho = Norm(scratch);
  const int exponent = FarExponent(rho);
  if (exponent != 0) {
    TrueResidual(f, scratch);
    ScaleByPowerOfTwo(scratch, -exponent);
    ApplyLeft(f, scratch);
    rho = Norm(scratch);
  }
  // (The product may use scratch as its own scratch.)
  TransProduct(f, f.normal_out, scratch);
  const double normal = Norm(f.normal_out);
  return normal == 0.0 || (normal <= std::ldexp(f.claim_normal_bound, f.exponent - exponent) &&
                           normal <= f.claim_normal_per_residual * rho);
}

// True when a claim of ClaimNormal stands for x, with r_norm = ||b - A x||
// and r = b - A x in scratch (overwritten). A point whose residual meets
// the relative target (of ||b|| or of the start's) solves the system: its
// normal-equations residual is then rounding.
bool NormalClaimStands(const Frame& f, DenseVector* scratch, double r_norm, double b_norm) {
  if (r_norm <= f.claim_floor || TrueResidualSolved(r_norm, b_norm) ||
      r_norm <= kConfirmFactor * kRelativeTarget * f.start_residual) {
    return true;
  }
  return NormalClaimHolds(f, scratch);
}

}  // namespace

void End(Frame& f, DenseVector* scratch) {
  Iterative_Params* params = f.params;
  TrueResidual(f, scratch);
  const double r_norm = Norm(scratch);
  const double b_norm = Norm(f.b);
  params->absolute_residual = r_norm;
  params->relative_residual = b_norm > 0.0 ? r_norm / b_norm : r_norm;
  params->iterations = f.k;
  if (f.claimed) {
    double left = r_norm;
    if (f.claim_left && f.left) {
      ApplyLeft(f, scratch);
      left = Norm(scratch);
    }
    if (!ClaimHolds(f, r_norm, left) && !(r_norm <= f.claim_floor)) {
      params->termination = ITERATIVE_NO_PROGRESS;
    }
  }
  if (f.normal_claimed && !NormalClaimStands(f, scratch, r_norm, b_norm)) {
    params->termination = ITERATIVE_NO_PROGRESS;
  }
  Iterative_Summary(params);
  if (InUse(f) && f.preconditioner->finish != nullptr) f.preconditioner->finish();
}

// ---------------------------------------------------------------------------
// Kernels. The elements are taken in blocks of four, every element of a
// block loaded before any is stored, so that the compiler pairs them into
// vector instructions; the reductions keep four partial sums for the same
// reason (and to stay off the latency of one running sum).

namespace {

// out_i := op(a_i, b_i) for i < n; out may be a or b.
template <class Op>
inline void Elementwise(double* out, const double* a, const double* b, std::int32_t n, Op op) {
  std::int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const double a0 = a[i], a1 = a[i + 1], a2 = a[i + 2], a3 = a[i + 3];
    const double b0 = b[i], b1 = b[i + 1], b2 = b[i + 2], b3 = b[i + 3];
    const double r0 = op(a0, b0), r1 = op(a1, b1), r2 = op(a2, b2), r3 = op(a3, b3);
    out[i] = r0;
    out[i + 1] = r1;
    out[i + 2] = r2;
    out[i + 3] = r3;
  }
  for (; i < n; ++i) out[i] = op(a[i], b[i]);
}

}  // namespace

namespace {

// The sum of term(i) for i < n, in four partial sums.
template <class Term>
inline double Accumulate(std::int32_t n, Term term) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  std::int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    s0 += term(i);
    s1 += term(i + 1);
    s2 += term(i + 2);
    s3 += term(i + 3);
  }
  for (; i < n; ++i) s0 += term(i);
  return (s0 + s1) + (s2 + s3);
}

}  // namespace

double DotArrays(const double* a, const double* b, std::int32_t n) {
  return Accumulate(n, [a, b](std::int32_t i) { return a[i] * b[i]; });
}

void AxpyArrays(double* y, double a, const double* x, std::int32_t n) {
  Elementwise(y, y, x, n, [a](double v, double w) { return v + a * w; });
}

double Dot(const DenseVector* x, const DenseVector* y) {
  return DotArrays(DenseVector_Array(x), DenseVector_Array(y), DenseVector_Length(x));
}

double Norm(const DenseVector* x) { return Root(SumOfSquares(x)); }

namespace {

// The plain sum of squares is used as it is inside this range: its largest
// terms are then normal numbers, and what underflows in the smaller ones is
// far below its rounding.
constexpr double kSquaresLow = 0x1p-960;
constexpr double kSquaresHigh = 0x1p960;

bool WellInRange(double value) {
  return std::fabs(value) >= kSquaresLow && std::fabs(value) <= kSquaresHigh;
}

// The exponent that brings the largest magnitude of x into [0.5, 1); false
// when x is 0 or not finite.
bool UnitExponent(const DenseVector* x, int* exponent) {
  const double largest = DenseVector_InfNorm(x);
  if (largest == 0.0 || !std::isfinite(largest)) return false;
  std::frexp(largest, exponent);
  return true;
}

// x'y and x'x in one pass.
void DotAndSquares(const DenseVector* x, const DenseVector* y, double* dot, double* squares) {
  const double* a = DenseVector_Array(x);
  const double* b = DenseVector_Array(y);
  const std::int32_t n = DenseVector_Length(x);
  double d0 = 0.0, d1 = 0.0, d2 = 0.0, d3 = 0.0;
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  std::int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    d0 += a[i] * b[i];
    d1 += a[i + 1] * b[i + 1];
    d2 += a[i + 2] * b[i + 2];
    d3 += a[i + 3] * b[i + 3];
    s0 += a[i] * a[i];
    s1 += a[i + 1] * a[i + 1];
    s2 += a[i + 2] * a[i + 2];
    s3 += a[i + 3] * a[i + 3];
  }
  for (; i < n; ++i) {
    d0 += a[i] * b[i];
    s0 += a[i] * a[i];
  }
  *dot = (d0 + d1) + (d2 + d3);
  *squares = (s0 + s1) + (s2 + s3);
}

}  // namespace

Squares SumOfProducts(const DenseVector* x, const DenseVector* y) {
  const double plain = Dot(x, y);
  // (A NaN may be products that overflowed with opposite signs.)
  if (WellInRange(plain)) return {plain, 0};
  // The largest magnitudes scaled into [0.5, 1): every product in range.
  int ex = 0, ey = 0;
  if (!UnitExponent(x, &ex) || !UnitExponent(y, &ey)) return {plain, 0};
  // Summed in the order of Dot, so that the result is the plain sum's,
  // scaled, bit for bit where that one is in range.
  const double* a = DenseVector_Array(x);
  const double* b = DenseVector_Array(y);
  const double sum = Accumulate(DenseVector_Length(x), [a, b, ex, ey](std::int32_t i) {
    return std::ldexp(a[i], -ex) * std::ldexp(b[i], -ey);
  });
  return {sum, ex + ey};
}

Squares SumOfSquares(const DenseVector* x) { return SumOfProducts(x, x); }

Squares ProductAndNorm(const DenseVector* x, const DenseVector* y, double* x_norm) {
  double dot = 0.0, squares = 0.0;
  DotAndSquares(x, y, &dot, &squares);
  if (WellInRange(dot) && WellInRange(squares)) {
    *x_norm = std::sqrt(squares);
    return {dot, 0};
  }
  *x_norm = Norm(x);
  return SumOfProducts(x, y);
}

Squares Square(double a) {
  int exponent = 0;
  const double m = std::frexp(a, &exponent);
  return {m * m, 2 * exponent};
}

double Quotient(const Squares& a, const Squares& b) {
  return std::ldexp(a.value / b.value, a.exponent - b.exponent);
}

double Root(const Squares& a) {
  // An odd exponent moves one factor of 2 into the value.
  const int odd = a.exponent & 1;
  return std::ldexp(std::sqrt(std::ldexp(a.value, odd)), (a.exponent - odd) / 2);
}

bool NegligibleSquares(const Squares& a, const Squares& b) {
  return !(std::fabs(a.value) >
           std::ldexp(kZeroTolerance * b.value, b.exponent - a.exponent));
}

void Axpy(DenseVector* y, double a, const DenseVector* x) {
  AxpyArrays(DenseVector_Array(y), a, DenseVector_Array(x), DenseVector_Length(y));
}

void Xpay(DenseVector* y, const DenseVector* x, double a) {
  Elementwise(DenseVector_Array(y), DenseVector_Array(x), DenseVector_Array(y),
              DenseVector_Length(y), [a](double w, double v) { return w + a * v; });
}

void Sum(DenseVector* z, const DenseVector* x, double a, const DenseVector* y) {
  const std::int32_t n = DenseVector_Length(x);
  Elementwise(DenseVector_Array(z), DenseVector_Array(x), DenseVector_Array(y), n,
              [a](double p, double q) { return p + a * q; });
  DenseVector_SetLength(z, n);
}

void Blend(DenseVector* y, double a, const DenseVector* x, double c) {
  Elementwise(DenseVector_Array(y), DenseVector_Array(x), DenseVector_Array(y),
              DenseVector_Length(y), [a, c](double w, double v) { return a * w + c * v; });
}

void Copy(DenseVector* y, const DenseVector* x) {
  const std::int32_t n = DenseVector_Length(x);
  if (y != x) std::memcpy(DenseVector_Array(y), DenseVector_Array(x), sizeof(double) * n);
  DenseVector_SetLength(y, n);
}

void AxpyCopy(DenseVector* y, double a, const DenseVector* x, DenseVector* copy) {
  double* v = DenseVector_Array(y);
  double* c = DenseVector_Array(copy);
  const double* w = DenseVector_Array(x);
  const std::int32_t n = DenseVector_Length(y);
  std::int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const double r0 = v[i] + a * w[i], r1 = v[i + 1] + a * w[i + 1];
    const double r2 = v[i + 2] + a * w[i + 2], r3 = v[i + 3] + a * w[i + 3];
    v[i] = r0;
    v[i + 1] = r1;
    v[i + 2] = r2;
    v[i + 3] = r3;
    c[i] = r0;
    c[i + 1] = r1;
    c[i + 2] = r2;
    c[i + 3] = r3;
  }
  for (; i < n; ++i) c[i] = v[i] = v[i] + a * w[i];
  DenseVector_SetLength(copy, n);
}

void Scale(DenseVector* x, double a) {
  double* v = DenseVector_Array(x);
  Elementwise(v, v, v, DenseVector_Length(x), [a](double p, double) { return p * a; });
}

}  // namespace iterative_frame
