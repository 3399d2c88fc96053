// Crash phase: moves the start point of the Newton method towards the
// solution's active set before the first major iteration.
//
// Crash_Newton is a projected Newton method. At x it splits the variables
// into the active set (at the lower bound with F_i > 0, at the upper bound
// with F_i < 0) and the rest, solves the Newton system of the rest with the
// active variables held,
//   (J_II + mu I) d_I = -F_I,  d_A = 0,
// through the timed basis of the Workspace (kept factored from step to step
// and updated by column replacements while J stays the same, see
// solver/CrashMatrix.hpp), and searches along the line or
// the projected arc towards x + d (monotone Armijo on the crash merit
// function, at most crash_minor_iteration_limit trials). The proximal term
// mu starts at min(crash_proximal_merit_factor * residual,
// crash_proximal_initial_maximum) with crash_perturb, else at 0; a singular
// system or a failed search raises it (crash_proximal_increase_factor, at
// most crash_proximal_maximum) and tries again; after each step it shrinks
// by crash_proximal_shrink_factor and is dropped below
// crash_proximal_minimum. The phase stops after crash_iteration_limit
// steps, when the residual falls below crash_convergence_tolerance, when a
// step changes fewer than crash_nbchange_limit active-set memberships, when
// no step can be found, or at an interrupt.
//
// Both operations work in place on the driver's point x (reduced problem,
// n entries, inside its bounds) and function-Jacobian pair FJ, which holds F
// and J at x on entry. A step is committed to x together with its F and J,
// so x and FJ agree whenever the phase ends, by an interrupt jump too. The
// step record (Information layout) receives crash_iterations,
// function_evaluations, jacobian_evaluations and mstep_request (1 when a
// step was taken); its output_mask limits the crash log, which goes to the
// status stream, and also to the log stream with output_crash_iterations,
// one line every output_crash_iterations_frequency steps.
//
// Scratch: Workspace vectors 1 (direction), 2 (right-hand side), 3 (merit
// gradient), 4 (accepted point), 5 (x + d), 6 (solution of the system), 7
// and 8 (refinement of a solve with kept factors), integer vectors 1 (basis
// columns) and 2 (active set), the matrix and the timed basis. The phase
// holds a Workspace reference and a trial function-Jacobian pair while it
// runs and releases both on every path out.
#pragma once

#include <cstdint>

struct DenseVector;
struct FunctionJacobian;
struct Information;
struct MCP;

// What the latest Crash_Newton did: its steps, the factorizations of its
// Newton matrix from scratch, the column replacements that updated them and
// the refinement steps (one extra solve each) of solves with kept factors.
// Zero before the first crash; kept after it for the caller to read.
struct CrashStatistics {
  std::int32_t steps;
  std::int32_t factorizations;
  std::int32_t updates;
  std::int32_t refinements;
};
CrashStatistics Crash_GetStatistics();

// Projected Newton crash. crash_method automatic or pnewton runs it;
// bdiff and smooth run it after the warning
// "Crash: %s method not available; using pnewton.\n".
void Crash_Newton(MCP* mcp, Information* record, DenseVector* x, FunctionJacobian* FJ);

// Perturbation without iterations (crash_method none, crash_perturb yes):
// when proximal_perturbation is 0 it becomes crash_proximal_merit_factor
// times the residual at x, kept within [crash_proximal_minimum,
// crash_proximal_initial_maximum]. Nothing happens with crash_perturb no.
void Crash_Perturb(MCP* mcp, Information* record, DenseVector* x, FunctionJacobian* FJ);
