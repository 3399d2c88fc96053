// Sarn driver: Sarn_Solve and its major iteration loop.
#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/Timer.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "factorization/WorkspaceBasis.hpp"
#include "presolve/MCP_Finish.hpp"
#include "problems/LCP.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/LMCP.hpp"
#include "solver/Lemke.hpp"
#include "solver/NMS.hpp"
#include "solver/Report.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"
#include "solver/Sarn_internal.hpp"

namespace {

FunctionJacobian* Pair() { return Workspace_FunctionJacobian(); }

double Smaller(double a, double b) { return b < a ? b : a; }
double Larger(double a, double b) { return b > a ? b : a; }

void SetProximal(double value) {
  Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION].double_value = value;
}

// The streams of the final summary: 2, and 1 too with output_final_summary.
int SummaryMode() {
  return OUTPUT_STATUS | (Options_CommonBool(COMMON_OUTPUT_FINAL_SUMMARY) ? OUTPUT_LOG : 0);
}

// output_major_iterations_frequency, at least 1.
int LogFrequency() {
  const int frequency = Options_CommonInt(COMMON_OUTPUT_MAJOR_ITERATIONS_FREQUENCY);
  return frequency < 1 ? 1 : frequency;
}

// Counters that live only in one run of the loop and restart from 0 after
// every restart: unsolved subproblems in a row (A drives the start controls
// of the pivoting method, B the gradient-step request) and stationary steps
// in a row (S), and major iterations in a row that did not bring the best
// residual down by a tenth (stalled).
struct RunCounters {
  int A = 0;
  int B = 0;
  int S = 0;
  int stalled = 0;
};

// Stalled iterations after which a residual at the rounding floor ends the
// solve; one is enough once the best residual is below the floor itself,
// where what an iteration gains or loses is rounding.
constexpr int kStallLimit = 5;
// An iteration that leaves the best residual above this fraction of the
// one before it has stalled.
constexpr double kStallProgress = 0.9;

constexpr const char* kRoundingFloor =
    "Residual at the rounding floor of the arithmetic: no further progress.\n";

// StopCode's answer when no test ends the solve (no TerminationCode is 0).
constexpr int kGoOn = 0;

// The restarts after a point where F or J is undefined; every other restart
// comes from a stall.
constexpr const char* kFunctionUndefined = "Restart: Function evaluation undefined.\n";
constexpr const char* kPointUndefined = "Current point undefined. Restarting.\n";

// TakeStep's step code when the stabilisation is off (NMS_Step's codes are
// not negative).
constexpr int kNoNmsStep = -1;

// The tests at the top of a major iteration, in order. Returns the
// TerminationCode that ends the solve, or kGoOn.
int StopCode(DriverWorkspace* ws, void* timer) {
  if (ws->residual < Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE)) {
    return TERMINATION_SOLVED;
  }
  if (ws->minor_iterations >= Options_CommonInt(COMMON_CUMULATIVE_ITERATION_LIMIT)) {
    return TERMINATION_CUMULATIVE_ITERATION_LIMIT;
  }
  if (ws->major_iterations >= Options_CommonInt(COMMON_MAJOR_ITERATION_LIMIT)) {
    return TERMINATION_MAJOR_ITERATION_LIMIT;
  }
  ws->elapsed = Timer_Query(timer);
  if (ws->elapsed >= Options_CommonDouble(COMMON_TIME_LIMIT)) return TERMINATION_TIME_LIMIT;
  return kGoOn;
}

