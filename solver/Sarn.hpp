// Sarn: the stabilised Newton driver for mixed complementarity problems.
//
// Sarn_Solve takes an MCP record whose MCP_Interface is installed and runs
// the whole solve: banner, start, initial point, initial report, crash,
// major iterations (each linearises F at the current point, has Lemke solve
// the linearised problem LMCP, and lets NMS choose the step or takes the
// full Newton step), restarts when progress stops, final report, statistics
// and finish. The result is a TerminationCode (solver/Information.hpp).
//
// Files: Sarn.cpp (workspace, start, finish, Newton-point helpers),
// SarnSolve.cpp (the major iteration loop), SarnInitial.cpp (banner,
// statistics, initial point), SarnRestart.cpp (crash step and restarts).
#pragma once

#include <cstdint>

#include "solver/Information.hpp"

struct DenseVector;
struct FunctionJacobian;
struct IDenseVector;
struct LCP;
struct LMCP;
struct MCP;

// The version string printed by the banner and the gateways.
constexpr const char* SARN_VERSION = "Sarn 4.7.03";

// The driver's process-wide workspace: one record, reference counted,
// living from Sarn_Start to Sarn_Finish of a solve. Vectors are 1-based with
// capacity max_n (the history: capacity max(residual_size, 1)).
struct DriverWorkspace {
  std::int32_t max_n;    // capacities (at least 1; grow only)
  std::int32_t max_nnz;
  std::int32_t n;        // reduced problem being solved (Sarn_Start)
  std::int32_t nnz;

  DenseVector* start_x;     // start triple: point, its normal-map point, basis codes
  DenseVector* start_y;
  IDenseVector* start_basis;
  DenseVector* x;           // current triple
  DenseVector* y;
  IDenseVector* basis;
  DenseVector* best_x;      // best triple (smallest residual met)
  DenseVector* best_y;
  IDenseVector* best_basis;
  DenseVector* previous_x;  // x before the current step
  DenseVector* direction;   // z - x of the last linearised problem (LMCP finish)

  double start_residual;    // `infinity` until the start point was evaluated
  double residual;
  double best_residual;
  double best_floor;        // rounding floor of the residual at the best point

  std::int32_t major_iterations;
  std::int32_t minor_iterations;  // cumulative pivots
  std::int32_t crash_iterations;
  std::int32_t function_evaluations;
  std::int32_t jacobian_evaluations;
  std::int32_t restarts;
  double elapsed;                 // seconds since the solve began
  std::int32_t gradient_steps;    // total
  std::int32_t gradient_steps_since_restart;
  std::int32_t mstep_request;     // from the crash, for the next NMS step
  std::int32_t residual_code;     // ResidualFunction code of every residual

  std::int32_t history_count;     // NMS_Step's major iteration counter
  DenseVector* residual_history;  // ring of the last residual_size residuals

  Information lemke_info;  // record handed to every Lemke_Method call
  LCP* lcp;                // the linearised problem as Lemke reads it
  LMCP* lmcp;              // the linearisation's own data
  MCP* mcp;                // the problem being solved (not owned)
  std::int32_t refcount;
};

// ---------------------------------------------------------------------------
// Solve, start and finish.

// Solves mcp end to end and fills info (the caller sets info->output_mask;
// the two start controls are not read). Returns a TerminationCode. On every
// way out the timer is destroyed, the interrupt service restored, the
// pivoting method's start vector cleared and the caller's jump point put
// back; a solver error raised inside also releases the driver workspace
// before it passes on.
int Sarn_Solve(MCP* mcp, Information* info);

// Starts mcp (MCP_Start) and prepares the driver workspace for its reduced
// problem: start point projected onto the bounds, counters zeroed, residuals
// at `infinity`, residual code from merit_function. Returns 13, or the code
// of MCP_Start when it is not 13 (no workspace is made then).
int Sarn_Start(MCP* mcp);

// MCP_Finish with the current point and basis, then drops the workspace
// reference of Sarn_Start.
void Sarn_Finish(MCP* mcp, int code);

