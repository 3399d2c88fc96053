// Helpers shared by the driver's source files (not part of the interface).
#pragma once

#include <cstdint>

struct DenseVector;
struct DriverWorkspace;
struct MCP;

// Starts a new residual history: length Sarn_HistoryLength (the vector is
// grown when shorter), every entry 0 except entry 1 := the current residual.
// history_count is not touched.
void Sarn_ResetHistory(DriverWorkspace* ws);

// 1 when lemke_start_type asks for an advanced start, 0 for a slack one: the
// second start control whenever the given basis is not factored unchanged.
std::int32_t Sarn_AdvancedStartControl();

// The start controls of the record handed to the pivoting method, from
// lemke_start and lemke_start_type: automatic gives (1, 1), first and always
// (0, 1 for advanced / 0 for slack).
void Sarn_SetLemkeStartControls(DriverWorkspace* ws);

// The best triple := the current one when the current residual is below the
// best so far; best_floor then takes the rounding floor of the residual
// there (see Sarn_AtRoundingFloor), from F and J in the scratch pair, which
// must hold them at x.
void Sarn_KeepBest(DriverWorkspace* ws);

// Two-norm residual of the workspace's residual code at x, with F from the
// scratch pair (which must hold F at x).
double Sarn_ResidualAt(MCP* mcp, DenseVector* x);

// The residual function of the convergence test under the merit_function
// option: the normal map for "normal", Fischer-Burmeister otherwise.
int Sarn_ResidualCode();

// Two-norm residual of the workspace's code at the current point (F from
// the scratch pair) into ws->residual; the best triple takes the current
// one when the residual is below the best so far.
void Sarn_UpdateResidual(MCP* mcp, DriverWorkspace* ws);

// True when the best residual has come down to what rounding allows at the
// best point: at most 10 times eps times the two-norm of |J| |x| + |F - J x|
// there (for a linear problem |M| |x| + |q|, the size of the rounding error
// in evaluating F itself), measured when the point became the best one. A
// solve that stalls there cannot get better by restarting.
bool Sarn_AtRoundingFloor(DriverWorkspace* ws);
