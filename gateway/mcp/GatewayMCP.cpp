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

Gateway_FunctionState function_state = {nullptr, 0,       0,       nullptr,
                                         nullptr, nullptr, nullptr, nullptr};

MCP_Interface interface_table = {
    nullptr,           Gateway_ProblemSize, Gateway_Bounds, Gateway_FunctionEvaluation,
    Gateway_JacobianEvaluation, nullptr,    nullptr,        nullptr,
    nullptr,           nullptr,             nullptr};

// The user's function is called through the host's cellfun with an error
// handler, so that an error it raises comes back with its own message and
// identifier (a trapped call reports only that the call failed). The handler
// hands the host's error record back as every output.
constexpr const char* kErrorHandler = "@(err, varargin) deal(err, err, err)";

// The five host arrays of one evaluation, destroyed on every way out: the
// results f, J, domerr (each a 1-by-1 cell), then the arguments x and flag
// (each in a 1-by-1 cell). value[k] is the content of result k.
struct Evaluation {
  mxArray* result[3] = {nullptr, nullptr, nullptr};
  mxArray* argument[2] = {nullptr, nullptr};
  const mxArray* value[3] = {nullptr, nullptr, nullptr};
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

// One output of a host function called with one input, or a failure that
// names what could not be made.
mxArray* HostValue(const char* function, mxArray* input, const char* what) {
  mxArray* output = nullptr;
  mxArray* error = mexCallMATLABWithTrap(1, &output, 1, &input, function);
  if (error != nullptr) mxDestroyArray(error);
  mxDestroyArray(input);
  if (error != nullptr || output == nullptr) Gateway_Fail("The host could not make %s.", what);
  return output;
}

// A text field of a host error record ("" when it has none).
void ErrorField(const mxArray* error, const char* field, char* text, int length) {
  text[0] = '\0';
  const mxArray* value = mxGetField(error, 0, field);
  if (value != nullptr && mxIsChar(value)) mxGetString(value, text, length);
}

// True when value is the host's error record, as the error handler hands
// it back: a struct with message, identifier and index fields.
bool IsErrorRecord(const mxArray* value) {
  return value != nullptr && mxIsStruct(value) && mxGetNumberOfElements(value) == 1 &&
         mxGetField(value, 0, "message") != nullptr &&
         mxGetField(value, 0, "identifier") != nullptr && mxGetField(value, 0, "index") != nullptr;
}

// The failure for an error that the user's function raised, with its
// message and identifier.
[[noreturn]] void FailWithUserError(const mxArray* error) {
  char message[512];
  char identifier[256];
  ErrorField(error, "message", message, sizeof message);
  ErrorField(error, "identifier", identifier, sizeof identifier);
  // A refused re-entry says more than the host's report of the failure.
  const char* refused = Gateway_TakeRefusal();
  if (refused[0] != '\0') std::snprintf(message, sizeof message, "%s", refused);
  Gateway_FailWithId(identifier, "Evaluation function %s raised an error: %s", function_state.name,
                     message[0] != '\0' ? message : "no message");
}

// Calls fname(x, flag) in the host with the host's errors trapped and
// handed back, so that an error in the user's function comes back here
// instead of unwinding through the library. SIGINT is the host's meanwhile.
void CallUser(Evaluation& e, int n, const double* x, double flag) {
  mxArray* X = mxCreateDoubleMatrix(n, 1, mxREAL);
  if (n > 0) std::memcpy(mxGetPr(X), x, sizeof(double) * n);
  e.argument[0] = mxCreateCellMatrix(1, 1);
  mxSetCell(e.argument[0], 0, X);
  e.argument[1] = mxCreateCellMatrix(1, 1);
  mxSetCell(e.argument[1], 0, mxCreateDoubleScalar(flag));
  mxArray* inputs[] = {function_state.function,     e.argument[0],
                       e.argument[1],               function_state.uniform_name,
                       function_state.uniform_value, function_state.handler_name,
                       function_state.error_handler};
  Gateway_TakeRefusal();
  mxArray* error = nullptr;
  {
    Gateway_HostSignalScope host_signal;
    error = mexCallMATLABWithTrap(3, e.result, 7, inputs, "cellfun");
  }
  // A failure of the call itself: the function gave fewer outputs than asked.
  if (error != nullptr) mxDestroyArray(error);
  for (int k = 0; k < 3; ++k) {
    if (error == nullptr && e.result[k] != nullptr && mxIsCell(e.result[k]) &&
        mxGetNumberOfElements(e.result[k]) == 1) {
      e.value[k] = mxGetCell(e.result[k], 0);
    }
    if (e.value[k] == nullptr) {
      Gateway_Fail("Evaluation function %s must return f, J and domerr.", function_state.name);
    }
  }
  if (IsErrorRecord(e.value[2])) FailWithUserError(e.value[2]);
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

void Gateway_PrepareCalls() {
  Gateway_FunctionState& s = function_state;
  s.function = HostValue("str2func", mxCreateString(s.name), "a handle of the function");
  s.error_handler = HostValue("str2func", mxCreateString(kErrorHandler), "an error handler");
  s.uniform_name = mxCreateString("UniformOutput");
  s.uniform_value = mxCreateLogicalScalar(false);
  s.handler_name = mxCreateString("ErrorHandler");
}

void Gateway_ReleaseCalls() {
  Gateway_FunctionState& s = function_state;
  for (mxArray** a : {&s.function, &s.error_handler, &s.uniform_name, &s.uniform_value,
                      &s.handler_name}) {
    if (*a != nullptr) mxDestroyArray(*a);
    *a = nullptr;
  }
}

void Gateway_ForgetFunctionState() {
  function_state = Gateway_FunctionState{nullptr, 0,       0,       nullptr,
                                         nullptr, nullptr, nullptr, nullptr};
}

int Gateway_FunctionEvaluation(void*, int n, const double* x, double* f) {
  CheckSize(n);
  Evaluation e;
  CallUser(e, n, x, 0.0);
  const int result = DomainErrors(e.value[2]);
  if (result == 0) {
    CopyF(e.value[0], n, f);
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
  const int result = DomainErrors(e.value[2]);
  if (result == 0) {
    if (want_f != 0) CopyF(e.value[0], n, f);
    *nnz = CopyJacobian(e.value[1], n, *nnz, col_start, col_len, row, value);
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
