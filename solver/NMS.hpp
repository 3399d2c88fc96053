// NMS: non-monotone stabilisation of the Newton method.
//
// Each major iteration the driver hands NMS_Step the Newton point z of the
// linearised problem. NMS_Step accepts z when its merit passes a
// non-monotone test against a reference value R (the largest of the last m
// accepted merit values), bounds the step length by a shrinking step bound
// delta, keeps checkpoints to which it can return (watchdog), and falls back
// to an arc or line search and to a gradient step. Its result code tells
// the driver what happened.
//
// One process-wide, reference-counted NMS_State lives as long as the driver
// workspace. Besides it the module keeps the merit code of the current step,
// the number of returns to the checkpoint since the last initialisation and
// a saved copy of nms_initial_reference_factor (the first steps run with the
// factor 1.0).
//
// The step operations share their arguments: the MCP record (reduced
// problem), the step record (Information layout: step_length,
// function_evaluations and jacobian_evaluations of this step,
// mstep_request, gradient_request), the driver's current point x and its
// normal-map point y (n entries; overwritten with the accepted point), the
// function-Jacobian pair (F and J at x on entry; F at the returned x on
// success) and the major iteration counter *k (rewound by a return to a
// checkpoint). Scratch: Workspace vectors 1 (z), 2 (zn, the normal-map form
// of z), 3 (merit gradient g at x) and 4 (candidate point).
#pragma once

#include <cstdint>

struct DenseVector;
struct FunctionJacobian;
struct Information;
struct LCP;
struct MCP;

// Result codes of NMS_Step.
enum NMS_Result : int {
  NMS_DSTEP_NONMONOTONE = 0,  // D step moved to z without a reference update
  NMS_DSTEP_ACCEPTED = 1,     // D step accepted z
  NMS_MSTEP_ACCEPTED = 2,     // M step accepted z
  NMS_SEARCH_ACCEPTED = 3,    // search from the current point succeeded
  NMS_WATCHDOG_ACCEPTED = 4,  // search after a return to the checkpoint succeeded
  NMS_GRADIENT_STEP = 5,      // gradient step taken
  NMS_FAILED = 7,             // search or gradient step failed, or too many watchdogs
};

// A point to which the stabilisation can return.
struct NMS_Checkpoint {
  DenseVector* x;          // the point (capacity max_n)
  DenseVector* y;          // its normal-map point
  DenseVector* z;          // the Newton point computed at x (one iteration later)
  DenseVector* zn;         // its normal-map form
  DenseVector* reference;  // stored merit values 1..count (capacity max_m)
  double R;                // reference value: the largest stored value
  double delta;            // step bound when the checkpoint was taken
  double merit;            // merit at x
  double proximal;         // proximal_perturbation when the checkpoint was taken
  std::int32_t iteration;  // major iteration at which x was current
  std::int32_t count;      // stored reference values, 0..m
  std::int32_t max_n;
  std::int32_t max_m;
  std::int32_t n;
  std::int32_t m;
};

struct NMS_State {
  NMS_Checkpoint* current;
  NMS_Checkpoint* best;
  double delta;  // the step bound in force
  std::int32_t max_n;
  std::int32_t max_m;
  std::int32_t n;
  std::int32_t m;
  std::int32_t refcount;
};

// ---------------------------------------------------------------------------
// State lifecycle (with the driver workspace)

// With a state: NMS_Resize (n, m) and one more reference. Without: a new
// state of capacities (n, m) (each at least 1), in-use sizes 0, reference
// count 1 and two empty checkpoints.
void NMS_Create(std::int32_t n, std::int32_t m);
// One more reference; nothing without a state.
void NMS_Reference();
// One reference less; below 1 destroys both checkpoints and the state.
// Nothing without a state.
void NMS_Destroy();
// Capacities := the larger of old and new (m at least 1); grows both
// checkpoints. Never shrinks. Nothing without a state.
void NMS_Resize(std::int32_t n, std::int32_t m);
// The state, or null.
NMS_State* NMS_GetState();
// Forgets the state and the module's settings without freeing anything (a
// host may already have reclaimed that memory after an abandoned call).
void NMS_ForgetState();
// True while there is no state and the settings hold their values at load.
bool NMS_StateAtRest();

