// Non-monotone stabilisation: the state and its checkpoints, the reference
// memory, and the D, M, watchdog, search and gradient steps.
#include "solver/NMS.hpp"

#include <limits>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/Memory.hpp"
#include "core/Workspace.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/Information.hpp"
#include "solver/SarnOptions.hpp"
#include "solver/Search.hpp"

namespace {

// The process-wide state and the module's settings.
NMS_State* state = nullptr;
int merit_code = RESIDUAL_FISCHER_BURMEISTER;
std::int32_t watchdog_count = 0;
double saved_reference_factor = 0.0;
// Merit at x of the step in progress; the gradient at x is scratch vector 3.
double merit_at_x = 0.0;

NMS_State* Require(const char* operation, int line) {
  if (state == nullptr) Error_Report("NMS", line, operation, "no stabilisation state");
  return state;
}

// Scratch vector i with room for n entries.
DenseVector* Scratch(std::int32_t i, std::int32_t n) {
  DenseVector* v = Workspace_Vector(i);
  if (DenseVector_Capacity(v) < n) DenseVector_Size(v, n);
  return v;
}

DenseVector* NewtonPoint(std::int32_t n) { return Scratch(1, n); }
DenseVector* NewtonNormalPoint(std::int32_t n) { return Scratch(2, n); }
DenseVector* Gradient(std::int32_t n) { return Scratch(3, n); }
DenseVector* Candidate(std::int32_t n) { return Scratch(4, n); }

// dst := src for a dst with room (the checkpoints and the driver's vectors).
void Copy(DenseVector* dst, const DenseVector* src) {
  if (DenseVector_Capacity(dst) < DenseVector_Length(src)) {
    Error_Report("NMS", __LINE__, "Copy", "vector too short");
  }
  DenseVector_CloneFull(dst, src);
}

double Proximal() { return Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION); }
void SetProximal(double value) {
  Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].double_value = value;
}

bool Differentiable() { return Is_Differentiable(merit_code) != 0; }

// Merit at x, with the gradient into scratch 3 when the code has one.
void MeritAtX(MCP* mcp, DenseVector* x, FunctionJacobian* FJ) {
  if (Differentiable()) {
    merit_at_x = Search_MeritGradient(mcp, merit_code, x, FJ, Gradient(DenseVector_Length(x)));
  } else {
    merit_at_x = Search_Merit(mcp, merit_code, x, FJ);
  }
}

// The sufficient-decrease test of the M and D steps: with a gradient, the
// slope s = g'(z - x) (replaced by -R when it points uphill) and
// R + sigma s > f_z; without one, (1 - sigma) R > f_z.
bool Accepts(DenseVector* x, DenseVector* z, double f_z) {
  const double R = state->current->R;
  const double sigma = Sarn_OptionDouble(SARN_NMS_SIGMA);
  if (Differentiable()) {
    const std::int32_t n = DenseVector_Length(x);
    const double* g = DenseVector_Array(Gradient(n));
    const double* xs = DenseVector_Array(x);
    const double* zs = DenseVector_Array(z);
    double s = 0.0;
    for (std::int32_t i = 0; i < n; ++i) s += g[i] * (zs[i] - xs[i]);
    if (s > 0.0) s = -R;
    return R + sigma * s > f_z;
  }
  return (1.0 - sigma) * R > f_z;
}

// x, y := the Newton point and its normal-map form.
void MoveToNewtonPoint(DenseVector* x, DenseVector* y) {
  const std::int32_t n = DenseVector_Length(x);
  Copy(x, NewtonPoint(n));
  Copy(y, NewtonNormalPoint(n));
}

// x := the accepted candidate, y := its normal-map point from F there.
void MoveToCandidate(MCP* mcp, DenseVector* x, DenseVector* y, FunctionJacobian* FJ) {
  Copy(x, Candidate(DenseVector_Length(x)));
  MCP_NormalMapPoint(mcp, y, x, FJ);
}

// Counts one evaluation of F and J in the step record.
int EvaluateJacobian(MCP* mcp, Information* record, DenseVector* x, FunctionJacobian* FJ) {
  int ok = MCP_Jacobian(mcp, x, FJ);
  record->function_evaluations += 1;
  record->jacobian_evaluations += 1;
  return ok;
}

}  // namespace

