// Lemke: the complementary pivoting method that solves one linear
// complementarity problem (each linearised subproblem of the Newton method,
// or an LCP on its own) read through the current LCP_Interface.
//
// The method works on an augmented problem of n rows and 4n + 1 columns,
// numbered from 1:
//   1 .. n        z_i  the LCP's variables, bounds [l_i, u_i]
//   n+1 .. 2n     w_i  slack of F_i at the lower bound of z_i, bounds [0, inf)
//   2n+1 .. 3n    v_i  slack of F_i at the upper bound of z_i, bounds [0, inf)
//   3n+1 .. 4n    a_i  artificial of row i, bounds [lemke_artificial_minimum,
//                      lemke_artificial_maximum]
//   4n+1          t    covering variable, bounds [0, inf)
// with A = [M, -I, I, I] and the covering column appended by the start, so
// that every iterate satisfies A x + q + (covering column) t = 0. The basis
// is a list of n column indices (position k holds the column basic there).
//
// Order of one solve (Lemke_Method): Lemke_Setup, Lemke_Basis, Lemke_Start,
// Lemke_ResetPivotState, Lemke_Solve, Lemke_Finish. The workspace is one
// process-wide record, reference counted; the method is not re-entrant.
#pragma once

#include <cstdint>

struct DenseVector;
struct IDenseVector;
struct SparseMatrix;
struct Basis;
struct LCP;
struct Information;

// Result codes of the method.
enum LemkeCode : std::int32_t {
  LEMKE_SOLVED = 1,           // 'S': t left the basis
  LEMKE_RAY = 3,              // 'R': the entering variable is not blocked
  LEMKE_SINGULAR = 4,         // 'N': singular basis update or best-point basis
  LEMKE_CYCLE = 5,            // 'C': cycling detected
  LEMKE_RESET_FAILED = 6,     // 'T': the reset after a refactorization failed
  LEMKE_ITERATION_LIMIT = 7,  // 'I': minor iteration limit reached
};

// Letter of a LemkeCode for the iteration logs ('?' for other values).
char Lemke_CodeLetter(int code);

// Entering status: 0 and 3 move the entering variable up, 4 down; 1 is a z
// entering after its v left (down); 2 is the variable an artificial had
// replaced, which moves in its feasible direction (the one that lowers t
// when both are feasible).
enum LemkeEnteringStatus : std::int32_t {
  LEMKE_ENTER_FROM_LOWER = 0,
  LEMKE_ENTER_FROM_UPPER = 1,
  LEMKE_ENTER_REPLACED = 2,
  LEMKE_ENTER_RAY_START = 3,
  LEMKE_ENTER_RESIDUAL_START = 4,
};

// Kind of the leaving move.
enum LemkeLeavingKind : std::int32_t {
  LEMKE_LEAVE_LOWER = 0,  // leaves at its lower bound
  LEMKE_LEAVE_UPPER = 1,  // leaves at its upper bound
  LEMKE_LEAVE_RAY = 2,    // no blocking variable
};

// Pivot positions that are not basis positions (which count from 1).
constexpr std::int32_t LEMKE_POSITION_FLIP = 0;  // the entering variable moves to its other bound
constexpr std::int32_t LEMKE_POSITION_RAY = -1;  // nothing blocks the entering variable

// The pivot record: one step of the method.
struct LemkePivot {
  double t_now;            // t before the step
  double t_after;          // t after the step
  double entering_value;   // current value of the entering variable
  double leaving_value;    // bound at which the leaving variable leaves
  double theta;            // step length, not negative
  std::int32_t entering_status;  // LemkeEnteringStatus
  std::int32_t kind;             // LemkeLeavingKind
  std::int32_t entering;         // entering column
  std::int32_t leaving;          // leaving column
  std::int32_t position;         // a basis position, LEMKE_POSITION_FLIP or _RAY
  std::int32_t direction;        // +1 or -1, fixed by the ratio test
  double pivot_element;          // entry of the entering column at the position
};

// State of the pivot rule for one solve (tolerances read from the option
// group when the rule is reset; the expanding tolerances live in the option
// records themselves).
struct LemkeRule {
  std::int32_t type;            // LemkePivotType
  double pivot_tolerance;       // entries of magnitude <= this never block
  double epsilon;               // relative tolerance of ties between ratios
  double delta;                 // bound relaxation of the first pass
  double minimum_step;          // expand, adaptive: the per-pivot growth of delta
  std::int32_t lexicographic;   // ties resolved lexicographically (cycling guard)
};

