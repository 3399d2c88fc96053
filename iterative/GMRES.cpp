// Restarted GMRES in the Householder-Arnoldi form: basis vector W_j holds
// the j-th Householder vector in components j..n and column j-1 of the
// triangular factor R of the rotated Hessenberg matrix in components
// 1..j-1; the reflector P_j = I - 2 tau_j u_j u_j' acts on components j..n.
#include "iterative/GMRES.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/DenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Workspace.hpp"
#include "iterative/Iterative_internal.hpp"

using namespace iterative_frame;

namespace {

// The state of one cycle; arrays are 0-based, the comments 1-based.
struct Cycle {
  DenseVector** W;  // basis vectors (Householder vectors and R)
  DenseVector* w;   // working vector
  DenseVector* z;   // product
  double* g;        // rotated right-hand side
  double* tau;      // reflector factors (0: the reflector is the identity)
  double* s;        // rotation sines
  double* c;        // rotation cosines
  std::int32_t n;
  std::int32_t m;
};

double* Column(const Cycle& cy, std::int32_t j) { return DenseVector_Array(cy.W[j - 1]); }

// v := P_j v.
void Reflect(const Cycle& cy, std::int32_t j, double* v) {
  const double tau = cy.tau[j - 1];
  if (tau == 0.0) return;
  const double* u = Column(cy, j) + (j - 1);
  const std::int32_t length = cy.n - (j - 1);
  const double scale = 2.0 * tau * DotArrays(u, v + (j - 1), length);
  AxpyArrays(v + (j - 1), -scale, u, length);
}

// Builds P_j from w so that P_j w has zeros below component j, and rewrites
// w_j. A w that is already zero from component j on takes the identity.
// False when the reflector cannot be formed.
bool BuildReflector(const Cycle& cy, std::int32_t j) {
  double* w = DenseVector_Array(cy.w);
  double* u = Column(cy, j);
  const std::int32_t below = cy.n - j;
  if (below > 0) std::memcpy(u + j, w + j, sizeof(double) * below);
  double sigma = DotArrays(w + j, w + j, below);
  double alpha = std::sqrt(sigma + w[j - 1] * w[j - 1]);
  if (w[j - 1] < 0.0) alpha = -alpha;
  u[j - 1] = w[j - 1] + alpha;
  sigma += u[j - 1] * u[j - 1];
  if (sigma == 0.0) {
    cy.tau[j - 1] = 0.0;
    return true;
  }
  cy.tau[j - 1] = 1.0 / sigma;
  if (!std::isfinite(cy.tau[j - 1])) return false;
  const double dot = DotArrays(u + (j - 1), w + (j - 1), cy.n - (j - 1));
  w[j - 1] -= 2.0 * cy.tau[j - 1] * dot * u[j - 1];
  return true;
}

// Applies the stored rotations to the new Hessenberg column in w, stores the
// rotated column j-1 of R in W_j and extends g; largest keeps the length of
// the cycle's longest column. False when R would become singular.
bool RotateColumn(const Cycle& cy, std::int32_t j, double* largest) {
  double* w = DenseVector_Array(cy.w);
  double* u = Column(cy, j);
  // The rotations keep the columns' lengths. A diagonal entry of R that is
  // rounding noise against the longest of them (an estimate of the norm of
  // the operator) makes R singular in all but name: the new column depends
  // on the earlier ones, and solving with it would blow the correction up.
  const double length = std::sqrt(DotArrays(w, w, j <= cy.n ? j : cy.n));
  if (length > *largest) *largest = length;
  const double floor = kDependent * *largest;
  for (std::int32_t i = 1; i <= j - 2; ++i) {
    const double wi = w[i - 1];
    const double wn = w[i];
    u[i - 1] = cy.c[i - 1] * wi + cy.s[i - 1] * wn;
    w[i] = -cy.s[i - 1] * wi + cy.c[i - 1] * wn;
  }
  if (j > cy.n) {
    // The Krylov space is the whole space: the last column needs no rotation.
    u[j - 2] = w[j - 2];
    cy.g[j - 1] = 0.0;
    return std::fabs(u[j - 2]) > floor;
  }
  const double h = Iterative_SafeHypot(w[j - 2], w[j - 1]);
  if (!(h > floor)) return false;
  cy.s[j - 2] = w[j - 1] / h;
  cy.c[j - 2] = w[j - 2] / h;
  u[j - 2] = cy.c[j - 2] * w[j - 2] + cy.s[j - 2] * w[j - 1];
  const double gamma = cy.g[j - 2];
  cy.g[j - 2] = cy.c[j - 2] * gamma;
  cy.g[j - 1] = -cy.s[j - 2] * gamma;
  return true;
}

// w := P_1 ... P_j 2^-c L A R P_j ... P_1 e_j: the next Hessenberg column,
// of 2^-c L A R. The reflectors and rotations square the columns' elements:
// c (set from the cycle's first product, of a basis vector of norm 1) is
// FarExponent of its norm, so that the columns lie near unit scale when the
// operator lies far from it, and 0 otherwise.
void NextColumn(const Frame& f, const Cycle& cy, std::int32_t j, int* c) {
  DenseVector_FillZero(cy.w, cy.n);
  double* w = DenseVector_Array(cy.w);
  w[j - 1] = 1.0;
  for (std::int32_t i = j; i >= 1; --i) Reflect(cy, i, w);
  Product(f, cy.z, cy.w);
  if (j == 1) *c = FarExponent(Norm(cy.z));
  ScaleByPowerOfTwo(cy.z, -*c);
  Copy(cy.w, cy.z);
  for (std::int32_t i = 1; i <= j; ++i) Reflect(cy, i, w);
}

// The inner steps of one cycle from the preconditioned residual in w, scaled
// by 2^-exponent, on the operator scaled by 2^-c (NextColumn). Returns the
// number of completed columns of R.
std::int32_t InnerSteps(Frame& f, const Cycle& cy, int exponent, int* c) {
  *c = 0;
  ScaleByPowerOfTwo(cy.w, -exponent);
  std::int32_t j = 1;
  double largest = 0.0;
  while (j <= cy.m) {
    Interrupt_Check();
    if (j <= cy.n && !BuildReflector(cy, j)) {
      Stop(f, ITERATIVE_ERROR);
      break;
    }
    if (j == 1) {
      cy.g[0] = DenseVector_Array(cy.w)[0];
    } else if (!RotateColumn(cy, j, &largest)) {
      Stop(f, ITERATIVE_ERROR);
      break;
    }
    if (j < cy.m) NextColumn(f, cy, j, c);
    f.k += 1;
    const bool fired = Test(f, std::ldexp(std::fabs(cy.g[j - 1]), exponent));
    ++j;
    if (fired) break;
  }
  return j - 2;
}

// Solves R y = g for the first J entries of g (in place) and adds the
// correction P_1 (y_1 e_1 + P_2 (y_2 e_2 + ...)), scaled back by
// 2^exponent and mapped by R, to x, keeping the x before in W_1.
void AddCorrection(Frame& f, const Cycle& cy, std::int32_t J, int exponent) {
  for (std::int32_t i = J; i >= 1; --i) {
    const double* r = Column(cy, i + 1);
    cy.g[i - 1] /= r[i - 1];
    for (std::int32_t l = 1; l < i; ++l) cy.g[l - 1] -= cy.g[i - 1] * r[l - 1];
  }
  DenseVector_FillZero(cy.w, cy.n);
  double* w = DenseVector_Array(cy.w);
  for (std::int32_t i = J; i >= 1; --i) {
    w[i - 1] += cy.g[i - 1];
    Reflect(cy, i, w);
  }
  // The basis is free now: its first vector keeps the x the cycle started
  // from.
  Copy(cy.W[0], f.x);
  ScaleByPowerOfTwo(cy.w, exponent);
  Correct(f, cy.w);
}

// A minimising method cannot leave the residual larger than it found it:
// when the cycle's correction has (left, the norm of L(b - A x) after it,
// is above r0 or not a number: its triangular factor was singular up to
// rounding, so the correction is rounding noise blown up), x goes back to
// the start of the cycle, kept by AddCorrection, and the solve ends with
// code 3 (code 1 at the iteration limit, which decides at every cycle's
// end). True when it did.
bool UndoWorseCorrection(Frame& f, const Cycle& cy, double left) {
  if (left <= f.r0) return false;
  Copy(f.x, cy.W[0]);
  Stop(f, f.k < f.params->iteration_limit ? ITERATIVE_ERROR : ITERATIVE_ITERATION_LIMIT);
  return true;
}

void RunGMRES(Frame& f, const Cycle& cy) {
  const double b_norm = Norm(f.b);
  if (ZeroRightHandSide(f, b_norm)) return;
  Interrupt_Check();
  if (StartCycle(f, cy.w, b_norm)) return;
  for (;;) {
    // The cycle works on its starting residual scaled by 2^-e, of a norm
    // near 1 when r0 lies far from unit scale (e = 0 otherwise): the
    // reflectors square its elements. The method is linear in it, so the
    // scaling is undone exactly on the residual estimates and the correction.
    const int exponent = FarExponent(f.r0);
    int c = 0;
    const std::int32_t J = InnerSteps(f, cy, exponent, &c);
    // R is of 2^-c L A R: its solution is 2^c times the one of L A R.
    AddCorrection(f, cy, J, exponent - c);
    double plain = 0.0;
    const double left = CycleResidual(f, cy.w, &plain);
    if (J > 0 && UndoWorseCorrection(f, cy, left)) return;
    if (EndCycle(f, plain, left, b_norm)) return;
    Interrupt_Check();
  }
}

}  // namespace

