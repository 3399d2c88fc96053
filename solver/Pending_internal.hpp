// TEMPORARY: declarations of the stabilisation and crash entry points that
// the driver calls, until their own headers (solver/NMS.hpp, solver/Crash.hpp)
// are merged. Delete this file then.
#pragma once

#include <cstdint>

struct DenseVector;
struct FunctionJacobian;
struct Information;
struct LCP;
struct MCP;

void NMS_Create(std::int32_t n, std::int32_t m);
void NMS_Destroy();
void NMS_Resize(std::int32_t n, std::int32_t m);
int NMS_Step(MCP* mcp, LCP* lcp, int lc, Information* record, DenseVector* x, DenseVector* y,
             FunctionJacobian* FJ, std::int32_t* k);
void Crash_Newton(MCP* mcp, Information* record, DenseVector* x, FunctionJacobian* FJ);
void Crash_Perturb(MCP* mcp, Information* record, DenseVector* x, FunctionJacobian* FJ);
