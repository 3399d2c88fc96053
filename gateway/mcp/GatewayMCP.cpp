// mcpgate's evaluation callbacks into the user's function.
#include "gateway/mcp/GatewayMCP.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "mex.h"

#include "gateway/common/GatewayCommon.hpp"
#include "gateway/common/GatewayInput.hpp"
#include "gateway/common/GatewaySession.hpp"
#include "problems/MCP.hpp"

namespace {

Gateway_FunctionState function_state = {nullptr, 0, 0};

MCP_Interface interface_table = {
    nullptr,           Gateway_ProblemSize, Gateway_Bounds, Gateway_FunctionEvaluation,
    Gateway_JacobianEvaluation, nullptr,    nullptr,        nullptr,
    nullptr,           nullptr,             nullptr};

// The five host arrays of one evaluation, destroyed on every way out: the
// results f, J, domerr, then the arguments x and flag.
struct Evaluation {
  mxArray* result[3] = {nullptr, nullptr, nullptr};
  mxArray* argument[2] = {nullptr, nullptr};
  Evaluation() = default;
  Evaluation(const Evaluation&) = delete;
  Evaluation& operator=(const Evaluation&) = delete;
  ~Evaluation() {
    for (mxArray* a : result) {
      if (a != nullptr) mxDestroyArray(a);
    }
    for (mxArray* a : argument) {
      if (a != nullptr) mxDestroyArray(a);
    }
  }
};

// The message of a host error object (a struct or an object with a message
// field or property); empty when it has none.
void HostErrorText(const mxArray* error, char* text, int length) {
  text[0] = '\0';
  mxArray* property = nullptr;
  const mxArray* message = nullptr;
  if (mxIsStruct(error)) {
    message = mxGetField(error, 0, "message");
  } else {
    property = mxGetProperty(error, 0, "message");
    message = property;
  }
  if (message != nullptr && mxIsChar(message)) mxGetString(message, text, length);
  if (property != nullptr) mxDestroyArray(property);
}

// Calls fname(x, flag) with the host's error trapped, so that an error in the
// user's function comes back here instead of unwinding through the library.
void CallUser(Evaluation& e, int n, const double* x, double flag) {
  e.argument[0] = mxCreateDoubleMatrix(n, 1, mxREAL);
  if (n > 0) std::memcpy(mxGetPr(e.argument[0]), x, sizeof(double) * n);
  e.argument[1] = mxCreateDoubleScalar(flag);
  Gateway_TakeRefusal();
  mxArray* error =
      mexCallMATLABWithTrap(3, e.result, 2, e.argument, function_state.name);
  if (error != nullptr) {
    char text[512];
    HostErrorText(error, text, sizeof text);
    mxDestroyArray(error);
    // A refused re-entry says more than the host's report of the failure.
    const char* refused = Gateway_TakeRefusal();
    if (refused[0] != '\0') std::snprintf(text, sizeof text, "%s", refused);
    Gateway_Fail("Evaluation function %s raised an error: %s", function_state.name,
                 text[0] != '\0' ? text : "no message");
  }
  for (const mxArray* a : e.result) {
    if (a == nullptr) {
      Gateway_Fail("Evaluation function %s must return f, J and domerr.", function_state.name);
    }
  }
}

// domerr truncated toward zero and kept within the int range; NaN is one
// domain error.
int DomainErrors(const mxArray* domerr) {
  if (!(mxIsNumeric(domerr) || mxIsLogical(domerr)) || mxIsComplex(domerr) ||
      mxGetNumberOfElements(domerr) != 1) {
    Gateway_Fail("Evaluation function %s must return domerr as a real scalar.",
                 function_state.name);
  }
  const double value = mxGetScalar(domerr);
  if (std::isnan(value)) return 1;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483647.0) return -2147483647;
  return static_cast<int>(value);
}

void CopyF(const mxArray* result, int n, double* f) {
  if (!mxIsDouble(result) || mxIsComplex(result) || mxIsSparse(result) ||
      mxGetNumberOfElements(result) < static_cast<std::size_t>(n)) {
    Gateway_Fail("Evaluation function %s must return f as a real full double array of at "
                 "least %d entries.",
                 function_state.name, n);
  }
  if (n > 0) std::memcpy(f, mxGetPr(result), sizeof(double) * n);
  Gateway_GetState()->f_defined = 1;
}

// Checks J and writes it in the exchange form; returns its entry count.
int CopyJacobian(const mxArray* J, int n, int room, int* col_start, int* col_len, int* row,
                 double* value) {
  if (!Gateway_IsRealSparse(J, n)) {
    Gateway_Fail("Evaluation function %s must return J as a real sparse %d-by-%d matrix.",
                 function_state.name, n, n);
  }
  char what[320];
  std::snprintf(what, sizeof what, "The Jacobian returned by %s", function_state.name);
  const int count = Gateway_SparseEntries(J, n, what);
  if (count > function_state.jacobian_limit || count > room) {
    Gateway_Fail("Jacobian has too many entries: update nnz in sarnmcp.m\n");
  }
  const mwIndex* start = mxGetJc(J);
  const mwIndex* index = mxGetIr(J);
  const double* entries = mxGetPr(J);
  for (int j = 0; j < n; ++j) {
    col_start[j] = static_cast<int>(start[j]) + 1;
    col_len[j] = static_cast<int>(start[j + 1] - start[j]);
  }
  for (int k = 0; k < count; ++k) {
    row[k] = static_cast<int>(index[k]) + 1;
    value[k] = entries[k];
  }
  return count;
}

void CheckSize(int n) {
  if (n != Gateway_GetState()->n) {
    Gateway_Fail("Evaluation of %s asked for %d variables instead of %d.", function_state.name,
                 n, Gateway_GetState()->n);
  }
}

}  // namespace

Gateway_FunctionState* Gateway_GetFunctionState() { return &function_state; }

void Gateway_ForgetFunctionState() { function_state = Gateway_FunctionState{nullptr, 0, 0}; }

int Gateway_FunctionEvaluation(void*, int n, const double* x, double* f) {
  CheckSize(n);
  Evaluation e;
  CallUser(e, n, x, 0.0);
  const int result = DomainErrors(e.result[2]);
  if (result == 0) {
    CopyF(e.result[0], n, f);
  } else {
    Gateway_GetState()->f_defined = 0;
  }
  return result;
}

int Gateway_JacobianEvaluation(void*, int n, const double* x, int want_f, double* f, int* nnz,
                               int* col_start, int* col_len, int* row, double* value) {
  CheckSize(n);
  Evaluation e;
  CallUser(e, n, x, 1.0);
  const int result = DomainErrors(e.result[2]);
  if (result == 0) {
    if (want_f != 0) CopyF(e.result[0], n, f);
    *nnz = CopyJacobian(e.result[1], n, *nnz, col_start, col_len, row, value);
    function_state.jacobian_defined = 1;
  } else {
    // No Jacobian at x: an empty one, so that nothing reads stale entries.
    for (int j = 0; j < n; ++j) {
      col_start[j] = 1;
      col_len[j] = 0;
    }
    *nnz = 0;
    function_state.jacobian_defined = 0;
    if (want_f != 0) Gateway_GetState()->f_defined = 0;
  }
  return result;
}

void Gateway_SetInterface(MCP* mcp) { MCP_SetInterface(mcp, &interface_table); }
