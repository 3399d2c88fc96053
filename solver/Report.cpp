// Report: exit message, major iteration log and the report entries.
#include "solver/Report.hpp"

#include "core/DenseVector.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/Information.hpp"
#include "solver/NMS.hpp"
#include "solver/Report_internal.hpp"

namespace {

// Streams of the reports: log and listing, within the caller's mask.
int ReportMode(int mask) { return (OUTPUT_LOG | OUTPUT_LISTING) & mask; }

const char* const kColumns =
    "major minor  func  grad   residual     step ty    prox   inorm (label)\n";

// Runs the sections whose switch is on; returns whether any ran.
struct Section {
  int option;
  void (*write)(const ReportContext&);
};

template <int N>
int WriteSections(const ReportContext& context, const Section (&sections)[N]) {
  if (context.mode == 0 || MCP_Variables(context.mcp) < 1) return 0;
  int written = 0;
  for (const Section& s : sections) {
    if (!Options_CommonBool(s.option)) continue;
    s.write(context);
    written = context.mode;
  }
  return written;
}

}  // namespace

// ---------------------------------------------------------------------------
// Exit message

const char* Report_ExitText(int code) {
  switch (code) {
    case TERMINATION_SOLVED:
      return "solution found";
    case TERMINATION_NO_PROGRESS:
      return "no further progress";
    case TERMINATION_MAJOR_ITERATION_LIMIT:
      return "major iteration limit";
    case TERMINATION_CUMULATIVE_ITERATION_LIMIT:
      return "cumulative iteration limit";
    case TERMINATION_TIME_LIMIT:
      return "time limit";
    case TERMINATION_USER_INTERRUPT:
      return "user interrupt";
    case TERMINATION_INFEASIBLE:
    case TERMINATION_INFEASIBLE_BOUNDS:
      return "infeasible";
    case TERMINATION_DOMAIN_VIOLATION:
      return "domain violation";
    default:
      return "other error";
  }
}

int Report_Exit(int code, int mask) {
  const int mode = mask & (OUTPUT_LOG | OUTPUT_STATUS);
  if (mode == 0) return 0;
  Output_Printf(mode, "\n ** EXIT - %s.\n", Report_ExitText(code));
  return mode;
}

// ---------------------------------------------------------------------------
// Reports

void Report_Initial(MCP* mcp, DenseVector* x, FunctionJacobian* FJ, int mask, int* written) {
  const ReportContext context{mcp, x, FJ, "Initial", ReportMode(mask), mask};
  static const Section sections[] = {
      {COMMON_OUTPUT_INITIAL_POINT, Report_Point},
      {COMMON_OUTPUT_INITIAL_STATISTICS, Report_ModelStatistics},
      {COMMON_OUTPUT_INITIAL_POINT_STATISTICS, Report_PointStatistics},
      {COMMON_OUTPUT_INITIAL_SCALING_STATISTICS, Report_ScalingStatistics},
  };
  *written = WriteSections(context, sections);
}

void Report_Final(MCP* mcp, DenseVector* x, FunctionJacobian* FJ, int mask, int* written) {
  const ReportContext context{mcp, x, FJ, "Final", ReportMode(mask), mask};
  static const Section sections[] = {
      {COMMON_OUTPUT_FINAL_POINT, Report_Point},
      {COMMON_OUTPUT_FINAL_STATISTICS, Report_ModelStatistics},
      {COMMON_OUTPUT_FINAL_POINT_STATISTICS, Report_PointStatistics},
      {COMMON_OUTPUT_FINAL_SCALING_STATISTICS, Report_ScalingStatistics},
      {COMMON_OUTPUT_FINAL_DEGENERACY_STATISTICS, Report_DegeneracyStatistics},
  };
  *written = WriteSections(context, sections);
}

// ---------------------------------------------------------------------------
// Major iteration log

char Report_StepLetter(int ns, int factor_given_basis_used) {
  switch (ns) {
    case NMS_DSTEP_NONMONOTONE:
      return factor_given_basis_used == 1 ? 'B' : 'A';
    case NMS_DSTEP_ACCEPTED:
      return 'D';
    case NMS_MSTEP_ACCEPTED:
      return 'M';
    case NMS_SEARCH_ACCEPTED:
      return 'L';
    case NMS_WATCHDOG_ACCEPTED:
      return 'W';
    case NMS_GRADIENT_STEP:
      return 'G';
    default:
      return 'F';
  }
}

int Report_MajorLogMode() {
  return OUTPUT_STATUS | (Options_CommonBool(COMMON_OUTPUT_MAJOR_ITERATIONS) ? OUTPUT_LOG : 0);
}

int Report_MajorHeader(int mode) {
  Output_Printf(mode, "\nMajor Iteration Log\n");
  Output_Printf(mode, "%s", kColumns);
  Output_Printf(mode,
                "ty: first letter, the linear subproblem: S solved, R ray, N singular basis,\n"
                "    C cycling, T reset failed, I iteration limit; second letter, the step:\n"
                "    I initial point, R restart, U full Newton step, D descent step,\n"
                "    M checkpoint step, A accepted without reference update (B: given basis),\n"
                "    L search, W search from the checkpoint, G gradient step, F failure.\n");
  return mode;
}

void Report_MajorLine(MCP* mcp, const DenseVector* x, FunctionJacobian* FJ, int code,
                      const MajorLogEntry& entry, int mode, int header_streams) {
  double largest = 0.0;
  int index = 0;
  MCP_Residual(mcp, code, RESIDUAL_INFINITY_NORM, MCP_Lower(mcp), MCP_Upper(mcp), x, FJ, &largest,
               &index);
  char name[256] = {0};
  if (index >= 1) MCP_ConstraintName(mcp, index, name, static_cast<int>(sizeof(name)));
  name[sizeof(name) - 1] = '\0';
  if ((mode & header_streams) != 0) Output_Printf(mode & header_streams, "%s", kColumns);
  Output_Printf(mode, "%5d %5d %5d %5d %.4e % .1e %c%c %.1e %.1e (%.15s)\n", entry.major,
                entry.minor, entry.function_evaluations, entry.jacobian_evaluations, entry.residual,
                entry.step, entry.lemke_letter, entry.step_letter, entry.proximal, largest, name);
}