// ---------------------------------------------------------------------------
// Checkpoints

NMS_Checkpoint* NMS_CreateCheckpoint(std::int32_t n, std::int32_t m) {
  if (n < 1) n = 1;
  if (m < 1) m = 1;
  NMS_Checkpoint* c = Memory_AllocateArray<NMS_Checkpoint>(1);
  *c = NMS_Checkpoint{};
  try {
    c->x = DenseVector_Create(n);
    c->y = DenseVector_Create(n);
    c->z = DenseVector_Create(n);
    c->zn = DenseVector_Create(n);
    c->reference = DenseVector_Create(m);
  } catch (...) {
    NMS_DestroyCheckpoint(c);
    throw;
  }
  c->max_n = n;
  c->max_m = m;
  return c;
}

void NMS_DestroyCheckpoint(NMS_Checkpoint* c) {
  if (c == nullptr) return;
  DenseVector_Destroy(c->x);
  DenseVector_Destroy(c->y);
  DenseVector_Destroy(c->z);
  DenseVector_Destroy(c->zn);
  DenseVector_Destroy(c->reference);
  Memory_Free(c);
}

void NMS_ResizeCheckpoint(NMS_Checkpoint* c, std::int32_t n, std::int32_t m) {
  if (n > c->max_n) c->max_n = n;
  if (m > c->max_m) c->max_m = m;
  for (DenseVector* v : {c->x, c->y, c->z, c->zn}) DenseVector_Size(v, c->max_n);
  DenseVector_Size(c->reference, c->max_m);
}

void NMS_CopyCheckpoint(NMS_Checkpoint* dst, const NMS_Checkpoint* src) {
  if (dst == src) return;
  if (dst->max_n < src->max_n || dst->max_m < src->max_m) {
    Error_Report("NMS", __LINE__, "CopyCheckpoint", "checkpoint too small");
  }
  Copy(dst->x, src->x);
  Copy(dst->y, src->y);
  Copy(dst->z, src->z);
  Copy(dst->zn, src->zn);
  Copy(dst->reference, src->reference);
  dst->R = src->R;
  dst->delta = src->delta;
  dst->merit = src->merit;
  dst->proximal = src->proximal;
  dst->iteration = src->iteration;
  dst->count = src->count;
  dst->n = src->n;
  dst->m = src->m;
}

// ---------------------------------------------------------------------------
// State lifecycle

void NMS_Create(std::int32_t n, std::int32_t m) {
  if (n < 1) n = 1;
  if (m < 1) m = 1;
  if (state != nullptr) {
    NMS_Resize(n, m);
    NMS_Reference();
    return;
  }
  NMS_State* s = Memory_AllocateArray<NMS_State>(1);
  *s = NMS_State{};
  try {
    s->current = NMS_CreateCheckpoint(n, m);
    s->best = NMS_CreateCheckpoint(n, m);
  } catch (...) {
    NMS_DestroyCheckpoint(s->current);
    Memory_Free(s);
    throw;
  }
  s->max_n = n;
  s->max_m = m;
  s->refcount = 1;
  state = s;
}

void NMS_Reference() {
  if (state != nullptr) state->refcount += 1;
}

void NMS_Destroy() {
  if (state == nullptr) return;
  state->refcount -= 1;
  if (state->refcount >= 1) return;
  NMS_DestroyCheckpoint(state->current);
  NMS_DestroyCheckpoint(state->best);
  Memory_Free(state);
  state = nullptr;
}

void NMS_Resize(std::int32_t n, std::int32_t m) {
  if (state == nullptr) return;
  if (m < 1) m = 1;
  if (n > state->max_n) state->max_n = n;
  if (m > state->max_m) state->max_m = m;
  NMS_ResizeCheckpoint(state->current, state->max_n, state->max_m);
  NMS_ResizeCheckpoint(state->best, state->max_n, state->max_m);
}

NMS_State* NMS_GetState() { return state; }

void NMS_ForgetState() {
  state = nullptr;
  merit_code = RESIDUAL_FISCHER_BURMEISTER;
  watchdog_count = 0;
  saved_reference_factor = 0.0;
  merit_at_x = 0.0;
}

