// The frame that the iterative solvers run in: argument checks, the
// preconditioner's sides and slots, the preconditioned operator L A R and its
// transpose, the guarded start, the stopping tests and the final report.
// Shared by the solver modules of this folder only.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "iterative/Iterative.hpp"

struct DenseVector;
struct Preconditioner;
struct SparseMatrix;

namespace iterative_frame {

// The stopping policy, in one place. Residual norms are judged relative to
// the reference norm r0 of the (preconditioned) starting residual, so the
// outcome does not depend on the scale of the problem.
constexpr double kEpsilon = 0x1p-52;         // machine epsilon
constexpr double kZeroTolerance = 0x1p-104;  // breakdown: below it, relative to scale
constexpr double kRelativeTarget = 1e-8;     // solved: rho / r0 below it (or rho = 0)
constexpr double kDivergenceFactor = 1e5;    // diverged: rho above this times r0
constexpr double kStallFraction = 1e-10;     // stalled step: |rho - previous| below this times r0
constexpr std::int32_t kStallLimit = 10;     // no progress: more stalled steps in a row
constexpr std::int32_t kLogInterval = 100;   // log line when k mod 100 = 1
// What is left of a vector made orthogonal to earlier ones (or of a
// triangular factor's diagonal against its columns) at most this fraction of
// its length is rounding noise: the vector depends on the earlier ones.
constexpr double kDependent = 1e4 * kEpsilon;
// A success that a recurrence claims must hold for the true residual as
// well, within this factor of its bound (rounding parts the two a little; a
// method that has lost touch with the truth parts them by far more).
constexpr double kConfirmFactor = 10.0;

// One solve's frame. Set up by Begin, closed by End.
struct Frame {
  Iterative_Params* params = nullptr;
  Preconditioner* preconditioner = nullptr;
  SparseMatrix* A = nullptr;
  DenseVector* b = nullptr;
  DenseVector* x = nullptr;
  const char* name = "";        // solver name for input messages
  const char* log_format = "";  // "<NAME> %d: %5.4e(%5.4e)\n"
  std::int32_t n = 0;
  bool left = false;   // left side active
  bool right = false;  // right side active
  DenseVector* work = nullptr;  // scratch of the products when the right side is active
  std::int32_t k = 0;           // iterations
  std::int32_t stalls = 0;      // stalled steps in a row
  double r0 = 0.0;              // reference norm of the relative tests
  double start_residual = 0.0;  // ||b - A x|| at the start of the solve
  double previous = 0.0;        // residual norm of the previous step
  bool diverge_test = true;     // false: no divergence test (TFQMR)
  bool finished = false;
  int exponent = 0;             // the method's residual is scaled by 2^-exponent (ScaleStart)
  // A success claimed by a recurrence: the norm that the true residual
  // b - A x (L(b - A x) when claim_left) must not exceed to confirm it. A
  // claim about L(b - A x) must hold for b - A x as well, within
  // claim_plain_bound: a small preconditioned residual says little about the
  // system's own when L is far from orthogonal.
  bool claimed = false;
  bool claim_left = false;
  double claim_bound = 0.0;
  double claim_plain_bound = 0.0;
  // ||b - A x|| up to which any claim stands (0: none; a method whose bound
  // may lie below the rounding of A x sets the frame's solved target).
  double claim_floor = 0.0;
  // A success claimed on the normal-equations residual (ClaimNormal): the
  // bounds that the true one is to stay within (the first of the scaled
  // residual, see ScaleStart, where it fits in a double), and a vector that
  // End may use for the product (L A R)' L (b - A x).
  bool normal_claimed = false;
  double claim_normal_bound = 0.0;
  double claim_normal_per_residual = 0.0;
  DenseVector* normal_out = nullptr;
};

// The start of every solve. Checks the arguments (square A of order length(b), x
// with room for n elements and, when the start is read, n elements, every
// borrowed vector with room for n): on failure writes a log line, sets
// termination 3, writes the summary and returns false; nothing else runs.
// Otherwise decides the active sides, runs the preconditioner's setup, sets
// x to zeros when start_from_x is 0, sets every borrowed vector's length to
// n (work, the first of them, is the products' scratch) and returns true.
// params must not be null (solver error).
bool Begin(Frame& f, const char* name, const char* log_format, Iterative_Params* params,
           Preconditioner* preconditioner, SparseMatrix* A, DenseVector* b, DenseVector* x,
           std::initializer_list<DenseVector*> borrowed);

// The preconditioner's slots on the active sides (an inactive side or an
// empty slot leaves v unchanged).
void ApplyLeft(const Frame& f, DenseVector* v);
void ApplyLeftT(const Frame& f, DenseVector* v);
void ApplyRight(const Frame& f, DenseVector* v);
void ApplyRightT(const Frame& f, DenseVector* v);
// v := R(L(v)): the preconditioned residual of CG and CR.
void ApplyBoth(const Frame& f, DenseVector* v);

// out := L A R v and out := R' A' L' v; out must not be v.
void Product(const Frame& f, DenseVector* out, const DenseVector* v);
void TransProduct(const Frame& f, DenseVector* out, const DenseVector* v);

// r := b - A x.
void TrueResidual(const Frame& f, DenseVector* r);
// True when ||r|| of the system is solved relative to ||b|| (0, or below
// the relative target).
bool TrueResidualSolved(double r_norm, double b_norm);

// The guarded start: b = 0 gives x = 0 and code 0; a start whose residual is
// solved relative to ||b|| gives code 0; otherwise r := L(b - A x), y := 0,
// r0 := ||r||, and a zero or non-finite r0 gives code 3 (the preconditioner
// lost a residual that was not solved). Marks the solve finished when a code
// is set.
void GuardedStart(Frame& f, DenseVector* r, DenseVector* y);

// Sets the termination code and marks the solve finished.
void Stop(Frame& f, std::int32_t code);

// Stops with code 0 on the word of a recurrence (or an estimate): the true
// residual, b - A x or, when left is set, L(b - A x), is to confirm it by
// staying within kConfirmFactor times bound; with left set, b - A x must
// also stay within kConfirmFactor times the relative target times
// start_residual, the target that the system without a left side is held
// to. End (and EndCycle) check it.
void Claim(Frame& f, double bound, bool left);

// Stops with code 0 on the word of a recurrence (or an estimate) that the
// normal-equations residual ||(L A R)' r|| is at most bound (of the scaled
// residual, see ScaleStart; +infinity: none) and at most per_residual times
// ||r||. End confirms it on the true residual, r = L(b - A x), within
// kConfirmFactor of both bounds, with out (not the frame's work vector) for
// the product; a claim that the truth does not confirm becomes code 2.
// Without out, the claim stands as it is.
void ClaimNormal(Frame& f, double bound, double per_residual, DenseVector* out);

// b = 0 (b_norm = 0): x := 0, solved, true. Otherwise false.
bool ZeroRightHandSide(Frame& f, double b_norm);

// The restarted methods (GMRES, R_ORMIN, R_ORDIR). A cycle starts from the
// true residual of x, formed once per cycle at the end of the one before.
// The first cycle: r := b - A x; a solved or non-finite residual stops the
// solve (true); otherwise r := L(r) and the cycle begins from it as in
// EndCycle.
bool StartCycle(Frame& f, DenseVector* r, double b_norm);
// The true residual at the end of a cycle: r := L(b - A x); returns its
// norm and puts ||b - A x|| in *plain.
double CycleResidual(const Frame& f, DenseVector* r, double* plain);
// After a cycle's correction, with the norms of CycleResidual: the true
// residual (solved, or not finite) and then the iteration limit decide over
// the code the cycle's steps set; true when either decided. A success that
// the cycle's steps claimed but the true residual does not confirm only
// ends the cycle. When the solve goes on, the next cycle begins from r:
// r0 := left (0 or non-finite: the preconditioner lost the residual, code 3
// and true). True when the solve is over.
bool EndCycle(Frame& f, double plain, double left, double b_norm);

// The standard tests after step k (already counted) with the residual norm
// rho, in order: stall count; non-finite rho: 3; divergence: 3; rho = 0 or
// rho / r0 below the target (a claim on L(b - A x), see Claim), or, for a
// least-squares method, its normal-equations residual solved (NormalSolved,
// a claim, see ClaimNormal): 0; the iteration limit: 1; too many stalls: 2;
// else the log line when k mod 100 = 1. Returns true (and stops) when a
// test fired.
struct NormalResidual {
  double normal;      // ||(L A R)' r|| after the step
  double normal0;     // its start value
  DenseVector* out;   // End's vector for the true product, or null (see ClaimNormal)
};
bool Test(Frame& f, double rho, const NormalResidual* normal = nullptr);

// True when rho (non-negative) passes the solved test against reference.
bool RelativeSolved(double rho, double reference);

// The solved test of a least-squares method on its normal-equations
// residual normal = ||(L A R)' r||: below the relative target against its
// start value normal0, and small against ||L A R|| ||r|| as well (rho =
// ||r||, ||L A R|| estimated from below by normal0 / r0). A start far from
// the solution makes normal0 large, and the first test alone then holds at
// points that solve neither the system nor its normal equations.
bool NormalSolved(double normal, double normal0, double r0, double rho);

// The breakdown test: true when |value| is at most the zero tolerance times
// scale, the size the quantity has in this system (made of r0 and of an
// estimate of the norm of L A R, so that the outcome of a solve does not
// depend on the scale of A, b or the preconditioner), or is not a number.
bool Negligible(double value, double scale);

// True when k mod 100 = 1.
bool LogDue(std::int32_t k);

// The exponent e of a norm far from unit scale (outside [2^-100, 2^100]),
// with the norm in [2^(e-1), 2^e); 0 for a norm near unit scale.
int FarExponent(double norm);
// v := 2^exponent v, exactly (element by element: the factor itself may lie
// beyond the range of a double).
void ScaleByPowerOfTwo(DenseVector* v, int exponent);
// True when every element of v is finite.
bool AllFinite(const DenseVector* v);

// After the guarded start, a method that is linear in its starting residual
// r works on it scaled by 2^-e, e = FarExponent(r0), so that the products of
// its vectors with the operator, and their squares, stay in the range of a
// double however far the preconditioned residual lies from unit scale. r0
// and the previous norm are scaled with it: the norms the method gives Test
// are of the scaled residual. Its correction is scaled by the same factor,
// which Correct undoes exactly, as Claim does on a bound and Test on its log
// line (Unscaled). e = 0 at moderate scale, where nothing changes.
void ScaleStart(Frame& f, DenseVector* r);
double Unscaled(const Frame& f, double rho);

// Maps the correction back and adds it: y := R(2^e y) (e of ScaleStart, or
// 0), x := x + y. A y that is not finite is not added, and the solve ends
// with code 3.
void Correct(Frame& f, DenseVector* y);

// The end of every solve: the report of b - A x, the check of a claimed
// success (one that the true residual does not confirm, nor brings within
// claim_floor, becomes code 2: the iterate could not be brought to the
// target), the summary, and the finish slot. scratch receives the residual.
void End(Frame& f, DenseVector* scratch);

// ---------------------------------------------------------------------------
// Vector kernels: over n elements of raw arrays, or over the length of the
// leading DenseVector (x for Dot, Sum and Copy, y otherwise).

double DotArrays(const double* a, const double* b, std::int32_t n);
// y := y + a x
void AxpyArrays(double* y, double a, const double* x, std::int32_t n);

double Dot(const DenseVector* x, const DenseVector* y);
// The two-norm, without overflow or underflow for any finite vector.
double Norm(const DenseVector* x);

// A sum of products x'y (a sum of squares for x'x) kept as value *
// 2^exponent, so that the products of vectors of finite values neither
// overflow nor underflow. When the plain sum lies well inside the range of a
// double, the exponent is 0 and value is that sum bit for bit; otherwise
// each vector is scaled by a power of two (exactly) before the products.
struct Squares {
  double value;
  int exponent;
};
Squares SumOfProducts(const DenseVector* x, const DenseVector* y);
Squares SumOfSquares(const DenseVector* x);
// x'y as by SumOfProducts, and ||x|| in *x_norm, in one pass when both
// lie well inside the range of a double.
Squares ProductAndNorm(const DenseVector* x, const DenseVector* y, double* x_norm);
// a^2 in the same form, for a finite a.
Squares Square(double a);
// a / b and sqrt(a) as doubles (exact powers of two apart from the plain
// arithmetic on the values).
double Quotient(const Squares& a, const Squares& b);
double Root(const Squares& a);
// Negligible for sums of squares: a is at most the zero tolerance times b.
bool NegligibleSquares(const Squares& a, const Squares& b);
// y := y + a x
void Axpy(DenseVector* y, double a, const DenseVector* x);
// y := x + a y
void Xpay(DenseVector* y, const DenseVector* x, double a);
// z := x + a y
void Sum(DenseVector* z, const DenseVector* x, double a, const DenseVector* y);
// y := a x + c y
void Blend(DenseVector* y, double a, const DenseVector* x, double c);
// y := x
void Copy(DenseVector* y, const DenseVector* x);
// y := y + a x and copy := the new y, in one pass.
void AxpyCopy(DenseVector* y, double a, const DenseVector* x, DenseVector* copy);
// x := a x
void Scale(DenseVector* x, double a);

}  // namespace iterative_frame