// Solves the linearised problem at x, with at most one second attempt: a
// warm start that failed in the first iteration is retried without the given
// basis; a singular or failed reset is retried with a proximal term. Returns
// the pivoting method's code; *pivots and *streams collect both calls.
int SolveLinearisation(DriverWorkspace* ws, int* pivots, int* streams) {
  Information& lemke = ws->lemke_info;
  int lc = Lemke_Method(ws->lcp, &lemke);
  *pivots = lemke.major_iterations;
  *streams = lemke.streams_written;
  bool again = false;
  if (ws->restarts == 0 && ws->history_count == 1 && lc != LEMKE_SOLVED &&
      lemke.factor_given_basis_used == 1) {
    lemke.factor_given_basis = 0;
    lemke.start_from_given_basis = Sarn_AdvancedStartControl();
    again = true;
  } else if (lc == LEMKE_RESET_FAILED || lc == LEMKE_SINGULAR) {
    SetProximal(Smaller(Sarn_OptionDouble(SARN_PROXIMAL_MERIT_FACTOR) * ws->residual,
                        Sarn_OptionDouble(SARN_PROXIMAL_INITIAL_MAXIMUM)));
    again = true;
  }
  if (again) {
    lc = Lemke_Method(ws->lcp, &lemke);
    *pivots += lemke.major_iterations;
    *streams |= lemke.streams_written;
  }
  ws->minor_iterations += *pivots;
  return lc;
}

// The proximal term of this iteration, shrunk and bounded by the residual.
void UpdateProximal(DriverWorkspace* ws) {
  const double merit_factor = Sarn_OptionDouble(SARN_PROXIMAL_MERIT_FACTOR);
  double p = Smaller(Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION) *
                         Sarn_OptionDouble(SARN_PROXIMAL_SHRINK_FACTOR),
                     ws->residual * merit_factor);
  if (p < Sarn_OptionDouble(SARN_PROXIMAL_MINIMUM)) p = 0.0;
  SetProximal(p);
  Sarn_OptionTable[SARN_PROXIMAL_INITIAL].double_value =
      Larger(Smaller(ws->residual * merit_factor, 1.0), 1e-10);
}

// The start controls of the next Lemke call after this iteration's result.
void NextStartControls(DriverWorkspace* ws, RunCounters* c) {
  Information& lemke = ws->lemke_info;
  // In 64 bits: the option may be any int, the smallest included.
  const std::int64_t tolerance = Sarn_OptionInt(SARN_LEMKE_START_TOLERANCE);
  const int advanced = Sarn_AdvancedStartControl();
  if (c->A == tolerance - 1) {
    lemke.factor_given_basis = 1;
    lemke.start_from_given_basis = 0;
  } else if (c->A == tolerance) {
    lemke.factor_given_basis = 0;
    lemke.start_from_given_basis = advanced;
    c->A = 0;
  } else if (Sarn_OptionInt(SARN_LEMKE_START) == LEMKE_START_ALWAYS) {
    lemke.factor_given_basis = 0;
    lemke.start_from_given_basis = advanced;
  } else {
    lemke.factor_given_basis = 1;
    lemke.start_from_given_basis = 1;
  }
}

// The step to the next point. Returns a restart message, or nullptr.
const char* TakeStep(MCP* mcp, DriverWorkspace* ws, int lc, RunCounters* c, Information* step,
                     int* ns) {
  if (!Sarn_OptionBool(SARN_NMS)) {
    *ns = kNoNmsStep;
    step->step_length = 1.0;
    Sarn_NewtonPoint(ws->lcp, ws->x);
    DenseVector_Mid(ws->x, ws->x, MCP_Lower(mcp), MCP_Upper(mcp));
    if (!MCP_Function(mcp, ws->x, Pair())) return kFunctionUndefined;
    ws->function_evaluations += 1;
    return nullptr;
  }
  step->mstep_request = ws->mstep_request;
  step->gradient_request = 0;
  if (c->B > Sarn_OptionInt(SARN_LEMKE_START_TOLERANCE) && Is_Differentiable(ws->residual_code)) {
    step->gradient_request = 1;
    c->B = 0;
  }
  *ns = NMS_Step(mcp, ws->lcp, lc, step, ws->x, ws->y, Pair(), &ws->history_count);
  ws->function_evaluations += step->function_evaluations;
  ws->jacobian_evaluations += step->jacobian_evaluations;
  ws->mstep_request = 0;
  if (*ns == NMS_FAILED) return "Restart: NMS failed.\n";
  if (*ns == NMS_GRADIENT_STEP) {
    ws->gradient_steps += 1;
    ws->gradient_steps_since_restart += 1;
    if (ws->gradient_steps_since_restart > Sarn_OptionInt(SARN_GRADIENT_STEP_LIMIT)) {
      return "Restart: Too many gradient steps.\n";
    }
  }
  return nullptr;
}