int Iterative_GMRESRestart(int n) {
  int m = Workspace_GmresRestart();
  const int frequency = Options_CommonInt(COMMON_GMRES_UPDATE_FREQUENCY);
  if (frequency < m) m = frequency;
  if (n + 1 < m) m = n + 1;
  // A cycle needs two steps to form a correction at all.
  return m < 2 ? 2 : m;
}

void Iterative_GMRES(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x) {
  DenseVector** W = Workspace_GmresBasis();
  DenseVector* w = Workspace_GmresVector1();
  DenseVector* z = Workspace_GmresVector2();
  DenseVector* small[4] = {Workspace_GmresSmallVector1(), Workspace_GmresSmallVector2(),
                           Workspace_GmresSmallVector3(), Workspace_GmresSmallVector4()};
  Frame f;
  if (!Begin(f, "GMRES", "GMRES %d: %5.4e(%5.4e)\n", params, preconditioner, A, b, x,
             {w, z, W[0]})) {
    return;
  }
  const std::int32_t m = Iterative_GMRESRestart(f.n);
  for (std::int32_t j = 0; j < m; ++j) DenseVector_SetLength(W[j], f.n);
  for (DenseVector* v : small) DenseVector_FillZero(v, m);
  const Cycle cy = {W,
                    w,
                    z,
                    DenseVector_Array(small[0]),
                    DenseVector_Array(small[1]),
                    DenseVector_Array(small[2]),
                    DenseVector_Array(small[3]),
                    f.n,
                    m};
  RunGMRES(f, cy);
  End(f, w);
}
