// Checks of what the host hands to a plug-in: argument counts, the count
// arguments n and nnz, vectors, the function name and sparse matrices, and
// the conversion of the host's index type to 32-bit counts.
//
// Every check that fails raises Gateway_Failure with a message for the
// user; the entry point turns it into a host error. None of them creates or
// changes anything.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "mex.h"

// A failure found by the gateway itself (bad arguments, a bad result of the
// user's function, an error the user's function raised); carries the
// message for the host error and, when there is one, the identifier of the
// error behind it ("" otherwise).
class Gateway_Failure : public std::runtime_error {
 public:
  explicit Gateway_Failure(const std::string& text, const std::string& identifier = "")
      : std::runtime_error(text), identifier_(identifier) {}
  const char* identifier() const { return identifier_.c_str(); }

 private:
  std::string identifier_;
};

// Formats the message (printf rules) and throws Gateway_Failure.
[[noreturn]] void Gateway_Fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// As Gateway_Fail, with the identifier of the error behind the failure.
[[noreturn]] void Gateway_FailWithId(const char* identifier, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Argument counts, checked before anything else: fewer than min_inputs
// inputs "Not enough input arguments.", then fewer than 2 outputs "Not
// enough output arguments.", then more than max_inputs inputs or more than
// 4 outputs "Too many input arguments." / "Too many output arguments.".
void Gateway_CheckCounts(int nlhs, int nrhs, int min_inputs, int max_inputs);

// A count argument (n): a real numeric scalar, finite, truncated toward
// zero, within 0..2147483647. Returns the count.
std::int32_t Gateway_ReadCount(const mxArray* arg, const char* name);

// A bound argument (nnz): a real numeric scalar, truncated toward zero, read
// as a double: any size, Inf included, is a bound (the model caps it); only
// NaN ("Input nnz must not be NaN.") and a negative value are refused.
double Gateway_ReadBound(const mxArray* arg, const char* name);

// A real, full double array of exactly n entries. Returns its data (the
// host's own storage, 0-based; nullptr when n is 0 and the array is empty).
double* Gateway_ReadVector(const mxArray* arg, const char* name, std::int32_t n);

// The array that receives the solution in place must be one whose data the
// host shares with the caller's variable. A host that stores a value in a
// form of its own (Octave's ranges such as 5:6, its diagonal and
// permutation matrices) hands the plug-in a copy of it instead, and the
// solution written there would be lost: Gateway_Failure then, with the way
// to pass it. The host is asked for the value's type (typeinfo) before
// anything reads its data; a host without that function is taken to share
// the data.
void Gateway_CheckShared(const mxArray* arg, const char* name);

// A non-empty character row vector (the name of the user's function).
// Returns its length in characters.
std::int32_t Gateway_CheckName(const mxArray* arg, const char* name);

// true when arg is a real sparse double matrix with n rows and n columns.
bool Gateway_IsRealSparse(const mxArray* arg, std::int32_t n);

// Number of stored entries of a real sparse matrix with n columns (its
// column start n), checked to be within 0..2147483647, and every column
// start and row index checked to be in order and in range (rows 0..n-1).
// what names the matrix in the message.
std::int32_t Gateway_SparseEntries(const mxArray* arg, std::int32_t n, const char* what);

// The position (0-based) of the first of count values that is NaN or
// infinite, or -1 when every one is finite.
std::int64_t Gateway_FirstNonFinite(const double* values, std::int64_t count);

// The Jacobian room of a problem: min(nnz, n*n), computed in double
// precision (n*n is below 2^62, so the room is exact in 64 bits whenever
// it fits the library's 32-bit counts).
std::int64_t Gateway_NonzeroBound(std::int32_t n, double nnz);