// The ring of residuals: restart when the residual is not below
// residual_factor times the one residual_size iterations back; else store
// it in that entry.
bool EnoughProgress(DriverWorkspace* ws) {
  const std::int32_t size = Sarn_HistoryLength();
  const std::int32_t k = ws->history_count % size + 1;
  if (ws->history_count >= size &&
      ws->residual > Sarn_OptionDouble(SARN_RESIDUAL_FACTOR) *
                         DenseVector_Value(ws->residual_history, k)) {
    return false;
  }
  DenseVector_SetValue(ws->residual_history, k, ws->residual);
  return true;
}

// One major iteration after the tests at its top. Returns a restart
// message, or nullptr when the iteration completed.
const char* MajorIteration(MCP* mcp, DriverWorkspace* ws, RunCounters* c, Information* step) {
  Information& lemke = ws->lemke_info;
  const bool logged = (ws->major_iterations + 1) % LogFrequency() == 0;
  lemke.output_mask = logged ? OUTPUT_ALL : 0;
  UpdateProximal(ws);

  int pivots = 0;
  int streams = 0;
  const int lc = SolveLinearisation(ws, &pivots, &streams);
  if (lc == LEMKE_SOLVED) {
    c->A = 0;
    c->B = 0;
  } else {
    c->A += 1;
    c->B += 1;
  }
  DenseVector_CloneFull(ws->previous_x, ws->x);

  int ns = kNoNmsStep;
  const char* restart = TakeStep(mcp, ws, lc, c, step, &ns);
  if (restart != nullptr) return restart;

  const double moved = DenseVector_Distance(ws->x, ws->previous_x);
  c->S = moved < Sarn_OptionDouble(SARN_RESTART_STATIONARY_TOLERANCE) ? c->S + 1 : 0;
  if (c->S >= Sarn_OptionInt(SARN_RESTART_STATIONARY_LIMIT)) {
    return "Restart: Stationary point found.\n";
  }

  const int defined = MCP_Jacobian(mcp, ws->x, Pair());
  ws->jacobian_evaluations += 1;
  if (!defined) return kPointUndefined;
  MCP_NormalMapPoint(mcp, ws->y, ws->x, Pair());
  NextStartControls(ws, c);
  const double best_before = ws->best_residual;
  Sarn_UpdateResidual(mcp, ws);
  c->stalled = ws->best_residual < kStallProgress * best_before ? 0 : c->stalled + 1;
  if (!EnoughProgress(ws)) return "Not enough progress. Restarting.\n";

  if (logged) {
    const bool nms = ns != kNoNmsStep;
    const MajorLogEntry entry{
        ws->major_iterations + 1,
        pivots,
        ws->function_evaluations,
        ws->jacobian_evaluations,
        ws->residual,
        nms ? step->step_length : 1.0,
        Lemke_CodeLetter(lc),
        nms ? Report_StepLetter(ns, lemke.factor_given_basis_used) : REPORT_STEP_NEWTON,
        Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION)};
    Report_MajorLine(mcp, ws->x, Pair(), ws->residual_code, entry, Report_MajorLogMode(), streams);
  }
  ws->history_count += 1;
  ws->major_iterations += 1;
  IDenseVector_CloneFull(ws->basis, LCP_UserBasis(ws->lcp));
  IDenseVector_SetLength(ws->basis, ws->n);
  const bool kept = lc == LEMKE_SOLVED &&
                    (ns == kNoNmsStep || ns == NMS_DSTEP_NONMONOTONE || ns == NMS_DSTEP_ACCEPTED ||
                     ns == NMS_MSTEP_ACCEPTED);
  if (!kept) Sarn_BasisModifications(mcp);
  return nullptr;
}