bool NMS_StateAtRest() {
  return state == nullptr && merit_code == RESIDUAL_FISCHER_BURMEISTER && watchdog_count == 0 &&
         saved_reference_factor == 0.0 && merit_at_x == 0.0;
}

int NMS_MeritCode() { return merit_code; }
void NMS_SetMeritCode(int code) { merit_code = code; }
std::int32_t NMS_WatchdogCount() { return watchdog_count; }

// ---------------------------------------------------------------------------
// Reference memory and checkpoints

void NMS_Initialize(MCP* mcp, DenseVector* x, DenseVector* y, FunctionJacobian* FJ,
                    std::int32_t k) {
  NMS_State* s = Require("Initialize", __LINE__);
  const std::int32_t n = MCP_Variables(mcp);
  const std::int32_t m = Sarn_MemoryLength();
  NMS_Resize(n, m);
  NMS_Checkpoint* current = s->current;
  s->n = n;
  s->m = m;
  current->n = n;
  current->m = m;
  DenseVector_FillZero(current->reference, m);

  current->iteration = k - 1;
  Copy(current->x, x);
  Copy(current->y, y);

  const double f = Search_Merit(mcp, merit_code, x, FJ);
  const double scaled = f * Sarn_OptionDouble(SARN_NMS_INITIAL_REFERENCE_FACTOR);
  const double minimum = Sarn_OptionDouble(SARN_NMS_INITIAL_REFERENCE_MINIMUM);
  const double R = scaled > minimum ? scaled : minimum;
  current->R = R;
  current->merit = f;
  current->proximal = Proximal();
  DenseVector_SetValue(current->reference, 1, R);
  current->count = 1;

  const double distance = DenseVector_Distance(x, NewtonPoint(n));
  const double stretched = distance * Sarn_OptionDouble(SARN_NMS_INITIAL_STEPSIZE_FACTOR);
  const double floor = Sarn_OptionDouble(SARN_NMS_INITIAL_STEPSIZE_MINIMUM);
  const double delta = stretched > floor ? stretched : floor;
  current->delta = delta;
  s->delta = delta;

  NMS_CopyCheckpoint(s->best, current);
  watchdog_count = 0;
}

void NMS_UpdateReference(DenseVector* x, DenseVector* y, double f, std::int32_t k) {
  NMS_State* s = Require("UpdateReference", __LINE__);
  NMS_Checkpoint* current = s->current;
  current->iteration = k;
  Copy(current->x, x);
  Copy(current->y, y);

  const std::int32_t m = current->m < 1 ? 1 : current->m;
  double* values = DenseVector_Array(current->reference);
  if (current->count < m) {
    current->count += 1;
    values[current->count - 1] = f;
    if (DenseVector_Length(current->reference) < current->count) {
      DenseVector_SetLength(current->reference, current->count);
    }
  } else {
    std::int32_t largest = 0;
    for (std::int32_t i = 1; i < current->count; ++i) {
      if (values[i] > values[largest]) largest = i;
    }
    values[largest] = f;
  }
  double R = 0.0;
  for (std::int32_t i = 0; i < current->count; ++i) {
    if (values[i] > R) R = values[i];
  }
  current->R = R;
  current->delta = s->delta;
  current->merit = f;
  current->proximal = Proximal();
  if (s->best->merit > f) NMS_CopyCheckpoint(s->best, current);
}

int NMS_RestoreBest(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
                    FunctionJacobian* FJ, std::int32_t* k) {
  NMS_State* s = Require("RestoreBest", __LINE__);
  NMS_Checkpoint* best = s->best;
  if (*k != best->iteration + 1) {
    s->delta = best->delta;
    *k = best->iteration + 1;
    SetProximal(best->proximal);
    Copy(x, best->x);
    Copy(y, best->y);
  }
  return EvaluateJacobian(mcp, record, x, FJ);
}

// ---------------------------------------------------------------------------
// Steps

