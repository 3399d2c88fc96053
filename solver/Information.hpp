// The statistics record of a solve and the codes a solve ends with.
//
// One layout serves four users: the caller's record of Sarn_Solve, the record
// the driver hands to every Lemke_Method call, the record handed to NMS_Step
// and the record handed to the crash phase. The field order is fixed.
#pragma once

#include <cstddef>
#include <cstdint>

// Result of Sarn_Solve. Values 7 to 10 come unchanged from MCP_Start, as do
// 1 (solved by presolve) and 6 (presolve interrupted). Any other value is
// reported as "other error".
enum TerminationCode : std::int32_t {
  TERMINATION_SOLVED = 1,
  TERMINATION_NO_PROGRESS = 2,
  TERMINATION_MAJOR_ITERATION_LIMIT = 3,
  TERMINATION_CUMULATIVE_ITERATION_LIMIT = 4,
  TERMINATION_TIME_LIMIT = 5,
  TERMINATION_USER_INTERRUPT = 6,
  TERMINATION_INFEASIBLE = 7,
  TERMINATION_DOMAIN_VIOLATION = 8,
  TERMINATION_INFEASIBLE_BOUNDS = 9,
  TERMINATION_OTHER = 10,
};

struct Information {
  double residual;              // residual at the returned point
  double reserved_double_1;     // not written
  double step_length;           // step taken (NMS_Step; 1.0 before its step)
  double total_time;            // seconds (of one Lemke_Method call for the Lemke record)
  double basis_time;            // seconds in the timed basis
  double reserved_double_2;     // not written
  std::int32_t major_iterations;     // for a Lemke_Method call: pivots of that call
  std::int32_t minor_iterations;     // cumulative pivots
  std::int32_t crash_iterations;
  std::int32_t function_evaluations;
  std::int32_t jacobian_evaluations;
  std::int32_t gradient_steps;
  std::int32_t restarts;
  std::int32_t output_mask;          // OutputMode bits reports and logs may use
  std::int32_t streams_written;      // OutputMode bits the reports wrote to
  std::int32_t reserved_int;         // not written
  std::int32_t mstep_request;        // 0/1: next NMS step must be a checkpoint step
  std::int32_t gradient_request;     // 0/1: driver asks NMS_Step for a gradient step
  std::int32_t factor_given_basis;         // 0/1 Lemke start control
  std::int32_t start_from_given_basis;     // 0/1 Lemke start control
  std::int32_t factor_given_basis_used;    // 0/1 as Lemke applied it
  std::int32_t start_from_given_basis_used;  // 0/1 as Lemke applied it
};

static_assert(offsetof(Information, residual) == 0, "Information layout");
static_assert(offsetof(Information, step_length) == 16, "Information layout");
static_assert(offsetof(Information, total_time) == 24, "Information layout");
static_assert(offsetof(Information, basis_time) == 32, "Information layout");
static_assert(offsetof(Information, major_iterations) == 48, "Information layout");
static_assert(offsetof(Information, minor_iterations) == 52, "Information layout");
static_assert(offsetof(Information, restarts) == 72, "Information layout");
static_assert(offsetof(Information, output_mask) == 76, "Information layout");
static_assert(offsetof(Information, streams_written) == 80, "Information layout");
static_assert(offsetof(Information, mstep_request) == 88, "Information layout");
static_assert(offsetof(Information, factor_given_basis) == 96, "Information layout");
static_assert(offsetof(Information, start_from_given_basis_used) == 108, "Information layout");
static_assert(sizeof(Information) == 112, "Information layout");
