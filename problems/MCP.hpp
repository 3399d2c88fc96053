// MCP: the mixed complementarity problem as the solver sees it.
//
// A caller creates the record for n variables and a bound on the Jacobian
// entries, installs its callbacks (MCP_Interface, and optionally the presolve
// and second-function records) and hands the record to the solver. The record
// carries the problem in two numberings:
// - the full problem, numbered 1..n as the caller numbers it; the callbacks,
//   the presolve, the names and the finish see only this numbering;
// - the reduced problem 1..n_r on which the solver works: the variables that
//   are not fixed (lower == upper) and, with the free-variable transform on
//   and free variables present, one extra variable "eta" last.
// MCP_Start builds the reduced problem, MCP_Function / MCP_Jacobian evaluate
// in reduced numbering, MCP_Finish maps the solution back; start and finish
// drive the presolve and postsolve, so they sit above it, in the presolve
// folder (presolve/MCP_Start.hpp, presolve/MCP_Finish.hpp).
//
// Every call of the evaluation callbacks passes the record's own storage: x
// is the full point (MCP_FullX), f the evaluation's F and the four Jacobian
// arrays those of the evaluation's Jacobian. The record never writes the
// Jacobian's structure itself; it sets the entry count to the room before a
// call and reads the count back, then checks the count, the column starts and
// lengths and the row indices before anything reads them.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/RecordStack.hpp"
#include "core/SparseMatrix.hpp"

// Per-variable basis status codes. 2 is never produced.
enum BasisStatus : std::int32_t {
  BASIS_NONE = 0,   // no status yet
  BASIS_BASIC = 1,  // strictly between its bounds (or free)
  BASIS_LOWER = 3,  // at its lower bound
  BASIS_UPPER = 4,  // at its upper bound
  BASIS_FIXED = 5,  // lower bound equals upper bound
};

// Problem-class codes a caller may store on the record for the solver core
// (Sarn_SetProblemClass). Codes between the two named ones are valid and
// change nothing; only PROBLEM_CLASS_NO_CRASH changes the solve.
enum ProblemClass : int {
  PROBLEM_CLASS_NONE = 0,      // no class given: the record's class at creation
  PROBLEM_CLASS_NO_CRASH = 6,  // no crash phase, proximal perturbation on
  PROBLEM_CLASS_COUNT = 7,     // valid codes lie below this
};

// Status codes of the start and of the presolve operations.
enum MCP_StartStatus : int {
  MCP_SOLVED = 1,        // nothing left to solve
  MCP_INTERRUPTED = 6,   // user interrupt during the start
  MCP_BOUND_ERROR = 7,   // some lower bound above its upper bound
  MCP_UNDEFINED = 8,     // F or its Jacobian undefined at the start point
  MCP_INFEASIBLE = 9,    // a presolve rule proved infeasibility
  MCP_OTHER_FAILURE = 10,
  MCP_CONTINUE = 13,     // go on
};

// The caller's callbacks; slot order as the record copies them. Arrays are
// plain (element 1 at offset 0); Jacobians are in the sparse exchange form
// with column starts and row indices counted from 1.
struct MCP_Interface {
  void* data;  // handed back as the first argument of every callback
  // Required. Number of variables (0: nothing to solve) and a bound on the
  // Jacobian entries; negative counts are rejected.
  void (*problem_size)(void* data, int* n, int* nnz);
  // Required. Start point and bounds (n each), preset to 0, -inf, +inf.
  void (*bounds)(void* data, int n, double* x, double* lower, double* upper);
  // Required. F at x into f; returns the number of domain errors (0: defined).
  int (*function_evaluation)(void* data, int n, const double* x, double* f);
  // Required. F (want_f is always 1) and the Jacobian; *nnz holds the room on
  // entry and the entry count on return. Returns the number of domain errors.
  int (*jacobian_evaluation)(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                             int* col_start, int* col_len, int* row, double* value);
  void* reserved;  // never copied, read or called
  void (*start)(void* data);                      // first thing of every start
  void (*finish)(void* data, const double* x);    // last thing of every finish
  // Name of full variable / function i (1-based) into buf of len characters;
  // returns the character count.
  int (*variable_name)(void* data, int i, char* buf, int len);
  int (*constraint_name)(void* data, int i, char* buf, int len);
  void (*basis)(void* data, int n, int* status);  // BasisStatus codes, preset to 0
};

// Types of Jacobian entries as the presolve reads them (jacobian_types).
enum MCP_EntryType : int {
  ENTRY_CONSTANT = 0,   // the entry never changes with the point
  ENTRY_NONLINEAR = 1,  // the entry may change with the point
};

