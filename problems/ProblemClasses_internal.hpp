// Helpers shared by the problem classes offered to library callers (CNS,
// QP, PMCP, PLCP) and their MCP adapters: record lifetime, the module-wide
// interface pointer, sizes and blocks, checks of what callers and callbacks
// hand in, the start and the evaluations of a bounded nonlinear system,
// and the adapters' pairing of bounded variables with multipliers.
//
// Files: ProblemClasses.cpp (records, blocks, checks, evaluations),
// ProblemClassesPairing.cpp (the adapters' side).
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/MCP.hpp"
#include "problems/ProblemClasses.hpp"

namespace problem_classes {

// ---------------------------------------------------------------------------
// Sizes, blocks, bounds and codes
// ---------------------------------------------------------------------------

// The common option infinity: a bound at or beyond it in magnitude is
// infinite.
double Infinity();

// min(sum, side * side), formed in double precision and truncated; a result
// beyond the 32-bit range is the solver error "Problem size too large.\n".
std::int32_t EntryBound(double sum, double side);

// A negative variable or entry count from a caller is the solver error
// "<module>: <operation>: invalid problem size (n = %d, nnz = %d).\n".
void CheckProblemSize(const char* module, const char* operation, int n, int nnz);

// Grows the capacities of s (never shrinks): max full n and max full nnz to
// at least n and nnz, max n to at least max full n, max nnz to at least
// min(max full nnz + max full n, max n * max n). From zero sizes this sets
// up a new record. A bound beyond the 32-bit range leaves s as it was and
// is the solver error "Problem size too large.\n", or with module given the
// report "<module>(line): <operation>: problem size too large".
void GrowSizes(ClassSizes& s, std::int32_t n, std::int32_t nnz, const char* module = nullptr,
               const char* operation = nullptr);
// dst's counts (n, nnz, full n, full nnz) := src's; capacities stay.
void CopyCounts(ClassSizes& dst, const ClassSizes& src);

// Makes / grows / frees the vectors of a block, capacity n; codes only
// with_basis. Grown vectors lose their contents; FreeBlock copes with
// members not made.
void CreateBlock(ClassBlock& b, std::int32_t n, bool with_basis);
void SizeBlock(ClassBlock& b, std::int32_t n);
void FreeBlock(ClassBlock& b);
// dst := src, vector by vector (codes when both have them), through map
// (nullptr: plain copies; else element i goes to position map_i and is
// dropped where map_i <= 0). dst must have the room.
void CopyBlock(ClassBlock& dst, const ClassBlock& src, const IDenseVector* map);
// Length n each: lower -inf, upper +inf, x 0.0, codes 0.
void PresetBlock(ClassBlock& b, std::int32_t n);

// Basis codes of b's n variables made to agree with their points and bounds
// (exact comparisons, first rule that applies): l == u gives 5; x outside
// the bounds or strictly inside turns 0, 3, 4 and 5 into 1; x == l turns 0
// and 4 into 3; x == u turns 0 and 3 into 4; any other code stays. Then t's
// code by the same rules without the first.
void ClassifyBasis(ClassBlock& b, ClassParameter& t, std::int32_t n);

// Clamps the bounds of b's n variables and of t to +-infinity; a crossed or
// NaN pair is the solver error "<module>: Initialize: L > U.\n".
void RequireOrderedBounds(ClassBlock& b, ClassParameter& t, std::int32_t n, const char* module);
// Clamps the bounds of b's n variables to +-infinity and warns
// "%s: lb = %5.4e > %5.4e = ub\n" (the name from in) about every pair with
// lower > upper + tolerance or a NaN bound. With tolerance > 0 bounds
// within it of each other are made equal (upper := lower). Returns the
// number of pairs warned about.
std::int32_t WarnCrossedBounds(const SystemCallbacks& in, ClassBlock& b, std::int32_t n,
                               double tolerance);

// ---------------------------------------------------------------------------
// Record lifetime and the module-wide interface
// ---------------------------------------------------------------------------

// A zeroed Record from Memory, handed to build; when build raises, the
// record goes to free_record (which copes with members not yet made) and
// the error passes on. Returns the record.
template <class Record, class Build>
Record* NewRecord(Build build, void (*free_record)(Record*)) {
  return Memory_NewRecord<Record>(build, free_record);
}

// Drops one reference of a counted record (nullptr: 0); at 0 hands it to
// release. Returns the count left.
template <class Record>
std::int32_t DropReference(Record* record, void (*release)(Record*)) {
  if (record == nullptr) return 0;
  record->refcount -= 1;
  if (record->refcount > 0) return record->refcount;
  release(record);
  return 0;
}

template <class Record>
std::int32_t AddReference(Record* record) {
  record->refcount += 1;
  return record->refcount;
}

// A new class record (CNS aside): NewRecord with reference count 1 and the
// sizes set up for n variables and nnz entries (GrowSizes from zero) before
// build runs. Negative counts are "<module>: Create: invalid problem size
// ..." (CheckProblemSize).
template <class Record, class Build>
Record* NewClassRecord(std::int32_t n, std::int32_t nnz, const char* module, Build build,
                       void (*free_record)(Record*)) {
  CheckProblemSize(module, "Create", n, nnz);
  auto setup = [&](Record* record) {
    record->refcount = 1;
    GrowSizes(record->size, n, nnz);
    build(record);
  };
  return NewRecord<Record>(setup, free_record);
}

// The interface a module works with: the caller's record, stored by pointer,
// or at load and after a reset a record with every slot empty.
template <class Interface>
struct InterfaceHolder {
  Interface empty{};
  Interface* current = &empty;
};

template <class Interface>
void SetInterface(InterfaceHolder<Interface>& holder, Interface* interface) {
  holder.current = interface != nullptr ? interface : &holder.empty;
}

// Puts the empty record back without touching the caller's record.
template <class Interface>
void ForgetInterface(InterfaceHolder<Interface>& holder) {
  holder.empty = Interface{};
  holder.current = &holder.empty;
}

// True while the empty record is current.
template <class Interface>
bool InterfaceAtRest(const InterfaceHolder<Interface>& holder) {
  return holder.current == &holder.empty;
}

// ---------------------------------------------------------------------------
// What callers and callbacks hand in
// ---------------------------------------------------------------------------

// The first steps of every class start: the working counts of s := 0
// (nothing of an earlier start stays usable until this one succeeds), then
// start (when set) and problem_size. Negative counts are "<module>: Start:
// invalid problem size ...". Returns the counts reported.
struct ReportedSize {
  int n;
  int nnz;
};
ReportedSize ReadProblemSize(ClassSizes& s, void (*start)(void*),
                             void (*problem_size)(void*, int*, int*), void* data,
                             const char* module);

// The bounds and basis slots of the parametric classes.
using ParametricBounds = void (*)(void* data, int n, double* x, double* lower, double* upper,
                                  double* t, double* t_lower, double* t_upper);
using ParametricBasis = void (*)(void* data, int n, int* status, int* t_status);
// Presets b (PresetBlock) and t (0.0 in -inf..+inf, code 0), then calls
// bounds and basis, each when set, on them.
void ReadParametricBlock(ParametricBounds bounds, ParametricBasis basis, void* data,
                         ClassBlock& b, ClassParameter& t, std::int32_t n);

// The reading steps of a parametric start (PMCP, PLCP) on record's full
// block and t: ReadProblemSize; no variables is the solver error
// "<module>: Start: Empty model.\n"; size(record, n, nnz) and the full
// counts := n, nnz; ReadParametricBlock; then the bounds are clamped and
// checked (RequireOrderedBounds, "<module>: Initialize: L > U.\n").
template <class Record, class Interface>
void ReadParametric(Record* record, const Interface& in, ClassBlock& full, ClassParameter& t,
                    void (*size)(Record*, std::int32_t, std::int32_t), const char* module) {
  ClassSizes& s = record->size;
  ReportedSize reported = ReadProblemSize(s, in.start, in.problem_size, in.data, module);
  if (reported.n == 0) Error_SolverError("%s: Start: Empty model.\n", module);
  size(record, reported.n, reported.nnz);
  s.full_n = reported.n;
  s.full_nnz = reported.nnz;
  ReadParametricBlock(in.bounds, in.basis, in.data, full, t, s.full_n);
  RequireOrderedBounds(full, t, s.full_n, module);
}

// The caller's name slot when set, else format (one %d) with i, cut to the
// buffer of length characters. Returns the length of the whole text; 0
// without a buffer.
int CallerName(int (*slot)(void*, int, char*, int), void* data, const char* format, int i,
               char* buffer, int length);

// A point handed in must hold exactly n values; otherwise the solver error
// "<operation>: point has %d entries, %d expected.\n" ("basis has" for
// codes).
void RequireLength(const DenseVector* x, std::int32_t n, const char* operation);
void RequireLength(const IDenseVector* x, std::int32_t n, const char* operation);
// A result vector must have room for n values; otherwise the solver error
// "<operation>: room for %d entries needed, %d available.\n".
void RequireCapacity(const DenseVector* v, std::int32_t n, const char* operation);
// "<operation>: the problem has not been started.\n" unless started.
void RequireStarted(bool started, const char* operation);
// The checks of every class evaluation: RequireStarted, then x of n values
// and a pair with room.
void RequireEvaluation(bool started, const DenseVector* x, std::int32_t n,
                       const FunctionJacobian* pair, const char* operation);

// Stores a solution in the full block (full_n variables) and t: x and the
// codes (basis may be nullptr: the codes stay) go through to_full (nullptr:
// plain copies of full_n values; else reduced i goes to full position
// to_full_i, the other full entries stay), t gets value and t_basis, then
// ClassifyBasis. x and basis of the wrong length are solver errors.
void StoreSolution(ClassBlock& full, ClassParameter& t, std::int32_t full_n, const DenseVector* x,
                   double value, const IDenseVector* basis, std::int32_t t_basis,
                   const IDenseVector* to_full, const char* operation);

// Ends a callback exchange begun with SparseMatrix_PrepareExchange: checks
// the count and structure (SparseMatrix_FinishExchange) and that the stored
// entries do not exceed bound, the entry count the caller announced
// (solver error "<source>: %lld entries stored, at most %d announced.\n").
void FinishExchange(SparseMatrix* J, std::int32_t count, std::int32_t bound, const char* source);

// Grows dst's entry room so that a clone of src with add_diagonal fits
// (contents of dst are lost when it grows). Beyond the 32-bit range:
// "Problem size too large.\n".
void GrowForClone(SparseMatrix* dst, const SparseMatrix* src, int add_diagonal);

// ---------------------------------------------------------------------------
// Start and evaluations of a bounded nonlinear system (CNS, QP)
// ---------------------------------------------------------------------------

// F and J at x (n values) into F and J through jacobian_evaluation, with
// room entries offered; the result is checked against the room and bound
// (FinishExchange, source names the evaluation). Returns the callback's
// domain-error count.
int EvaluateSystem(const SystemCallbacks& in, std::int32_t n, const DenseVector* x, DenseVector* F,
                   SparseMatrix* J, std::int32_t room, std::int32_t bound, const char* source);

// The reading steps of a system's start (CNS, QP) into record's full
// block: ReadProblemSize; full n and nnz := max(1, reported). Without
// variables returns false. Otherwise warns "Empty jacobian.\n" when no
// entries were announced, grows the record (size) to the full counts,
// presets the full block and fills it through bounds; returns true.
template <class Record>
bool ReadSystem(Record* record, const SystemCallbacks& in, ClassBlock& full,
                void (*size)(Record*, std::int32_t, std::int32_t), const char* module) {
  ClassSizes& s = record->size;
  ReportedSize reported = ReadProblemSize(s, in.start, in.problem_size, in.data, module);
  s.full_n = std::max(reported.n, 1);
  s.full_nnz = std::max(reported.nnz, 1);
  if (reported.n == 0) return false;
  if (reported.nnz == 0) Error_Warning("Empty jacobian.\n");
  size(record, s.full_n, s.full_nnz);
  PresetBlock(full, s.full_n);
  in.bounds(in.data, s.full_n, DenseVector_Array(full.x), DenseVector_Array(full.lower),
            DenseVector_Array(full.upper));
  return true;
}

// The start evaluation of a record whose point is b.x (n variables):
// evaluate(record) at b.x while the option nonlinear_model_use_start is on;
// when that is undefined, the warning "F or dF/dx undefined at model
// start.\n" and the option is switched off (until the options are next
// reset). With the option off, the point built from the bounds
// (CalculatedStart) is evaluated. Returns false after the warning "F or
// dF/dx undefined at calculated start.\n", else true.
bool EvaluateStartPoint(ClassBlock& b, std::int32_t n, int (*evaluate)(void* record),
                        void* record);

// F at x (n values) through function_evaluation (its absence is the solver
// error "<operation>: function_evaluation not installed.\n"): x is copied
// into point (the record's own), F gets length n and is copied into pair;
// pair's n := n. Returns 1 without a domain error, else 0.
int SystemFunction(const SystemCallbacks& in, std::int32_t n, const DenseVector* x,
                   DenseVector* point, DenseVector* F, FunctionJacobian* pair,
                   const char* operation);

// Hands an evaluation over to pair: F and J through map (nullptr: all; else
// rows and columns renumbered and dropped by it), every missing diagonal of
// J added as 0.0; pair's n := n and its nnz := the copy's. Returns 1 when
// errors is 0, else 0.
int HandOver(FunctionJacobian* pair, const DenseVector* F, const SparseMatrix* J,
             const IDenseVector* map, std::int32_t n, int errors);

// ---------------------------------------------------------------------------
// The MCP adapters (ProblemClassesPairing.cpp)
// ---------------------------------------------------------------------------

// A problem class's evaluation at x (its own n values) into pair:
// CNS_Function, CNS_Jacobian, QP_Function, QP_Jacobian.
using ClassEvaluation = int (*)(void* problem, DenseVector* x, FunctionJacobian* pair);

// The adapter behind a callback's data word; nullptr is the report
// "<module>(line): <operation>: adapter missing".
void* RequireAdapter(void* data, const char* module, const char* operation);

// Sets up p (zeroed on entry) for a class of n variables and nnz entries
// with bounds start.lower, start.upper: counts the bounded variables (k),
// builds the map and the MCP of n + k variables and nnz + k entries. Sizes
// beyond the 32-bit range are "Problem size too large.\n". After an error
// what was made stays in p for FreePairing.
void BuildPairing(MultiplierPairing& p, const ClassBlock& start, std::int32_t n, std::int32_t nnz);
// Frees the map (the MCP is the caller's).
void FreePairing(MultiplierPairing& p);

// The record made for problem_size's adapter: *record's data word when its
// installed problem_size is that callback, else nullptr. No record is the
// solver error "<operation>: no MCP record given.\n".
void* AdapterOfRecord(MCP** record, void (*problem_size)(void*, int*, int*),
                      const char* operation);
// The MCP's full point (and full basis when start has codes) cut to the
// class's n values, ready for the class's finish. An MCP that never held
// the whole problem (not started, or its start failed) gets start's point
// (and codes) first.
void CutSolution(const MultiplierPairing& p, const ClassBlock& start);

// The MCP_Interface callbacks on a pairing. module and operation name a
// failed check in the report "<module>(line): <operation>: <condition>".
//   PairedSize: n + k variables, nnz + k entries.
//   PairedBounds: start's x, lower, upper, then k times 0.0, -inf, +inf;
//     N must be n + k.
//   PairedFunction / PairedJacobian: the class's evaluation (evaluate) at
//     the MCP's full point cut to n, rearranged by the map, with the
//     multiplier columns (-1.0 each) appended to the Jacobian. They work on
//     the MCP record's own storage and require that x, f and the Jacobian
//     arrays are those. Return 0 when the class reported F defined, else 1.
//   PairedVariableName: "y(%d)" with i - n for a multiplier, else the
//     class's name of variable i.
//   PairedConstraintName: with m = map_i, "s(%d)" with m - n when m > n,
//     else the class's name of row m.
void PairedSize(const MultiplierPairing& p, int* n, int* nnz);
void PairedBounds(const MultiplierPairing& p, const ClassBlock& start, int N, double* x,
                  double* lower, double* upper, const char* module, const char* operation);
int PairedFunction(MultiplierPairing& p, void* problem, ClassEvaluation evaluate, int N,
                   const double* x, double* f, const char* module, const char* operation);
int PairedJacobian(MultiplierPairing& p, void* problem, ClassEvaluation evaluate, int N,
                   const double* x, int want_f, double* f, int* nnz, int* col_start,
                   int* col_len, int* row, double* value, const char* module,
                   const char* operation);
int PairedVariableName(const MultiplierPairing& p, const SystemCallbacks& in, int i,
                       char* buffer, int length);
int PairedConstraintName(const MultiplierPairing& p, const SystemCallbacks& in, int i,
                         char* buffer, int length);

}  // namespace problem_classes