// The process-wide workspace. Vectors hold their documented lengths while a
// solve runs; capacities only grow.
struct LemkeWorkspace {
  std::int32_t max_n, max_nnz;         // capacities (grow only)
  std::int32_t n, nnz;                 // problem being solved
  std::int32_t a_rows_capacity, a_cols_capacity, a_nnz_capacity;
  std::int32_t rows, cols, a_nnz;      // current augmented problem

  // Start controls from the caller (factor the given basis unchanged; start
  // from the given basis), the caller's OutputMode mask, and the working
  // copies that the starting basis may change.
  std::int32_t factor_given_basis, start_from_given_basis, output_mask;
  std::int32_t factor_given_basis_used, start_from_given_basis_used;
  // Streams written by the dumps and messages, and by the minor log.
  std::int32_t streams_written, log_streams_written;

  SparseMatrix* A;          // n x (4n + 1)
  DenseVector* q;           // n
  DenseVector* lower;       // 4n + 1
  DenseVector* upper;       // 4n + 1
  DenseVector* x;           // 4n + 1, nonbasic values (basic columns hold 0)
  DenseVector* xB;          // n, value of the variable basic in each position
  IDenseVector* basis;      // n, column basic in each position

  LemkePivot pivot;
  LemkeRule rule;

  // Scratch and bookkeeping.
  DenseVector* best_x;      // 4n + 1, best-point copy of x (also the finish's z)
  DenseVector* d;           // n, entering column B^-1 a_e
  DenseVector* column;      // n, the dense entering column a_e
  IDenseVector* artificial; // n, for a_i the column it replaced (0 unused)
  std::int32_t minor_limit, minor_count, first_step;
  std::int32_t refactor_count;
  IDenseVector* cycle_counts;   // 4n + 1, entering counts while the watch is on
  IDenseVector* cycle_touched;  // columns whose count is non-zero
  std::int32_t cycle_touched_count, cycle_watch;
  Basis* factor;            // the scratch Workspace's timed basis
  DenseVector* best_xB;     // n
  DenseVector* cover;       // n, r = M z + q after setup, then the covering column
  DenseVector* weights;     // n, devex reference weights
  DenseVector* direction;   // n, ray-start direction per row
  IDenseVector* best_basis; // n
  IDenseVector* status;     // n, codes handed to LCP_Finish
  DenseVector* lex_row;     // n, a row of B^-1 (lexicographic ties); B d
  DenseVector* lex_best;    // n, the best such row so far

  // Start and pivot bookkeeping.
  std::int32_t ray_start;          // 1 ray start, 0 residual start
  std::int32_t residual_scaled;    // 1 when the residual start scaled d
  double residual_scale;
  std::int32_t t_position;         // basis position of t, 0 while nonbasic
  double best_t;                   // t at the saved best point
  double smallest_t;               // smallest t after met so far
  LemkePivot best_pivot;
  std::int32_t best_saved;         // 1 once a best-point copy exists
  std::int32_t log_header_written;
  std::int32_t in_solve;           // 1 from setup to finish (holds a reference)

  std::int32_t refcount;
};

// ---------------------------------------------------------------------------
// Workspace.

// Creates the process-wide workspace for n rows and nnz entries of M (with a
// reference to the scratch Workspace and its timed basis), or grows the
// existing one and adds a reference. Returns the workspace.
LemkeWorkspace* Lemke_CreateWorkspace(int n, int nnz);
// Grows capacities to at least (n, nnz); sizes never shrink. No-op without a
// workspace.
void Lemke_ResizeWorkspace(int n, int nnz);
// Adds one reference; returns the new count (0 without a workspace).
int Lemke_ReferenceWorkspace();
// Drops one reference and returns the remaining count; at zero frees every
// member, clears the global and drops the scratch Workspace reference.
// Returns 0 without a workspace.
int Lemke_DestroyWorkspace();
// The workspace, or nullptr while none exists.
LemkeWorkspace* Lemke_GetWorkspace();
// Forgets the workspace pointer without touching its memory and puts the
// random generator back to its state at load (process-state reset after an
// abandoned call).
void Lemke_ForgetState();
// True while there is no workspace and the generator holds its state at
// load.
bool Lemke_StateAtRest();

// ---------------------------------------------------------------------------
// Setup, dump and basis repair.

// Starts lcp through the current LCP_Interface and builds the augmented
// problem and the status-derived starting basis. info: caller's record
// (reads output_mask and the two start controls). Adds a workspace
// reference. Lower bound above upper: solver error.
void Lemke_Setup(LCP* lcp, Information* info);
// Prints the problem when output_linear_model is on, on mask AND 3.
void Lemke_DisplayLCP();
// Replaces the artificial columns 3n+1 .. 4n of A by fresh identity columns
// and marks every artificial unused. A must hold exactly 4n columns.
void Lemke_RemoveArtificials();
// Repairs a basis whose factorization reported singularities, replacing
// singular columns by slacks or artificials, and refactors; at most
// lemke_rank_deficiency_iterations rounds. 1 when factored without
// singularities, 0 when the repair failed (also for a back-end without
// singularity reporting).
int Lemke_Factor(LCP* lcp);