// Optional callbacks around the presolve.
struct MCP_PresolveInterface {
  void* data;
  void (*after_start)(void* data);
  void (*before_postsolve)(void* data);
  void (*after_presolve)(void* data);
  void (*after_postsolve)(void* data);
  // One MCP_EntryType per stored Jacobian entry, preset to ENTRY_NONLINEAR;
  // ENTRY_CONSTANT marks a constant entry.
  void (*jacobian_types)(void* data, int nnz, int* type);
  // One type per row, preset to 0.
  void (*constraint_types)(void* data, int n, int* type);
};

// Optional scalar second function blended into the merit function.
struct MCP_SecondFunctionInterface {
  void* data;
  void* reserved1;  // never called
  // At the full point (n values), flag always 1: value and full gradient.
  // Returns the number of domain errors.
  int (*function_evaluation)(void* data, int n, const double* x, int flag, double* value,
                             double* gradient);
  void* reserved3;  // never called
  void (*start)(void* data);
  void (*finish)(void* data, const double* x);
};

struct MCP {
  MCP_Interface interface;
  MCP_SecondFunctionInterface second_interface;
  MCP_PresolveInterface presolve_interface;
  std::int32_t second_installed;

  std::int32_t n_r;        // reduced variable count (0 outside a successful start)
  std::int32_t nnz_r;      // bound on the reduced Jacobian's entries
  std::int32_t max_n_r;    // reduced capacities
  std::int32_t max_nnz_r;
  std::int32_t n;          // full sizes from problem_size (0 when there is no problem)
  std::int32_t nnz;
  std::int32_t max_n;      // full capacities; max_nnz is the callbacks' Jacobian room
  std::int32_t max_nnz;

  DenseVector* lower_r;
  DenseVector* upper_r;
  DenseVector* x_r;
  IDenseVector* basis_r;
  DenseVector* lower;
  DenseVector* upper;
  DenseVector* x;
  IDenseVector* basis;
  FunctionJacobian* evaluation;  // full F and Jacobian as the callbacks wrote them last

  std::int32_t fixed_count;
  IDenseVector* full_to_reduced;  // length n; 0 for a fixed variable
  IDenseVector* reduced_to_full;  // length n_r without "eta"
  std::int32_t problem_class;
  std::int32_t free_count;

  // Free part (free-variable transform), capacity max_n.
  IDenseVector* free_flag;   // per reduced variable
  IDenseVector* free_list;   // reduced indices of the free variables
  DenseVector* row_sums;     // scratch of the transformed Jacobian
  std::int32_t free_allocated;

  // Presolve part: per variable (max_n) and per entry (max_nnz) vectors.
  DenseVector* saved_x;
  IDenseVector* row_count;
  IDenseVector* col_count;
  IDenseVector* row_start;
  IDenseVector* row_length;
  IDenseVector* row_entry;
  IDenseVector* entry_column;
  IDenseVector* entry_type;
  IDenseVector* row_type;
  RecordStack* stack;
  std::int32_t presolve_allocated;
  std::int32_t presolve_ran;  // 1 when the last start ran the presolve

  // Second function part, capacity max_n.
  DenseVector* second_gradient_r;  // reduced numbering, 0.0 for "eta"
  DenseVector* second_gradient;    // full numbering, as the callback wrote it
  double second_value;
  std::int32_t second_allocated;

  double merit_weight;
  std::int32_t free_transform;
  std::int32_t presolve_allowed;
  std::int32_t refcount;
};

// ---------------------------------------------------------------------------
// Lifecycle and configuration (MCP.cpp)
// ---------------------------------------------------------------------------

// New record with capacities max(n, 1) and max(nnz, 1), all callbacks empty,
// merit weight 0.7, reference count 1; takes a reference on the Workspace.
// A reduced entry capacity min(n + nnz, n * n) beyond the 32-bit range is the
// solver error "problem size too large".
MCP* MCP_Create(std::int32_t n, std::int32_t nnz);

// Drops one reference and returns the count left; at 0 frees every vector and
// part of the record and releases its Workspace reference. nullptr: returns 0.
std::int32_t MCP_Destroy(MCP* mcp);
std::int32_t MCP_Reference(MCP* mcp);

// Grows the capacities to at least (n, nnz) and every vector and made part
// with them; never shrinks. "problem size too large" as in MCP_Create.
void MCP_Size(MCP* mcp, std::int32_t n, std::int32_t nnz);

