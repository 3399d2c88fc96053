// Checks of the host's arguments and of the user's results.
#include "gateway/common/GatewayInput.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kLargestCount = 2147483647.0;

// Words of the host's type names of values it stores in a form of its own
// and hands to a plug-in as a copy.
const char* const kCopiedKinds[] = {"range", "diagonal", "permutation"};

}  // namespace

void Gateway_Fail(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  throw Gateway_Failure(buffer);
}

void Gateway_FailWithId(const char* identifier, const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  throw Gateway_Failure(buffer, identifier != nullptr ? identifier : "");
}

void Gateway_CheckCounts(int nlhs, int nrhs, int min_inputs, int max_inputs) {
  if (nrhs < min_inputs) Gateway_Fail("Not enough input arguments.");
  if (nlhs < 2) Gateway_Fail("Not enough output arguments.");
  if (nrhs > max_inputs) Gateway_Fail("Too many input arguments.");
  if (nlhs > 4) Gateway_Fail("Too many output arguments.");
}

namespace {

// The value of a real numeric scalar argument.
double ScalarValue(const mxArray* arg, const char* name) {
  if (!mxIsNumeric(arg) || mxIsComplex(arg) || mxGetNumberOfElements(arg) != 1) {
    Gateway_Fail("Input %s must be a real numeric scalar.", name);
  }
  return mxGetScalar(arg);
}

}  // namespace

double Gateway_ReadBound(const mxArray* arg, const char* name) {
  const double value = ScalarValue(arg, name);
  if (std::isnan(value)) Gateway_Fail("Input %s must not be NaN.", name);
  const double bound = std::trunc(value);
  if (bound < 0.0) Gateway_Fail("Input %s must not be negative.", name);
  return bound;
}

std::int32_t Gateway_ReadCount(const mxArray* arg, const char* name) {
  const double value = ScalarValue(arg, name);
  if (!std::isfinite(value)) Gateway_Fail("Input %s must be finite.", name);
  const double count = std::trunc(value);
  if (count < 0.0) Gateway_Fail("Input %s must not be negative.", name);
  if (count > kLargestCount) Gateway_Fail("Input %s must not exceed 2147483647.", name);
  return static_cast<std::int32_t>(count);
}

double* Gateway_ReadVector(const mxArray* arg, const char* name, std::int32_t n) {
  if (!mxIsDouble(arg) || mxIsComplex(arg) || mxIsSparse(arg) ||
      mxGetNumberOfElements(arg) != static_cast<std::size_t>(n)) {
    Gateway_Fail("Input %s must be a real full double array with n = %d entries.", name, n);
  }
  return n == 0 ? nullptr : mxGetPr(arg);
}

void Gateway_CheckShared(const mxArray* arg, const char* name) {
  mxArray* input = const_cast<mxArray*>(arg);
  mxArray* kind = nullptr;
  mxArray* error = mexCallMATLABWithTrap(1, &kind, 1, &input, "typeinfo");
  if (error != nullptr) {
    mxDestroyArray(error);
    return;
  }
  char text[64] = "";
  if (kind != nullptr && mxIsChar(kind)) mxGetString(kind, text, sizeof text);
  if (kind != nullptr) mxDestroyArray(kind);
  for (const char* word : kCopiedKinds) {
    if (std::strstr(text, word) != nullptr) {
      Gateway_Fail("Input %s is a %s, which the host hands over as a copy: the solution could not "
                   "be written into it. Pass an array of its own, for example %s = zeros(n, 1) "
                   "or %s = [5; 6].",
                   name, text, name, name);
    }
  }
}

std::int32_t Gateway_CheckName(const mxArray* arg, const char* name) {
  if (!mxIsChar(arg) || mxGetM(arg) != 1 || mxGetN(arg) < 1 ||
      static_cast<double>(mxGetN(arg)) > kLargestCount - 1.0) {
    Gateway_Fail("Input %s must be a function name (a non-empty character row vector).", name);
  }
  return static_cast<std::int32_t>(mxGetN(arg));
}

bool Gateway_IsRealSparse(const mxArray* arg, std::int32_t n) {
  return arg != nullptr && mxIsSparse(arg) && mxIsDouble(arg) && !mxIsComplex(arg) &&
         mxGetM(arg) == static_cast<std::size_t>(n) && mxGetN(arg) == static_cast<std::size_t>(n);
}

std::int32_t Gateway_SparseEntries(const mxArray* arg, std::int32_t n, const char* what) {
  // The host's index type may be signed or unsigned, 32 or 64 bits: every
  // value goes through a signed 64-bit copy, where a wrapped value is negative.
  const mwIndex* start = mxGetJc(arg);
  const mwIndex* row = mxGetIr(arg);
  const std::int64_t entries = static_cast<std::int64_t>(start[n]);
  if (entries > static_cast<std::int64_t>(kLargestCount)) {
    Gateway_Fail("%s has more than 2147483647 entries.", what);
  }
  std::int64_t previous = 0;
  for (std::int32_t j = 0; j <= n; ++j) {
    const std::int64_t s = static_cast<std::int64_t>(start[j]);
    if ((j == 0 && s != 0) || s < previous || s > entries) {
      Gateway_Fail("%s has an invalid column start.", what);
    }
    previous = s;
  }
  for (std::int64_t k = 0; k < entries; ++k) {
    const std::int64_t r = static_cast<std::int64_t>(row[k]);
    if (r < 0 || r >= n) Gateway_Fail("%s has a row index out of range.", what);
  }
  return static_cast<std::int32_t>(entries);
}

std::int64_t Gateway_FirstNonFinite(const double* values, std::int64_t count) {
  for (std::int64_t k = 0; k < count; ++k) {
    if (!std::isfinite(values[k])) return k;
  }
  return -1;
}

std::int64_t Gateway_NonzeroBound(std::int32_t n, double nnz) {
  const std::int64_t square = static_cast<std::int64_t>(n) * static_cast<std::int64_t>(n);
  if (nnz >= static_cast<double>(square)) return square;
  return static_cast<std::int64_t>(nnz);
}