// ---------------------------------------------------------------------------
// Starting basis and start.

// Makes an invertible starting basis through the stages given basis,
// advanced start, constructed basis, slack basis, artificial basis; sets the
// working start controls and the ray-start flag. Solver error when none is
// invertible.
void Lemke_Basis(LCP* lcp);
// Builds the covering column (column 4n + 1) and the basic values: residual
// start or ray start by the ray-start flag. Clears the start vector setting
// after every ray start.
void Lemke_Start();
// Resets the minor limit and count, the cycle watch, the expanding
// tolerances of the pivot rule, best t and the pivot record so that t enters
// first.
void Lemke_ResetPivotState(LemkePivot* pivot);

// Seeds the private generator of the random ray type (fixed seed) and draws
// from it: uniform in [0, 1).
void Lemke_RandomSeed(unsigned int seed);
double Lemke_RandomUniform();

// ---------------------------------------------------------------------------
// Pivot rules (ratio tests).

// Reads the tolerances of the rule chosen by lemke_pivot_type into the rule
// state and resets its per-solve state. Invalid type: solver error
// "Lemke: Solve: Invalid pivot rule selected.\n".
void Lemke_RuleReset(LemkeWorkspace* ws);
// d := B^-1 a_e for the entering column e of the pivot record (a solve with
// the timed basis; the last solve before a basis replacement). When B d
// misses a_e by more than rounding, the basis is refactored, the basic
// values recomputed and the column solved again. 1 to go on, or the
// LemkeCode of a failed refactorization or reset.
int Lemke_EnteringColumn(LemkeWorkspace* ws);
// The ratio test of the current rule: fills direction, theta, kind, leaving
// column, new value, position and pivot element. Ray: position -1. A
// variable that an artificial stood in for, strictly inside its bounds and
// leaving t unchanged, takes the direction in which something blocks it.
void Lemke_RatioTest(LemkeWorkspace* ws, LemkePivot* pivot);
// Advances the rule after a step (expanding tolerances, devex weights);
// when an expanding tolerance starts again the basis is refactored and the
// basic values recomputed. 1 to go on, or the LemkeCode of a failure.
int Lemke_RuleAdvance(LemkeWorkspace* ws, const LemkePivot* pivot);
// The relaxation of the rule in force, read by the reset. Another pivot
// type: solver error "Incorrect pivot type.\n".
double Lemke_RuleDelta();
// Direction of the entering variable of pivot (+1 or -1), from its status,
// its bounds and, for status 2, the entering column d.
int Lemke_Direction(const LemkeWorkspace* ws, const LemkePivot* pivot);

// ---------------------------------------------------------------------------
// Pivoting and solve loop.

// Solves lcp: setup, basis, start, pivoting, finish. info receives the
// working start controls, the streams written, the pivots of this call
// (major_iterations) and the seconds spent (total_time). Returns a
// LemkeCode. Solver errors and interrupt jumps pass through after the
// workspace reference and the timer have been released.
int Lemke_Method(LCP* lcp, Information* info);
// The pivoting loop; returns a LemkeCode.
int Lemke_Solve();
// One step: rule, best point, cycle check, pivot. 1 to go on or a LemkeCode.
int Lemke_Step(LemkePivot* pivot);
// First step of a ray start: t enters far enough to make every basic value
// feasible. 1 to go on or a LemkeCode.
int Lemke_FirstStep(LemkePivot* pivot);
// Exchanges the variables of pivot (values, basis, factorization). 1 to go
// on or a LemkeCode.
int Lemke_Pivot(LemkePivot* pivot);
// Recomputes the basic values from the factorization; 0 on success, 1 when
// a basic value lies beyond its bounds widened by delta by more than a small
// multiple of the tolerance.
int Lemke_Reset(double delta);
// Chooses the next entering variable, the complement of the leaving one.
void Lemke_Complement(LemkePivot* pivot);
// Hands the solution (or the best point met) to LCP_Finish, writes the
// controls, streams and pivots into info, and drops the workspace
// reference. Returns the final code (4 when the best point's basis is
// singular).
int Lemke_Finish(LCP* lcp, Information* info, int code);
// Writes one minor iteration log line when the pivot count is a multiple of
// output_minor_iterations_frequency (streams: mask AND (2, or 3 with
// output_minor_iterations)).
void Lemke_LogIteration(const LemkePivot* pivot);