// Copies the problem state (sizes, counts, reduced and full vectors, maps,
// evaluation, free part) of src into dst; dst is grown to src's capacities
// first. Interfaces, presolve and second-function parts, problem class,
// merit weight and the presolve flag are not copied. dst == src: nothing.
void MCP_Copy(MCP* dst, const MCP* src);

// Install copies slots 0-4 and 6-10 (slot 5 is left empty); nullptr clears
// them. Get copies the same slots into *out.
void MCP_SetInterface(MCP* mcp, const MCP_Interface* record);
void MCP_GetInterface(const MCP* mcp, MCP_Interface* out);
// All seven slots; nullptr clears them.
void MCP_SetPresolveInterface(MCP* mcp, const MCP_PresolveInterface* record);
void MCP_GetPresolveInterface(const MCP* mcp, MCP_PresolveInterface* out);
// Install makes the second-function part and marks the function installed;
// nullptr clears the slots and the mark (the part stays).
void MCP_SetSecondFunctionInterface(MCP* mcp, const MCP_SecondFunctionInterface* record);
void MCP_GetSecondFunctionInterface(const MCP* mcp, MCP_SecondFunctionInterface* out);

// Presolve runs only when this flag and the option presolve are both set.
void MCP_SetPresolve(MCP* mcp, int allowed);
int MCP_PresolveAllowed(const MCP* mcp);
// On makes the free part and grows the reduced capacities for "eta".
void MCP_SetFreeVariableTransform(MCP* mcp, int on);
int MCP_FreeVariableTransform(const MCP* mcp);
void MCP_SetProblemClass(MCP* mcp, int problem_class);
int MCP_ProblemClass(const MCP* mcp);
void MCP_SetMeritWeight(MCP* mcp, double weight);
double MCP_MeritWeight(const MCP* mcp);

int MCP_HasSecondFunction(const MCP* mcp);
// Value written by the last second-function evaluation.
double MCP_SecondFunctionValue(const MCP* mcp);
// Its gradient in reduced numbering (0.0 for "eta") / in full numbering.
DenseVector* MCP_SecondFunctionWork(MCP* mcp);
DenseVector* MCP_SecondFunctionF(MCP* mcp);

// Make the named part once, sized to the current capacities; later calls do
// nothing.
void MCP_AllocateFreeVariables(MCP* mcp);
void MCP_AllocatePresolve(MCP* mcp);
void MCP_AllocateSecondFunction(MCP* mcp);

// ---------------------------------------------------------------------------
// Evaluations at the full point (MCP_Evaluate.cpp)
// ---------------------------------------------------------------------------

// Projects the start point onto the bounds (option project_start), evaluates
// there (option nonlinear_model_use_start) and falls back to the point built
// from the bounds. Returns MCP_CONTINUE, or MCP_UNDEFINED when that point is
// undefined too.
int MCP_EvaluateStart(MCP* mcp);

// Calls jacobian_evaluation at the full point with the record's storage (the
// room handed over is the record's entry capacity; the arrays are passed as
// they are) and checks what came back before anything reads it: entry count
// within the room, column starts and lengths within the entries, rows within
// 1..n, at most the problem_size bound stored in the columns. A violation is
// a solver error. Returns the number of domain errors.
int MCP_EvaluateFullJacobian(MCP* mcp);
// Calls function_evaluation at the full point into the evaluation's F.
// Returns the number of domain errors.
int MCP_EvaluateFullFunction(MCP* mcp);

// ---------------------------------------------------------------------------
// Reduced evaluations (MCP_Evaluate.cpp)
// ---------------------------------------------------------------------------

// F at the reduced point x_r (length n_r) into out's F, out's n := n_r.
// Leaves the full point and full F (and the second function) in the record.
// Returns 1 when every callback reported no domain error, else 0 (the values
// are gathered all the same). out needs room for n_r; solver error otherwise.
int MCP_Function(MCP* mcp, DenseVector* x_r, FunctionJacobian* out);

// F and its Jacobian at x_r in reduced numbering into out (n_r, entry count
// at most nnz_r, every diagonal entry stored). Result as MCP_Function; a
// reduced Jacobian that would not fit out's room is a solver error.
int MCP_Jacobian(MCP* mcp, DenseVector* x_r, FunctionJacobian* out);

// ---------------------------------------------------------------------------
// Names and accessors (MCP_Names.cpp)
// ---------------------------------------------------------------------------

