// Crash phase: moves the start point of the Newton method towards the
// solution's active set before the first major iteration.
//
// Crash_Newton is a projected Newton method. At x it splits the variables
// into the active set (by the semismooth rule on x - mid(l, u, x - F): held
// at the lower bound where x - F is at or below it and F_i > 0, at the
// upper bound where x - F is at or above it and F_i < 0) and the rest,
// solves the Newton system of the rest with the active variables moved
// onto their bounds,
//   (J_II + mu I) d_I = -F_I - J_IA d_A,
// through the timed basis of the Workspace (kept factored from step to step
// and updated by column replacements while J stays the same, see
// solver/CrashMatrix.hpp), and searches along the line or the projected arc
// towards x + d (nonmonotone Armijo on the crash merit function against the
// largest merit of the latest five points, at most
// crash_minor_iteration_limit trials). The first step takes every variable
// as free (a full Newton step that the projection cuts back to the bounds);
// when it fails, the active set of the start point is used. When the active
// set moves as a front, the free set of the next step is widened along it
// (solver/CrashFront.hpp; after a correction or a shortened step only when
// that step is factored afresh anyway); a widened set whose direction takes
// widened variables beyond a bound gives them back to the active set and
// solves again (three times at most), and one that yields no full step is
// dropped for the rule's own set. The proximal term mu starts at
// min(crash_proximal_merit_factor * residual,
// crash_proximal_initial_maximum) with crash_perturb, else at 0; a singular
// system or a failed search raises it (crash_proximal_increase_factor, at
// most crash_proximal_maximum) and tries again; after each step it shrinks
// by crash_proximal_shrink_factor and is dropped below
// crash_proximal_minimum. The phase stops after crash_iteration_limit
// steps, when the residual falls below crash_convergence_tolerance, when a
// step changes fewer than crash_nbchange_limit active-set memberships, when
// no step can be found, or at an interrupt. When the memberships settle
// with a proximal term in use on a Jacobian that stayed the same over the
// step (a linear problem), one more step is taken first with mu = 0: the
// Newton point of the settled memberships, which solves the problem when
// they are its solution's; when it moves memberships, the phase goes on
// from there. Where that system is singular the step takes a proximal term
// after all; such a step is kept only when it changes fewer than
// crash_nbchange_limit memberships, else the phase ends at the point where
// they settled (evaluated once more). It ends at the point of least merit
// it met (evaluated once more when that is not the latest point), after an
// interrupt too: the jump goes on once x holds that point.
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
// and 8 (refinement of a solve with kept factors), 9 (the best point), 10
// (the point where the memberships settled), integer vectors 1 (basis
// columns), 2 (active set), 3 to 5 (the front: memberships of the rule,
// widened marks, search queue), the matrix and the timed basis. The phase
// holds a Workspace reference and a trial function-Jacobian pair while it
// runs and releases both on every path out.
#pragma once

#include <cstdint>

struct DenseVector;
struct FunctionJacobian;
struct Information;
struct MCP;

// What the latest Crash_Newton did: its steps, the factorizations of its
// Newton matrix from scratch, the column replacements that updated them,
// the refinement steps (one extra solve each) of solves with kept factors,
// and the Newton systems solved (a step's tries with larger proximal terms
// and corrections of a widened set each solve one).
// Zero before the first crash; kept after it for the caller to read.
struct CrashStatistics {
  std::int32_t steps;
  std::int32_t factorizations;
  std::int32_t updates;
  std::int32_t refinements;
  std::int32_t systems;
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