// Initial point, initial report, crash, the initial log line and the major
// iterations with their restarts. Returns the TerminationCode.
int Iterate(MCP* mcp, DriverWorkspace* ws, Information* info, void* timer) {
  Sarn_GenerateInitialPoint(mcp);
  int written = 0;
  Report_Initial(mcp, ws->x, Pair(), info->output_mask, &written);
  info->streams_written |= written;
  Sarn_Crash(mcp);
  if (Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION) > 0.0) Sarn_SetProximalInUse(1);

  Sarn_ResetHistory(ws);
  const int mode = Report_MajorLogMode();
  Report_MajorHeader(mode);
  const MajorLogEntry initial{0,
                              0,
                              ws->function_evaluations,
                              ws->jacobian_evaluations,
                              ws->residual,
                              0.0,
                              ' ',
                              REPORT_STEP_INITIAL,
                              Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION)};
  Report_MajorLine(mcp, ws->x, Pair(), ws->residual_code, initial, mode, 0);
  ws->history_count = 1;
  DenseVector_SetValue(ws->residual_history, 1, ws->residual);
  Sarn_SetLemkeStartControls(ws);

  RunCounters counters;
  Information step{};
  for (;;) {
    const int code = StopCode(ws, timer);
    if (code != kGoOn) return code;
    const int limit = ws->best_residual <= ws->best_floor ? 1 : kStallLimit;
    if (counters.stalled >= limit && Sarn_AtRoundingFloor(ws)) {
      Error_Warning("%s", kRoundingFloor);
      return TERMINATION_NO_PROGRESS;
    }
    Interrupt_Check();
    const char* restart = MajorIteration(mcp, ws, &counters, &step);
    if (restart == nullptr) continue;
    // A stall at the rounding floor ends the solve with the best point:
    // no restart can get below it.
    if (restart != kFunctionUndefined && restart != kPointUndefined &&
        Sarn_AtRoundingFloor(ws)) {
      Error_Warning("%s", kRoundingFloor);
      return TERMINATION_NO_PROGRESS;
    }
    Error_Warning("%s", restart);
    if (!Sarn_Restart(mcp)) return TERMINATION_NO_PROGRESS;
    ws->restarts += 1;
    counters = RunCounters{};
  }
}

// The point the solve returns (the best one with return_best_point), with F
// and J evaluated there and the residual recomputed from them, so that the
// final report and the caller's record describe the same point.
void SettleFinalPoint(MCP* mcp, DriverWorkspace* ws) {
  if (Options_CommonBool(COMMON_RETURN_BEST_POINT)) {
    DenseVector_CloneFull(ws->x, ws->best_x);
    DenseVector_CloneFull(ws->y, ws->best_y);
    IDenseVector_CloneFull(ws->basis, ws->best_basis);
    ws->residual = ws->best_residual;
  }
  (void)MCP_Jacobian(mcp, ws->x, Pair());
  ws->residual = Sarn_ResidualAt(mcp, ws->x);
}

void FillInformation(DriverWorkspace* ws, Information* info) {
  info->total_time = ws->elapsed;
  info->basis_time = Basis_Seconds(Workspace_Basis());
  info->major_iterations = ws->major_iterations;
  info->minor_iterations = ws->minor_iterations;
  info->crash_iterations = ws->crash_iterations;
  info->function_evaluations = ws->function_evaluations;
  info->jacobian_evaluations = ws->jacobian_evaluations;
  info->gradient_steps = ws->gradient_steps;
  info->restarts = ws->restarts;
  info->residual = ws->residual;
}