// Name of full variable / function i (1-based) into buf (len characters):
// the caller's callback, else "x[%5d]" / "f[%5d]". Returns the character
// count.
int MCP_FullVariableName(const MCP* mcp, int i, char* buf, int len);
int MCP_FullConstraintName(const MCP* mcp, int i, char* buf, int len);
// The same for reduced index i: "eta" for the extra variable, otherwise the
// name of the full variable it stands for.
int MCP_VariableName(const MCP* mcp, int i, char* buf, int len);
int MCP_ConstraintName(const MCP* mcp, int i, char* buf, int len);

// Reduced sizes and capacities.
inline std::int32_t MCP_Variables(const MCP* mcp) { return mcp->n_r; }
inline std::int32_t MCP_Nonzeros(const MCP* mcp) { return mcp->nnz_r; }
inline std::int32_t MCP_MaxVariables(const MCP* mcp) { return mcp->max_n_r; }
inline std::int32_t MCP_MaxNonzeros(const MCP* mcp) { return mcp->max_nnz_r; }

// The record's own vectors (not copies; never destroy them).
inline DenseVector* MCP_X(MCP* mcp) { return mcp->x_r; }
inline DenseVector* MCP_Lower(MCP* mcp) { return mcp->lower_r; }
inline DenseVector* MCP_Upper(MCP* mcp) { return mcp->upper_r; }
inline IDenseVector* MCP_Basis(MCP* mcp) { return mcp->basis_r; }
inline DenseVector* MCP_FullX(MCP* mcp) { return mcp->x; }
inline DenseVector* MCP_FullLower(MCP* mcp) { return mcp->lower; }
inline DenseVector* MCP_FullUpper(MCP* mcp) { return mcp->upper; }
inline IDenseVector* MCP_FullBasis(MCP* mcp) { return mcp->basis; }
inline FunctionJacobian* MCP_Evaluation(MCP* mcp) { return mcp->evaluation; }
DenseVector* MCP_EvaluationF(MCP* mcp);
SparseMatrix* MCP_EvaluationJ(MCP* mcp);

// Plain arrays of the full problem for the gateways, valid until the record
// is next sized, started or destroyed.
double* MCP_XArray(MCP* mcp);
double* MCP_LowerArray(MCP* mcp);
double* MCP_UpperArray(MCP* mcp);
int* MCP_BasisArray(MCP* mcp);
double* MCP_FArray(MCP* mcp);
// Entry count and the four arrays of the evaluation's Jacobian (starts and
// rows from 1).
void MCP_JacobianArrays(MCP* mcp, int* nnz, int** col_start, int** col_len, int** row,
                        double** value);

// ---------------------------------------------------------------------------
// Full-problem state for the presolve (MCP_Names.cpp)
// ---------------------------------------------------------------------------

// Full variable count and Jacobian entry bound of the last start.
inline std::int32_t MCP_FullVariables(const MCP* mcp) { return mcp->n; }
inline std::int32_t MCP_FullNonzeros(const MCP* mcp) { return mcp->nnz; }
inline std::int32_t MCP_FixedCount(const MCP* mcp) { return mcp->fixed_count; }
inline std::int32_t MCP_FreeCount(const MCP* mcp) { return mcp->free_count; }
inline IDenseVector* MCP_FullToReduced(MCP* mcp) { return mcp->full_to_reduced; }
inline IDenseVector* MCP_ReducedToFull(MCP* mcp) { return mcp->reduced_to_full; }

// Presolve part (made by MCP_AllocatePresolve; nullptr before that).
inline int MCP_PresolveMade(const MCP* mcp) { return mcp->presolve_allocated; }
inline DenseVector* MCP_PresolveSavedX(MCP* mcp) { return mcp->saved_x; }
inline IDenseVector* MCP_PresolveRowCount(MCP* mcp) { return mcp->row_count; }
inline IDenseVector* MCP_PresolveColCount(MCP* mcp) { return mcp->col_count; }
inline IDenseVector* MCP_PresolveRowStart(MCP* mcp) { return mcp->row_start; }
inline IDenseVector* MCP_PresolveRowLength(MCP* mcp) { return mcp->row_length; }
inline IDenseVector* MCP_PresolveRowEntry(MCP* mcp) { return mcp->row_entry; }
inline IDenseVector* MCP_PresolveEntryColumn(MCP* mcp) { return mcp->entry_column; }
inline IDenseVector* MCP_PresolveEntryType(MCP* mcp) { return mcp->entry_type; }
inline IDenseVector* MCP_PresolveRowType(MCP* mcp) { return mcp->row_type; }
inline RecordStack* MCP_PresolveStack(MCP* mcp) { return mcp->stack; }
