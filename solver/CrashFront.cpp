// Widening of the crash's free set along a moving front: the step-to-step
// comparison of memberships and the breadth-first search through J.
#include "solver/CrashFront.hpp"

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr std::int32_t kFree = BASIS_BASIC;

// What moved between the previous memberships and status. The newly freed
// variables (held before, free now) are queued for the search.
struct Moves {
  std::int32_t freed = 0;      // held before, free now (queued)
  std::int32_t held = 0;       // free before, held now
  bool overshot = false;       // a variable the widening freed is held now
};

Moves Compare(const CrashFront* front, const std::int32_t* now, std::int32_t n) {
  Moves moves;
  const std::int32_t* before = IDenseVector_Array(front->previous);
  const std::int32_t* widened = IDenseVector_Array(front->widened);
  std::int32_t* queue = IDenseVector_Array(front->queue);
  for (std::int32_t i = 0; i < n; ++i) {
    if (before[i] != kFree && now[i] == kFree) queue[moves.freed++] = i;
    if (before[i] == kFree && now[i] != kFree) ++moves.held;
    if (widened[i] != 0 && now[i] != kFree) moves.overshot = true;
  }
  return moves;
}

// Frees the held variables within depth links of the queued ones (tail
// entries), marking them in widened. Returns their number.
std::int32_t Search(CrashFront* front, const SparseMatrix* J, std::int32_t* now, std::int32_t n,
                    std::int32_t tail) {
  std::int32_t* widened = IDenseVector_Array(front->widened);
  std::int32_t* queue = IDenseVector_Array(front->queue);
  const SparseMatrix_ColumnView jac = SparseMatrix_Columns(J);
  const std::int32_t columns = SparseMatrix_Cols(J) < n ? SparseMatrix_Cols(J) : n;
  std::int32_t freed = 0;
  std::int32_t head = 0;
  for (std::int32_t level = 0; level < front->depth && head < tail; ++level) {
    const std::int32_t end = tail;
    for (; head < end; ++head) {
      const std::int32_t j = queue[head];
      if (j >= columns) continue;
      for (std::int32_t p = jac.start[j]; p < jac.start[j] + jac.length[j]; ++p) {
        const std::int32_t i = jac.row[p - 1] - 1;
        if (i < 0 || i >= n || now[i] == kFree) continue;
        now[i] = kFree;
        widened[i] = 1;
        queue[tail++] = i;
        ++freed;
      }
    }
  }
  return freed;
}

}  // namespace

CrashFront CrashFront_Start(IDenseVector* previous, IDenseVector* widened, IDenseVector* queue) {
  return CrashFront{previous, widened, queue, false, false, false, false, false, 0, 0, 0};
}

std::int32_t CrashFront_Widen(CrashFront* front, const SparseMatrix* J, IDenseVector* status,
                              bool full_step, std::int32_t room) {
  const std::int32_t n = IDenseVector_Length(status);
  std::int32_t* now = IDenseVector_Array(status);
  std::int32_t queued = 0;
  const std::int32_t prior = front->depth;
  front->depth = 0;
  front->moving = false;
  if (front->started) {
    const Moves moves = Compare(front, now, n);
    front->moving = !moves.overshot && moves.held == 0 && moves.freed > 0;
    // Once corrected, the front is near, and after a damped step the
    // memberships are a weaker guess: a widening then pays only for a step
    // that is factored afresh anyway.
    const std::int32_t least = front->corrected || !full_step ? room : 0;
    if (front->moving && !front->reached && moves.freed > least) {
      std::int32_t depth = prior > 0 && prior < n && !front->restart ? 2 * prior : 1;
      front->restart = false;
      if (front->ceiling > 0 && depth > front->ceiling) depth = front->ceiling;
      front->depth = depth;
      queued = moves.freed;
    }
  }
  IDenseVector_CloneFull(front->previous, status);
  IDenseVector_FillZero(front->widened, n);
  front->count = front->depth > 0 ? Search(front, J, now, n, queued) : 0;
  front->started = true;
  return front->count;
}

std::int32_t CrashFront_Overshoot(CrashFront* front, const DenseVector* target,
                                  const DenseVector* lower, const DenseVector* upper,
                                  IDenseVector* status) {
  const std::int32_t n = IDenseVector_Length(status);
  const double* t = DenseVector_Array(target);
  const double* l = DenseVector_Array(lower);
  const double* u = DenseVector_Array(upper);
  const std::int32_t* rule = IDenseVector_Array(front->previous);
  std::int32_t* widened = IDenseVector_Array(front->widened);
  std::int32_t* codes = IDenseVector_Array(status);
  std::int32_t held = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (widened[i] == 0 || (t[i] >= l[i] && t[i] <= u[i])) continue;
    codes[i] = rule[i];
    widened[i] = 0;
    ++held;
  }
  if (held == 0) return 0;
  front->count -= held;
  if (front->corrected) {
    // The front is within reach: the rule's own steps finish the phase.
    front->reached = true;
  } else {
    front->corrected = true;
    front->restart = true;
    front->ceiling = front->depth / 4 > 1 ? front->depth / 4 : 1;
  }
  return held;
}

void CrashFront_Retract(CrashFront* front, IDenseVector* status) {
  IDenseVector_CloneFull(status, front->previous);
  IDenseVector_FillZero(front->widened, IDenseVector_Length(status));
  // Half the depth that failed, never above the ceiling a correction set.
  const std::int32_t half = front->depth > 1 ? front->depth / 2 : 1;
  if (front->ceiling == 0 || half < front->ceiling) front->ceiling = half;
  front->depth = 0;
  front->count = 0;
}