// The code of a solve once its point is back in the caller's problem. A
// point taken for a solution of the reduced problem is reported as one only
// when it solves the caller's problem as well: a presolve reduction is made
// within tolerances of its own, and a row it removed can miss the
// convergence tolerance where the rows left meet it.
int ConfirmSolution(MCP* mcp, Information* info, int code) {
  if (code != TERMINATION_SOLVED) return code;
  const double residual = MCP_FinishedResidual(mcp, Sarn_ResidualCode());
  if (residual < Options_CommonDouble(COMMON_CONVERGENCE_TOLERANCE)) return code;
  info->residual = residual;
  const int mode = info->output_mask & (OUTPUT_LOG | OUTPUT_STATUS);
  if (mode != 0) {
    Output_Printf(mode, "\nResidual of the whole problem %5.4e: above the convergence tolerance.\n",
                  residual);
  }
  return TERMINATION_NO_PROGRESS;
}

// The end of every solve once its point is back in the caller's problem:
// the code confirmed, then the exit message and the statistics, so that both
// tell the code and the residual the caller gets.
int EndSolve(MCP* mcp, Information* info, int code) {
  code = ConfirmSolution(mcp, info, code);
  info->streams_written |= Report_Exit(code, info->output_mask);
  Sarn_Statistics(SummaryMode(), info);
  return code;
}

// A solve that ends in its start (solved or refused by the start, or
// interrupted there): no iterations, nothing but the exit message and the
// statistics.
int EndAtStart(MCP* mcp, Information* info, int code, void* timer) {
  info->total_time = Timer_Query(timer);
  info->basis_time = 0.0;
  info->major_iterations = 0;
  info->minor_iterations = 0;
  info->crash_iterations = 0;
  info->function_evaluations = 0;
  info->jacobian_evaluations = 0;
  info->gradient_steps = 0;
  info->restarts = 0;
  info->residual = code == TERMINATION_SOLVED ? 0.0 : Options_CommonDouble(COMMON_INFINITY);
  MCP_Finish(mcp, code, MCP_FullX(mcp), MCP_FullBasis(mcp));
  return EndSolve(mcp, info, code);
}

// Runs the solve proper once the timer and the interrupt service are up.
// *started is set once Sarn_Start made the workspace.
int Run(MCP* mcp, Information* info, void* timer, bool* started) {
  const int start = Sarn_Start(mcp);
  if (start != MCP_CONTINUE) return EndAtStart(mcp, info, start, timer);
  *started = true;
  DriverWorkspace* ws = Sarn_GetWorkspace();

  int code = 0;
  const bool interrupted =
      Interrupt_RunWithJumpPoint([&] { code = Iterate(mcp, ws, info, timer); });
  if (interrupted) {
    Interrupt_IgnoreSignal();
    code = TERMINATION_USER_INTERRUPT;
  }
  SettleFinalPoint(mcp, ws);
  ws->elapsed = Timer_Query(timer);
  int written = 0;
  Report_Final(mcp, ws->x, Pair(), info->output_mask, &written);
  info->streams_written |= written;
  FillInformation(ws, info);
  Sarn_Finish(mcp, code);
  *started = false;
  code = EndSolve(mcp, info, code);
  if (interrupted) Interrupt_RestoreSignal();
  return code;
}

}  // namespace

int Sarn_Solve(MCP* mcp, Information* info) {
  if (mcp == nullptr || info == nullptr) Error_SolverError("Sarn: Solve: null argument.\n");
  void* timer = Timer_Create();
  bool started = false;
  int code = 0;
  try {
    Timer_Start(timer);
    Interrupt_Start();
    LCP_SetInterface(LMCP_Interface());
    info->streams_written = 0;
    Sarn_Banner();
    Sarn_SetProximalInUse(0);
    code = Run(mcp, info, timer, &started);
  } catch (...) {
    // A solver error on its way to the host: give back what this solve
    // holds so that nothing is left referenced or running.
    if (started) Sarn_DestroyWorkspace();
    Timer_Destroy(timer);
    Lemke_ClearStartVector();
    Interrupt_Restore();
    throw;
  }
  Timer_Destroy(timer);
  Lemke_ClearStartVector();
  Interrupt_Restore();
  return code;
}
