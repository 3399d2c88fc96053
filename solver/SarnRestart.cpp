// Sarn driver: the crash step and the restart strategies.
#include <cstdio>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/Crash.hpp"
#include "solver/Report.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"
#include "solver/Sarn_internal.hpp"

namespace {

FunctionJacobian* Pair() { return Workspace_FunctionJacobian(); }

// The streams of the restart log: 2, and 1 too with output_restart_log.
int RestartMode() {
  return OUTPUT_STATUS | (Options_CommonBool(COMMON_OUTPUT_RESTART_LOG) ? OUTPUT_LOG : 0);
}

// Setters of the algorithm group that write the option line right after the
// change, with the option's own name and, for keywords, its own keyword.
void SetKeyword(int mode, int index, int code, const OptionKeyword* keywords) {
  Sarn_OptionTable[index].int_value = code;
  Output_Printf(mode, "%s %s\n", Sarn_OptionTable[index].name, keywords[code]);
}

void SetBool(int mode, int index, bool value) {
  Sarn_OptionTable[index].bool_value = value ? 1 : 0;
  Output_Printf(mode, "%s %s\n", Sarn_OptionTable[index].name, value ? "yes" : "no");
}

void SetInt(int mode, int index, int value) {
  Sarn_OptionTable[index].int_value = value;
  Output_Printf(mode, "%s %d\n", Sarn_OptionTable[index].name, value);
}

void SetDouble(int mode, int index, double value) {
  Sarn_OptionTable[index].double_value = value;
  Output_Printf(mode, "%s %g\n", Sarn_OptionTable[index].name, value);
}

void SetProximal(int mode, double value) {
  Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].double_value = value;
  Output_Printf(mode, "%s %5.4e\n", Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].name, value);
}

void SetCrashMethod(int mode, int code) {
  SetKeyword(mode, SARN_CRASH_METHOD, code, Sarn_CrashMethodKeywords);
}

void SetSlackStart(int mode) {
  SetKeyword(mode, SARN_LEMKE_START_TYPE, LEMKE_START_TYPE_SLACK, Sarn_LemkeStartTypeKeywords);
}

// A search type flips between line (from parc) and parc (from any other).
void ToggleSearchType(int mode, int index) {
  const int code = Sarn_OptionInt(index) == SEARCH_TYPE_PARC ? SEARCH_TYPE_LINE : SEARCH_TYPE_PARC;
  SetKeyword(mode, index, code, Sarn_SearchTypeKeywords);
}

double Smaller(double a, double b) { return b < a ? b : a; }

// The strategies by the number of restarts made so far (0, 1, 2).
void FirstStrategy(MCP* mcp, int mode) {
  if (Sarn_OptionInt(SARN_CRASH_METHOD) == CRASH_METHOD_NONE) {
    SetCrashMethod(mode, CRASH_METHOD_PNEWTON);
  } else {
    SetCrashMethod(mode, CRASH_METHOD_NONE);
    SetBool(mode, SARN_CRASH_PERTURB, true);
  }
  SetDouble(mode, SARN_NMS_INITIAL_REFERENCE_FACTOR, 2.0);
  SetSlackStart(mode);
  Sarn_GenerateInitialPoint(mcp);
  if (Sarn_OptionInt(SARN_CRASH_METHOD) == CRASH_METHOD_NONE) {
    SetProximal(mode, Smaller(0.1, 0.01 * Sarn_GetWorkspace()->residual));
  }
  Sarn_Crash(mcp);
  if (Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION) > 0.0) Sarn_SetProximalInUse(1);
}

void SecondStrategy(MCP* mcp, int mode) {
  SetCrashMethod(mode, CRASH_METHOD_NONE);
  SetBool(mode, SARN_CRASH_PERTURB, false);
  SetDouble(mode, SARN_NMS_INITIAL_REFERENCE_FACTOR, 10.0);
  SetInt(mode, SARN_NMS_MEMORY_SIZE, 2);
  SetInt(mode, SARN_NMS_MSTEP_FREQUENCY, 1);
  SetSlackStart(mode);
  Sarn_GenerateInitialPoint(mcp);
  if (Sarn_ProximalInUse() == 0) {
    SetProximal(mode, Smaller(1.0, 0.01 * Sarn_GetWorkspace()->residual));
    Sarn_SetProximalInUse(1);
  }
  Sarn_Crash(mcp);
}