int NMS_GradientStep(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
                     FunctionJacobian* FJ, std::int32_t* k) {
  NMS_State* s = Require("GradientStep", __LINE__);
  const bool defined = NMS_RestoreBest(mcp, record, x, y, FJ, k) != 0;
  SearchParameters p = Search_GradientParameters();
  // A merit without gradient has no gradient step; neither has a point
  // where F or J is undefined.
  if (!defined || !Differentiable()) return NMS_FAILED;
  p.merit_code = merit_code;
  MeritAtX(mcp, x, FJ);
  const std::int32_t n = DenseVector_Length(x);
  SearchResult result{};
  int found = Search_Bounded(mcp, &p, x, Gradient(n), merit_at_x, FJ, Candidate(n), &result);
  record->function_evaluations += result.function_evaluations;
  if (!found) return NMS_FAILED;

  record->step_length = result.step;
  if (!record->gradient_request) s->current->count = 0;
  MoveToCandidate(mcp, x, y, FJ);
  NMS_UpdateReference(x, y, result.merit, *k);
  return NMS_GRADIENT_STEP;
}

int NMS_Search(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
               FunctionJacobian* FJ, std::int32_t* k) {
  NMS_State* s = Require("Search", __LINE__);
  SearchParameters p = Search_NMSParameters();
  p.merit_code = merit_code;
  const std::int32_t n = DenseVector_Length(x);
  DenseVector* g = Differentiable() ? Gradient(n) : nullptr;
  SearchResult result{};
  int found = Search_Between(mcp, &p, x, y, NewtonNormalPoint(n), g, merit_at_x, s->current->R,
                             FJ, Candidate(n), &result);
  record->function_evaluations += result.function_evaluations;
  if (found) {
    record->step_length = result.step;
    MoveToCandidate(mcp, x, y, FJ);
    NMS_UpdateReference(x, y, result.merit, *k);
    return NMS_WATCHDOG_ACCEPTED;
  }
  if (!Differentiable()) return NMS_FAILED;
  return NMS_GradientStep(mcp, record, x, y, FJ, k);
}

int NMS_WatchdogStep(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
                     FunctionJacobian* FJ, std::int32_t* k) {
  NMS_State* s = Require("WatchdogStep", __LINE__);
  NMS_Checkpoint* current = s->current;
  if (*k == current->iteration + 1) {
    int r = NMS_Search(mcp, record, x, y, FJ, k);
    return r == NMS_WATCHDOG_ACCEPTED ? NMS_SEARCH_ACCEPTED : r;
  }

  watchdog_count += 1;
  if (watchdog_count > Search_ClampCount(Sarn_OptionInt(SARN_NMS_MAXIMUM_WATCHDOGS))) {
    return NMS_FAILED;
  }
  const std::int32_t n = DenseVector_Length(x);
  // The checkpoint's Newton point is stored one iteration after the
  // checkpoint; without it there is nothing to search towards.
  if (DenseVector_Length(current->z) != n || DenseVector_Length(current->zn) != n) {
    return NMS_FAILED;
  }
  s->delta = current->delta;
  *k = current->iteration + 1;
  SetProximal(current->proximal);
  Copy(x, current->x);
  Copy(y, current->y);
  if (!EvaluateJacobian(mcp, record, x, FJ)) return NMS_FAILED;
  if (Differentiable()) MeritAtX(mcp, x, FJ);
  Copy(NewtonPoint(n), current->z);
  Copy(NewtonNormalPoint(n), current->zn);
  return NMS_Search(mcp, record, x, y, FJ, k);
}

int NMS_MStep(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
              FunctionJacobian* FJ, std::int32_t* k, int ok, double f_z) {
  Require("MStep", __LINE__);
  if (!ok) {
    Error_Warning("NMS: MStep: domain error.\n");
    return NMS_WatchdogStep(mcp, record, x, y, FJ, k);
  }
  if (Accepts(x, NewtonPoint(DenseVector_Length(x)), f_z)) {
    MoveToNewtonPoint(x, y);
    NMS_UpdateReference(x, y, f_z, *k);
    return NMS_MSTEP_ACCEPTED;
  }
  return NMS_WatchdogStep(mcp, record, x, y, FJ, k);
}