// Checkpoint of capacities (n, m) (each at least 1), sizes 0.
NMS_Checkpoint* NMS_CreateCheckpoint(std::int32_t n, std::int32_t m);
// Destroys the five vectors and frees the record; null is ignored.
void NMS_DestroyCheckpoint(NMS_Checkpoint* c);
// Capacities := the maxima; the four point vectors get room for max_n and
// the reference vector for max_m (contents are lost when storage grows).
void NMS_ResizeCheckpoint(NMS_Checkpoint* c, std::int32_t n, std::int32_t m);
// dst := src (vectors and scalars); nothing when both are the same record.
// dst must have src's capacities (both checkpoints of the state do).
void NMS_CopyCheckpoint(NMS_Checkpoint* dst, const NMS_Checkpoint* src);

// Merit code of the current step (a ResidualFunction code) and the number
// of returns to the checkpoint since the last initialisation.
int NMS_MeritCode();
void NMS_SetMeritCode(int code);
std::int32_t NMS_WatchdogCount();

// ---------------------------------------------------------------------------
// Steps

// One stabilised step from x with the Newton point of the last linearised
// problem (Sarn_NewtonPoint, Sarn_NewtonNormalPoint of lcp). lc, the result
// of the pivoting method, is not read. Returns an NMS_Result.
int NMS_Step(MCP* mcp, LCP* lcp, int lc, Information* record, DenseVector* x, DenseVector* y,
             FunctionJacobian* FJ, std::int32_t* k);

// NMS_Step with the Newton point given: z and its normal-map form zn (n
// entries each) are copied into the scratch vectors first, so the
// initialisation measures delta from this iteration's z.
int NMS_StepWithNewtonPoint(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
                            FunctionJacobian* FJ, std::int32_t* k, DenseVector* z,
                            DenseVector* zn);

// Starts the checkpoints at x (merit at x from FJ): reference values m
// zeros, then R from the merit and nms_initial_reference_factor (at least
// nms_initial_reference_minimum) as the only stored value, delta from the
// distance to the Newton point z in scratch vector 1 and
// nms_initial_stepsize_factor (at least nms_initial_stepsize_minimum); best
// := current; watchdog count := 0. m := nms_memory_size (at least 1).
void NMS_Initialize(MCP* mcp, DenseVector* x, DenseVector* y, FunctionJacobian* FJ,
                    std::int32_t k);

// After an accepted step to x (merit f) at iteration k: the current
// checkpoint moves to x; f joins the reference memory (a full memory
// replaces its largest value, the first of equal ones); R := the largest of
// 0 and the stored values; best := current when f is below best's merit.
void NMS_UpdateReference(DenseVector* x, DenseVector* y, double f, std::int32_t k);

// Returns to the best checkpoint unless it is the previous iteration, then
// evaluates F and J at x. Returns 1, or 0 when they are undefined there.
int NMS_RestoreBest(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
                    FunctionJacobian* FJ, std::int32_t* k);

// Gradient step from the best checkpoint, downhill along minus the merit
// gradient. Returns 5, or 7 when the search fails. An unrequested step
// (gradient_request clear) empties the reference memory first.
int NMS_GradientStep(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
                     FunctionJacobian* FJ, std::int32_t* k);

// Search from y towards zn (scratch vector 2) against the checkpoint's R,
// starting at the step nms_shrink_factor. Returns 4 on success; on failure
// 7 for a merit without gradient, else the gradient step's result.
int NMS_Search(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
               FunctionJacobian* FJ, std::int32_t* k);

// Searches from x when the checkpoint is the previous iteration (3 on
// success); otherwise returns to the checkpoint (7 beyond
// nms_maximum_watchdogs returns) and searches from there (4 on success).
int NMS_WatchdogStep(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
                     FunctionJacobian* FJ, std::int32_t* k);

// Checkpoint step to z (ok: F defined at z; f_z: merit at z): accepted
// (2) when f_z passes the sufficient-decrease test against R, else the
// watchdog step.
int NMS_MStep(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
              FunctionJacobian* FJ, std::int32_t* k, int ok, double f_z);

// Distance-bounded step to z: beyond delta it is the M step; otherwise
// delta shrinks and z is accepted by the sufficient-decrease test (1) or,
// within nms_large_reference_factor times R, without a reference update (0);
// otherwise the watchdog step.
int NMS_DStep(MCP* mcp, Information* record, DenseVector* x, DenseVector* y,
              FunctionJacobian* FJ, std::int32_t* k, int ok, double f_z);