void ThirdStrategy(MCP* mcp, int mode) {
  SetCrashMethod(mode, CRASH_METHOD_PNEWTON);
  SetBool(mode, SARN_CRASH_PERTURB, false);
  SetInt(mode, SARN_CRASH_NBCHANGE_LIMIT, 10);
  SetDouble(mode, SARN_NMS_INITIAL_REFERENCE_FACTOR, 2.0);
  ToggleSearchType(mode, SARN_CRASH_SEARCHTYPE);
  ToggleSearchType(mode, SARN_NMS_SEARCHTYPE);
  ToggleSearchType(mode, SARN_GRADIENT_SEARCHTYPE);
  SetSlackStart(mode);
  Sarn_GenerateInitialPoint(mcp);
  Sarn_Crash(mcp);
}

// The strategies of the first, second and third restart, in turn.
using RestartStrategy = void (*)(MCP* mcp, int mode);
const RestartStrategy kStrategies[] = {FirstStrategy, SecondStrategy, ThirdStrategy};
constexpr std::int32_t kStrategyCount = sizeof kStrategies / sizeof kStrategies[0];

// Residual, normal-map point and basis codes after the crash moved x.
void AfterCrash(MCP* mcp, DriverWorkspace* ws) {
  Sarn_BasisModifications(mcp);
  MCP_NormalMapPoint(mcp, ws->y, ws->x, Pair());
  Sarn_UpdateResidual(mcp, ws);
}

}  // namespace

void Sarn_Crash(MCP* mcp) {
  DriverWorkspace* ws = Sarn_GetWorkspace();
  ws->mstep_request = 0;
  const bool wanted = Sarn_OptionInt(SARN_CRASH_METHOD) != CRASH_METHOD_NONE ||
                      Sarn_OptionBool(SARN_CRASH_PERTURB);
  if (!wanted || Options_CommonInt(COMMON_CRASH_ITERATION_LIMIT) == 0) return;

  Information record{};
  record.output_mask = OUTPUT_ALL;
  const bool interrupted = Interrupt_RunWithJumpPoint([&] {
    if (Sarn_OptionInt(SARN_CRASH_METHOD) == CRASH_METHOD_NONE) {
      Crash_Perturb(mcp, &record, ws->x, Pair());
    } else {
      Crash_Newton(mcp, &record, ws->x, Pair());
    }
  });
  ws->crash_iterations += record.crash_iterations;
  ws->function_evaluations += record.function_evaluations;
  ws->jacobian_evaluations += record.jacobian_evaluations;
  ws->mstep_request = record.mstep_request;

  if (interrupted) {
    // The crash may have stopped between a trial evaluation and its
    // decision, leaving another point's F in the pair: evaluate at x again
    // so that the residual and the best point belong to x. The interrupt
    // flag stays set; the major loop's first check ends the solve.
    MCP_Jacobian(mcp, ws->x, Pair());
    ws->function_evaluations += 1;
    ws->jacobian_evaluations += 1;
    AfterCrash(mcp, ws);
  } else if (record.crash_iterations >= 1) {
    AfterCrash(mcp, ws);
  }
}

bool Sarn_AtRoundingFloor(DriverWorkspace* ws) {
  // Residuals within this many times the rounding error of F count as
  // stalled at rounding.
  constexpr double kFloorMultiple = 10.0;
  // Written so that a NaN answers false.
  return ws->best_residual <= kFloorMultiple * ws->best_floor;
}

int Sarn_Restart(MCP* mcp) {
  DriverWorkspace* ws = Sarn_GetWorkspace();
  const std::int32_t r = ws->restarts;
  if (r >= Options_CommonInt(COMMON_RESTART_LIMIT)) {
    Error_Warning("Too many restarts.\n");
    return 0;
  }
  if (r >= kStrategyCount) return 0;

  const int mode = RestartMode();
  Output_Printf(mode, "\nRestart Log\n");
  Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].double_value = 0.0;
  Output_Printf(mode, "%s 0\n", Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].name);
  kStrategies[r](mcp, mode);

  // A new residual history from the restored point, and its log line.
  ws->history_count = 0;
  ws->gradient_steps_since_restart = 0;
  Sarn_ResetHistory(ws);
  MajorLogEntry entry{ws->major_iterations,
                      0,
                      ws->function_evaluations,
                      ws->jacobian_evaluations,
                      ws->residual,
                      0.0,
                      ' ',
                      REPORT_STEP_RESTART,
                      Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION)};
  Report_MajorLine(mcp, ws->x, Pair(), ws->residual_code, entry, Report_MajorLogMode(), 0);
  ws->history_count = 1;

  // The pivoting method's start controls, as at the start of the solve.
  Sarn_SetLemkeStartControls(ws);
  return 1;
}
