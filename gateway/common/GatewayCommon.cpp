// Common gateway glue: size, bounds, error and memory callbacks.
#include "gateway/common/GatewayCommon.hpp"

#include "mex.h"

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "solver/ProcessState.hpp"

namespace {

Gateway_State state = {0, 0, nullptr, nullptr, nullptr, 0};

Error_Interface error_record = {nullptr, Gateway_Error, nullptr};

Memory_Interface memory_record = {nullptr, Gateway_Allocate, Gateway_Allocate, Gateway_Free,
                                  Gateway_Free};

}  // namespace

Gateway_State* Gateway_GetState() { return &state; }

void Gateway_ForgetState() {
  ProcessState_Forget();
  state = Gateway_State{0, 0, nullptr, nullptr, nullptr, 0};
}

void Gateway_ProblemSize(void*, int* n, int* nnz) {
  *n = state.n;
  *nnz = state.nnz;
}

void Gateway_Bounds(void*, int n, double* x, double* lower, double* upper) {
  if (n != state.n) Error_Report("Gateway", __LINE__, "Bounds", "size mismatch");
  for (int i = 0; i < n; ++i) {
    x[i] = state.z[i];
    lower[i] = state.lb[i];
    upper[i] = state.ub[i];
  }
}

void Gateway_Error(void*, const char* text) { throw SolverErrorException(text); }

void Gateway_SetErrorInterface() { Error_SetInterface(&error_record); }

void* Gateway_Allocate(void*, std::size_t size) { return mxMalloc(size); }

void Gateway_Free(void*, void* block) {
  if (block != nullptr) mxFree(block);
}

void Gateway_SetMemoryInterface() { Memory_SetInterface(&memory_record); }
