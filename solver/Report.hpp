// Report: what the driver prints about a solve besides warnings: the major
// iteration log, the initial and final reports on the problem and the point,
// and the exit message.
//
// The reports write to the log and listing streams, within the caller's
// OutputMode mask, each section switched by its output_initial_* or
// output_final_* option; "Zero column of order" and "Zero row of order"
// lines are limited by output_maximum_zero_log (in the report's own streams)
// and output_maximum_zero_listing (the lines after those, listing only).
// The major iteration log goes to the status stream, and to the log stream
// too with output_major_iterations.
//
// Files: Report.cpp (exit message, major iteration log, report entries),
// ReportStatistics.cpp (the report sections).
#pragma once

#include <cstdint>

struct DenseVector;
struct FunctionJacobian;
struct MCP;

// ---------------------------------------------------------------------------
// Exit message.

// Text of a TerminationCode: "solution found", "no further progress",
// "major iteration limit", "cumulative iteration limit", "time limit",
// "user interrupt", "infeasible" (7 and 9), "domain violation" (8), and
// "other error" for every other value.
const char* Report_ExitText(int code);

// Writes "\n ** EXIT - %s.\n" with the code's text on mask AND 3 (log and
// status). Returns the streams written (0 when the mask excludes both).
int Report_Exit(int code, int mask);

// ---------------------------------------------------------------------------
// Initial and final reports. x and FJ: the point (n = MCP_Variables) and F
// and J at it. *written receives the OR of the streams used (0 when nothing
// was printed). Neither changes x, FJ or the problem.

// Sections: point (output_initial_point), model statistics
// (output_initial_statistics), point statistics
// (output_initial_point_statistics), scaling statistics
// (output_initial_scaling_statistics).
void Report_Initial(MCP* mcp, DenseVector* x, FunctionJacobian* FJ, int mask, int* written);

// Sections as the initial report under the output_final_* options, plus the
// degeneracy statistics (output_final_degeneracy_statistics). The exit
// message (Report_Exit) follows once the solve's code is confirmed on the
// caller's problem.
void Report_Final(MCP* mcp, DenseVector* x, FunctionJacobian* FJ, int mask, int* written);

// ---------------------------------------------------------------------------
// Major iteration log.

// Second letters of a log line besides those of the stabilisation steps.
constexpr char REPORT_STEP_INITIAL = 'I';    // the line before the first iteration
constexpr char REPORT_STEP_RESTART = 'R';    // the line after a restart
constexpr char REPORT_STEP_NEWTON = 'U';     // full Newton step, no stabilisation

// Letter of an NMS_Step result: 0 'A' (moved without a reference update;
// 'B' when the pivoting method factored the given basis), 1 'D', 2 'M',
// 3 'L' (search), 4 'W' (watchdog search), 5 'G' (gradient step), other 'F'.
char Report_StepLetter(int ns, int factor_given_basis_used);

// One line of the log.
struct MajorLogEntry {
  std::int32_t major;        // iteration number shown
  std::int32_t minor;        // pivots of this iteration's Lemke call
  std::int32_t function_evaluations;
  std::int32_t jacobian_evaluations;
  double residual;
  double step;
  char lemke_letter;         // ' ' when no Lemke call belongs to the line
  char step_letter;
  double proximal;           // proximal_perturbation in force
};

// The streams of the log: 2, and 1 too with output_major_iterations.
int Report_MajorLogMode();

// Writes the header (title, column names and the legend of the letters) on
// mode. Returns mode.
int Report_MajorHeader(int mode);

// Writes the column-name header on mode AND header_streams (the streams some
// other output has used since the last line, so that the columns stay
// readable), then the line "%5d %5d %5d %5d %.4e % .1e %c%c %.1e %.1e
// (%.15s)\n" on mode: the entry with the infinity-norm residual of code at
// x (F from FJ) and the name of its largest element.
void Report_MajorLine(MCP* mcp, const DenseVector* x, FunctionJacobian* FJ, int code,
                      const MajorLogEntry& entry, int mode, int header_streams);