// Stores the problem class (a ProblemClass code, PROBLEM_CLASS_NONE up to
// PROBLEM_CLASS_COUNT - 1) in mcp; PROBLEM_CLASS_NO_CRASH also sets
// crash_method none and crash_perturb yes. Null mcp: nothing. Another
// class: solver error "Sarn: SetProblemClass: Invalid problem class.\n"
// (nothing stored).
void Sarn_SetProblemClass(MCP* mcp, int problem_class);

// "Sarn 4.7.03".
const char* Sarn_Version();

// ---------------------------------------------------------------------------
// Workspace.

// n and nnz below 1 count as 1. Without a workspace: creates it (count 1)
// together with the LMCP record, the LCP record, the scratch Workspace, the
// Lemke workspace and the NMS state (n, nms_memory_size). With one: grows
// it (Sarn_ResizeWorkspace) and adds a reference. Returns the workspace.
DriverWorkspace* Sarn_CreateWorkspace(std::int32_t n, std::int32_t nnz);

// Capacities := max(old, new); every n-vector (the LMCP ones too) gets room
// for the capacity n and the history for residual_size; grows the scratch
// Workspace, the Lemke workspace and the NMS state. Never shrinks. Nothing
// without a workspace.
void Sarn_ResizeWorkspace(std::int32_t n, std::int32_t nnz);

// One reference more / less. At zero every vector, the LCP and LMCP records
// and the record are freed, and one reference each of the Lemke workspace,
// the NMS state and the scratch Workspace is dropped. Both do nothing
// without a workspace; both return the remaining count (0 without one).
std::int32_t Sarn_ReferenceWorkspace();
std::int32_t Sarn_DestroyWorkspace();

// The workspace, or nullptr when none exists.
DriverWorkspace* Sarn_GetWorkspace();

// Whether a proximal perturbation was switched on during this solve (cleared
// by Sarn_Solve before the start; set after the crash and by the restarts).
std::int32_t Sarn_ProximalInUse();
void Sarn_SetProximalInUse(std::int32_t value);

// Forgets the workspace pointer and the proximal flag without touching any
// memory (process-state reset after an abandoned call).
void Sarn_ForgetState();
// True while there is no workspace and no proximal term in use.
bool Sarn_StateAtRest();

// ---------------------------------------------------------------------------
// Newton-point helpers for NMS and the crash. Both read what the finish slot
// of the linearised problem left in the LMCP record: the new point z and its
// normal-map point in the problem's own (unscaled) terms, whatever scaling
// the linearisation used. lcp is the record Lemke solved (not read beyond
// that). x and y need capacity n; their length becomes n.

// x := z, the solution of the last linearised problem.
void Sarn_NewtonPoint(LCP* lcp, DenseVector* x);

// y := the normal-map form of z: y_i = l_i - w_i when z_i sits at l_i with
// w_i > 0, u_i - w_i when z_i sits at u_i with w_i < 0, else z_i, where w is
// the linear model F + J (z - x) (+ the proximal term) at z.
void Sarn_NewtonNormalPoint(LCP* lcp, DenseVector* y);

// ---------------------------------------------------------------------------
// Initial point, banner and statistics (SarnInitial.cpp).

// Writes the banner line and the basis back-end's banner lines (mode 7).
void Sarn_Banner();

// Writes the run statistics of info in mode.
void Sarn_Statistics(int mode, const Information* info);

// Re-classifies the current basis codes against the current point and F
// (the scratch pair); warns "Basis modifications: %d\n" when any changed.
void Sarn_BasisModifications(MCP* mcp);

// Sets the current point, its normal-map point, basis and residual from the
// start point or, when that cannot be used, from the bounds; F and J at the
// point are left in the scratch pair. Solver error "Sarn: GenerateInitialPoint:
// cannot find initial point.\n" when neither point can be evaluated.
void Sarn_GenerateInitialPoint(MCP* mcp);

// ---------------------------------------------------------------------------
// Crash step and restarts (SarnRestart.cpp).

// Runs the crash phase at the current point under its own interrupt scope
// (an interrupt ends only the crash) and folds its counts, point and
// residual into the workspace.
void Sarn_Crash(MCP* mcp);

// Changes option values by the number of restarts made, logs each change,
// returns to the start point, runs the crash again and starts a new residual
// history. Returns 1 after a restart, 0 when none is allowed.
int Sarn_Restart(MCP* mcp);
