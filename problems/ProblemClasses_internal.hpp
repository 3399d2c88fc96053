// Helpers shared by the problem classes offered to library callers (CNS,
// PMCP, PLCP, QP and their MCP adapters): checked size arithmetic, bound
// clamping, basis classification, default names, checks of what callers and
// callbacks hand in, and the pairing of bounded variables with multiplier
// variables that both adapters use.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/MCP.hpp"

namespace problem_classes {

// The common option infinity: a bound at or beyond it in magnitude is
// infinite.
double Infinity();

// min(sum, side * side), formed in double precision and truncated; a result
// beyond the 32-bit range is the solver error "Problem size too large.\n".
std::int32_t EntryBound(double sum, double side);

// A negative variable or entry count from a caller is the solver error
// "<owner>: invalid problem size (n = %d, nnz = %d).\n".
void CheckProblemSize(const char* owner, int n, int nnz);

// Clamps lower below -inf to -inf and upper above +inf to +inf, in place.
// Returns false when the pair is unusable: upper < lower, or a NaN bound.
bool ClampBounds(double& lower, double& upper, double inf);

// Basis code of a variable with bounds l, u, value x and code s (exact
// comparisons, first rule that applies): with fixed_rule, l == u gives 5;
// x outside the bounds or strictly inside turns 0, 3, 4 and 5 into 1;
// x == l turns 0 and 4 into 3; x == u turns 0 and 3 into 4; any other code
// stays.
std::int32_t ClassifyCode(double l, double u, double x, std::int32_t s, bool fixed_rule);

// The built-in name: format (one %d) with i, cut to the buffer of length
// characters. Returns the length of the whole text; 0 without a buffer.
int DefaultName(const char* format, int i, char* buffer, int length);

// A point handed in must hold exactly n values; otherwise the solver error
// "<operation>: point has %d entries, %d expected.\n".
void RequireLength(const DenseVector* x, std::int32_t n, const char* operation);
void RequireLength(const IDenseVector* x, std::int32_t n, const char* operation);
// A result vector must have room for n values; otherwise the solver error
// "<operation>: room for %d entries needed, %d available.\n".
void RequireCapacity(const DenseVector* v, std::int32_t n, const char* operation);
void RequireCapacity(const IDenseVector* v, std::int32_t n, const char* operation);
// A pair that receives an evaluation must hold n variables.
void RequirePairRoom(const FunctionJacobian* pair, std::int32_t n, const char* operation);

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
// Pairing of the MCP adapters. Every variable i (1..n) with a finite bound
// gets a free multiplier variable p = n + j; F_i moves to row p and row i
// becomes -y_j. map (length n + k) is its own inverse: map_i = i for an
// unpaired variable, map_i = p and map_p = i for a pair.

// Number of variables with lower_i > -inf or upper_i < +inf (first n).
std::int32_t CountBounded(const DenseVector* lower, const DenseVector* upper, std::int32_t n);

// The MCP of a pairing has n + k variables and nnz + k entries; either
// beyond the 32-bit range is "Problem size too large.\n".
void CheckPairedSize(std::int32_t n, std::int32_t nnz, std::int32_t k);

// Fills map (capacity at least n + k) in increasing i; returns k.
std::int32_t BuildPairing(IDenseVector* map, const DenseVector* lower, const DenseVector* upper,
                          std::int32_t n);

// In place on f (n + k values, F_1..F_n of the problem in its first n):
// f[map_i] := F_i for i = 1..n, then f[map_p] := -x_p for p = n+1..n+k.
// Safe in place because map_i is either i or above n.
void PairFunction(double* f, const double* x, const IDenseVector* map, std::int32_t n,
                  std::int32_t k);

// In place on J (n by n with m entries packed in positions 1..m): every row
// index r of columns 1..n becomes map_r, and columns n+1..n+k get the one
// entry -1.0 in row map_p at positions m+1..m+k. room is the number of
// positions the receiver allows; m + k beyond it or beyond J's capacity is
// the solver error "<source>: Jacobian needs %lld entries, room for %d.\n".
// Returns m + k. J's sizes and flags are left for the caller to set.
std::int32_t PairJacobian(SparseMatrix* J, const IDenseVector* map, std::int32_t n,
                          std::int32_t k, std::int32_t room, const char* source);

// Names of the adapters: "y(%d)" for multiplier j, "s(%d)" for the row of
// pair j.
int MultiplierName(int j, char* buffer, int length);
int PairRowName(int j, char* buffer, int length);

// An adapter callback works on the MCP record's own storage: N must be the
// MCP's variable count, x its full point, f (when not null) its evaluation
// F and the four arrays (when col_start is not null) its evaluation J. A
// mismatch is the report "<module>(line): <operation>: <condition>".
void RequireMCPStorage(MCP* mcp, int N, std::int32_t expected, const double* x, const double* f,
                       const int* col_start, const int* col_len, const int* row,
                       const double* value, const char* module, const char* operation);

// A problem class's evaluation at x (its own n values) into pair:
// CNS_Function, CNS_Jacobian, QP_Function, QP_Jacobian.
using ClassEvaluation = int (*)(void* problem, DenseVector* x, FunctionJacobian* pair);

// The adapters' F: the class evaluates at the MCP's full point cut to n,
// into the MCP's evaluation pair; F is then paired in place (f is that
// pair's F, x the full point). The pair's and the point's sizes are put
// back. Returns the class's result (1 defined, 0 domain error).
int AdapterFunction(MCP* mcp, void* problem, ClassEvaluation evaluate, const IDenseVector* map,
                    std::int32_t n, std::int32_t k, const double* x, double* f);
// The adapters' F and Jacobian: as AdapterFunction with the class's
// Jacobian evaluation (every diagonal stored), then the rows paired and the
// k multiplier columns appended within *nnz (the room on entry, the count
// on return). When k > 0 the Jacobian's flags are cleared: rows moved and
// columns appended, the diagonal is no longer known to be stored.
int AdapterJacobian(MCP* mcp, void* problem, ClassEvaluation evaluate, const IDenseVector* map,
                    std::int32_t n, std::int32_t k, const double* x, int want_f, double* f,
                    int* nnz, const char* source);

// The sizes of an MCP evaluation pair that an adapter callback borrows,
// saved on entry and put back before it returns, so that the MCP record
// finds the room it handed over.
struct SavedPair {
  std::int32_t f_length;
  std::int32_t rows;
  std::int32_t cols;
  std::int32_t nnz;
  std::int32_t pair_n;
  std::int32_t pair_nnz;
};
SavedPair SavePair(const FunctionJacobian* pair);
void RestorePair(FunctionJacobian* pair, const SavedPair& saved);

}  // namespace problem_classes