int NMS_DStep(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
              FunctionJacobian* FJ, std::int32_t* k, int ok, double f_z) {
  NMS_State* s = Require("DStep", __LINE__);
  if (!ok) {
    Error_Warning("NMS: DStep: domain error.\n");
    return NMS_WatchdogStep(mcp, record, x, y, FJ, k);
  }
  DenseVector* z = NewtonPoint(DenseVector_Length(x));
  if (DenseVector_Distance(x, z) > s->delta) return NMS_MStep(mcp, record, x, y, FJ, k, ok, f_z);

  s->delta *= Search_ClampShrink(Sarn_OptionDouble(SARN_NMS_DELTA_SHRINK_FACTOR));
  if (Sarn_OptionDouble(SARN_NMS_DELTA_MIN) > s->delta) s->delta = 0.0;

  if (Accepts(x, z, f_z)) {
    MoveToNewtonPoint(x, y);
    NMS_UpdateReference(x, y, f_z, *k);
    return NMS_DSTEP_ACCEPTED;
  }
  if (f_z <= Sarn_OptionDouble(SARN_NMS_LARGE_REFERENCE_FACTOR) * s->current->R) {
    MoveToNewtonPoint(x, y);
    return NMS_DSTEP_NONMONOTONE;
  }
  Error_Warning("Large Step.\n");
  return NMS_WatchdogStep(mcp, record, x, y, FJ, k);
}

int NMS_StepWithNewtonPoint(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
                            FunctionJacobian* FJ, std::int32_t* k, DenseVector* z,
                            DenseVector* zn) {
  NMS_State* s = Require("Step", __LINE__);
  record->step_length = 1.0;
  record->function_evaluations = 0;
  record->jacobian_evaluations = 0;
  merit_code = Search_MeritCode(Sarn_OptionInt(SARN_MERIT_FUNCTION));

  // The Newton point comes first: the initialisation measures the step
  // bound from it.
  const std::int32_t n = MCP_Variables(mcp);
  DenseVector* zs = NewtonPoint(n);
  DenseVector* zns = NewtonNormalPoint(n);
  if (z != zs) Copy(zs, z);
  if (zn != zns) Copy(zns, zn);

  // The first steps run with the reference factor 1.0 (monotone); the
  // option's own value comes back after nms_initial_monotone_steps steps.
  // The step counts are compared in 64 bits: the option may be any int.
  const std::int64_t monotone = Sarn_OptionInt(SARN_NMS_INITIAL_MONOTONE_STEPS);
  Option& factor = Sarn_OptionTable[SARN_NMS_INITIAL_REFERENCE_FACTOR];
  if (*k <= monotone + 1) {
    if (*k == 1) {
      saved_reference_factor = factor.double_value;
      factor.double_value = 1.0;
    }
    if (*k == monotone + 1) factor.double_value = saved_reference_factor;
    NMS_Initialize(mcp, x, y, FJ, *k);
  } else if (s->n != n) {
    // Checkpoints that belong to another problem size cannot be returned to.
    NMS_Initialize(mcp, x, y, FJ, *k);
  }

  if (*k == s->current->iteration + 1) {
    Copy(s->current->z, zs);
    Copy(s->current->zn, zns);
  }
  if (*k == s->best->iteration + 1) {
    Copy(s->best->z, zs);
    Copy(s->best->zn, zns);
  }

  if (Differentiable()) MeritAtX(mcp, x, FJ);

  const int ok = MCP_Function(mcp, zs, FJ);
  record->function_evaluations += 1;
  const double f_z = ok ? Search_Merit(mcp, merit_code, zs, FJ)
                        : std::numeric_limits<double>::quiet_NaN();

  if (record->mstep_request) return NMS_MStep(mcp, record, x, y, FJ, k, ok, f_z);
  if (record->gradient_request && Differentiable()) {
    return NMS_GradientStep(mcp, record, x, y, FJ, k);
  }
  record->gradient_request = 0;
  if (!ok || *k <= monotone) return NMS_WatchdogStep(mcp, record, x, y, FJ, k);
  const std::int64_t mstep_due = static_cast<std::int64_t>(s->current->iteration) +
                                 Sarn_OptionInt(SARN_NMS_MSTEP_FREQUENCY);
  if (*k >= mstep_due) {
    return NMS_MStep(mcp, record, x, y, FJ, k, ok, f_z);
  }
  return NMS_DStep(mcp, record, x, y, FJ, k, ok, f_z);
}
