// ORTHOMIN and ORTHODIR, truncated and restarted: the window of directions
// P_i with their products Q_i = L A R P_i and squared norms c_i, used as a
// ring of Workspace_OrthoCount() slots.
#include "iterative/Ortho.hpp"

#include <cmath>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Workspace.hpp"
#include "iterative/Iterative_internal.hpp"

using namespace iterative_frame;

namespace {

constexpr std::int32_t kRestart = 100;
constexpr std::int32_t kMostSlots = 10;

enum class Direction { kResidual, kProduct };  // ORTHOMIN, ORTHODIR

struct Window {
  DenseVector** P;
  DenseVector** Q;
  double* c;  // c[i]: squared norm of Q_i
  std::int32_t slots;
  std::int32_t count = 0;
  std::int32_t next = 0;
};

struct Vectors {
  DenseVector *work, *y, *r, *p, *q, *a;
};

struct Method {
  const Direction direction;
  Window window;
  Vectors v;
  double kappa = 0.0;  // q'q of the current direction
};

// Stores p, q and kappa in the next slot of the ring.
void Push(Method& m) {
  Window& w = m.window;
  Copy(w.P[w.next], m.v.p);
  Copy(w.Q[w.next], m.v.q);
  w.c[w.next] = m.kappa;
  w.next = (w.next + 1) % w.slots;
  if (w.count < w.slots) w.count += 1;
}

// kappa := q'q, and p and q scaled to ||q|| = 1 (which changes neither the
// steps nor the coefficients, and keeps the directions from overflowing or
// underflowing in a long run). A q that is zero, not finite or, after the
// orthogonalisation, rounding noise against the product it came from (of
// length reference) leaves kappa = 0: the next step breaks down. The tests
// are relative, so that the steps do not depend on the scale of the system.
void Normalise(Method& m, double reference) {
  const double length = Norm(m.v.q);
  m.kappa = 0.0;
  if (!(length > kDependent * reference) || !std::isfinite(length)) return;
  Scale(m.v.p, 1.0 / length);
  Scale(m.v.q, 1.0 / length);
  m.kappa = Dot(m.v.q, m.v.q);
}

// The first direction of a window: p := r, q := L A R p.
void StartWindow(const Frame& f, Method& m) {
  m.window.count = 0;
  m.window.next = 0;
  Copy(m.v.p, m.v.r);
  Product(f, m.v.q, m.v.p);
  Normalise(m, 0.0);
  Push(m);
}

// The next direction (from r or from q), made orthogonal to the window by
// classical Gram-Schmidt: every coefficient comes from the new product a
// before any subtraction.
void NextDirection(const Frame& f, Method& m) {
  Vectors& v = m.v;
  if (m.direction == Direction::kResidual) {
    Product(f, v.a, v.r);
    Copy(v.p, v.r);
  } else {
    Product(f, v.a, v.q);
    Copy(v.p, v.q);
  }
  Copy(v.q, v.a);
  const Window& w = m.window;
  double beta[kMostSlots];
  for (std::int32_t i = 0; i < w.count; ++i) beta[i] = Dot(v.a, w.Q[i]) / w.c[i];
  for (std::int32_t i = 0; i < w.count; ++i) {
    Axpy(v.p, -beta[i], w.P[i]);
    Axpy(v.q, -beta[i], w.Q[i]);
  }
  Normalise(m, Norm(v.a));
  Push(m);
}

// One step; true when the solve is finished.
bool Step(Frame& f, Method& m) {
  Interrupt_Check();
  const double alpha = m.kappa > 0.0 ? Dot(m.v.r, m.v.q) / m.kappa : 0.0;
  if (m.kappa == 0.0 || !std::isfinite(alpha)) {
    Stop(f, ITERATIVE_ERROR);
    return true;
  }
  Axpy(m.v.y, alpha, m.v.p);
  Axpy(m.v.r, -alpha, m.v.q);
  f.k += 1;
  if (Test(f, Norm(m.v.r))) return true;
  NextDirection(f, m);
  return false;
}

Method Borrow(Direction direction) {
  DenseVector* c = Workspace_OrthoCoefficients();
  const std::int32_t slots = Workspace_OrthoCount();
  DenseVector_FillZero(c, slots);
  Window window{Workspace_OrthoDirections(), Workspace_OrthoProducts(), DenseVector_Array(c),
                slots};
  Vectors v{Workspace_KrylovVector6(), Workspace_KrylovVector3(), Workspace_KrylovVector4(),
            Workspace_KrylovVector5(), Workspace_KrylovVector10(), Workspace_KrylovVector11()};
  return Method{direction, window, v};
}

bool BeginOrtho(Frame& f, Method& m, const char* name, const char* format,
                Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                DenseVector* b, DenseVector* x) {
  const Vectors& v = m.v;
  if (!Begin(f, name, format, params, preconditioner, A, b, x,
             {v.work, v.y, v.r, v.p, v.q, v.a, m.window.P[0], m.window.Q[0]})) {
    return false;
  }
  for (std::int32_t i = 0; i < m.window.slots; ++i) {
    DenseVector_SetLength(m.window.P[i], f.n);
    DenseVector_SetLength(m.window.Q[i], f.n);
  }
  return true;
}

void Truncated(Direction direction, const char* name, const char* format,
               Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
               DenseVector* b, DenseVector* x) {
  Method m = Borrow(direction);
  Frame f;
  if (!BeginOrtho(f, m, name, format, params, preconditioner, A, b, x)) return;
  GuardedStart(f, m.v.r, m.v.y);
  if (!f.finished) {
    ScaleStart(f, m.v.r);
    StartWindow(f, m);
    while (!Step(f, m)) {
    }
  }
  Correct(f, m.v.y);
  End(f, m.v.work);
}

void RunRestarted(Frame& f, Method& m) {
  const double b_norm = Norm(f.b);
  if (ZeroRightHandSide(f, b_norm)) return;
  Interrupt_Check();
  if (StartCycle(f, m.v.r, b_norm)) return;
  for (;;) {
    DenseVector_FillZero(m.v.y, f.n);
    ScaleStart(f, m.v.r);
    StartWindow(f, m);
    for (std::int32_t step = 0; step < kRestart && !Step(f, m); ++step) {
    }
    Correct(f, m.v.y);
    double plain = 0.0;
    const double left = CycleResidual(f, m.v.r, &plain);
    if (EndCycle(f, plain, left, b_norm)) return;
    Interrupt_Check();
  }
}

void Restarted(Direction direction, const char* name, const char* format,
               Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
               DenseVector* b, DenseVector* x) {
  Method m = Borrow(direction);
  Frame f;
  if (!BeginOrtho(f, m, name, format, params, preconditioner, A, b, x)) return;
  RunRestarted(f, m);
  End(f, m.v.work);
}

}  // namespace

void Iterative_ORMIN(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x) {
  Truncated(Direction::kResidual, "ORMIN", "ORMIN %d: %5.4e(%5.4e)\n", params, preconditioner,
            A, b, x);
}

void Iterative_ORDIR(Iterative_Params* params, Preconditioner* preconditioner, SparseMatrix* A,
                     DenseVector* b, DenseVector* x) {
  Truncated(Direction::kProduct, "ORDIR", "ORDIR %d: %5.4e(%5.4e)\n", params, preconditioner,
            A, b, x);
}

void Iterative_R_ORMIN(Iterative_Params* params, Preconditioner* preconditioner,
                       SparseMatrix* A, DenseVector* b, DenseVector* x) {
  Restarted(Direction::kResidual, "R_ORMIN", "R_ORMIN %d: %5.4e(%5.4e)\n", params,
            preconditioner, A, b, x);
}

void Iterative_R_ORDIR(Iterative_Params* params, Preconditioner* preconditioner,
                       SparseMatrix* A, DenseVector* b, DenseVector* x) {
  Restarted(Direction::kProduct, "R_ORDIR", "R_ORDIR %d: %5.4e(%5.4e)\n", params,
            preconditioner, A, b, x);
}
