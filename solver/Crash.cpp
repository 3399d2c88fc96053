// Crash phase: projected Newton steps on the inactive variables with an
// optional proximal term, and the perturbation-only variant.
#include "solver/Crash.hpp"

#include <limits>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "factorization/Basis.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/CrashFront.hpp"
#include "solver/CrashMatrix.hpp"
#include "solver/Information.hpp"
#include "solver/SarnOptions.hpp"
#include "solver/Search.hpp"

namespace {

// Attempts per step: the first with the current proximal term, the others
// each with a larger one.
constexpr int kAttempts = 6;
// The proximal term a failed attempt without one starts from, at least.
constexpr double kFirstProximal = 1e-8;
// Corrections of a widened free set per step.
constexpr int kCorrections = 3;

// Active-set codes: BASIS_BASIC (free), BASIS_LOWER, BASIS_UPPER.
constexpr std::int32_t kFree = BASIS_BASIC;
constexpr std::int32_t kAtLower = BASIS_LOWER;
constexpr std::int32_t kAtUpper = BASIS_UPPER;

// What the phase holds while it runs: a Workspace reference and the trial
// pair. Released on every way out, an interrupt jump or a solver error
// included.
struct Holding {
  FunctionJacobian* trial = nullptr;
  Holding() { Workspace_Reference(); }
  ~Holding() {
    FunctionJacobian_Destroy(trial);
    Workspace_Destroy();
  }
  Holding(const Holding&) = delete;
  Holding& operator=(const Holding&) = delete;
};

// Work of the latest Crash_Newton, for the caller to read.
CrashStatistics statistics = {};

void ZeroCounts(Information* record) {
  statistics = CrashStatistics{};
  record->crash_iterations = 0;
  record->function_evaluations = 0;
  record->jacobian_evaluations = 0;
  record->mstep_request = 0;
}

DenseVector* Scratch(std::int32_t i, std::int32_t n) {
  DenseVector* v = Workspace_Vector(i);
  if (DenseVector_Capacity(v) < n) DenseVector_Size(v, n);
  DenseVector_SetLength(v, n);
  return v;
}

IDenseVector* IScratch(std::int32_t i, std::int32_t n) {
  IDenseVector* v = Workspace_IVector(i);
  if (IDenseVector_Capacity(v) < n) IDenseVector_Size(v, n);
  IDenseVector_SetLength(v, n);
  return v;
}

double ResidualAt(MCP* mcp, int code, DenseVector* x, FunctionJacobian* FJ) {
  double value = 0.0;
  int index = 0;
  MCP_Residual(mcp, code, RESIDUAL_TWO_NORM, MCP_Lower(mcp), MCP_Upper(mcp), x, FJ, &value,
               &index);
  return value;
}

// Active-set membership of every variable at x with F, by the rule of the
// semismooth Newton method on x - mid(l, u, x - F): a variable with
// x - F at or below its lower bound is held at that bound, one with x - F
// at or above its upper bound at that bound, every other one is free.
// Judging by x - F rather than by x alone lets a whole region join or leave
// the active set in one step, instead of one layer of variables per step.
// Returns how many memberships differ from those stored in status (0 when
// first), and stores the new ones.
std::int32_t UpdateActiveSet(MCP* mcp, DenseVector* x, FunctionJacobian* FJ, IDenseVector* status,
                             bool first) {
  const std::int32_t n = DenseVector_Length(x);
  const double* l = DenseVector_Array(MCP_Lower(mcp));
  const double* u = DenseVector_Array(MCP_Upper(mcp));
  const double* xs = DenseVector_Array(x);
  const double* f = DenseVector_Array(FunctionJacobian_Function(FJ));
  std::int32_t* codes = IDenseVector_Array(status);
  std::int32_t changes = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double trial = xs[i] - f[i];
    std::int32_t code = kFree;
    if (trial <= l[i] && f[i] > 0.0) {
      code = kAtLower;
    } else if (trial >= u[i] && f[i] < 0.0) {
      code = kAtUpper;
    }
    if (!first && codes[i] != code) ++changes;
    codes[i] = code;
  }
  return changes;
}

// target := x + d with d the Newton direction of the factored system: an
// active variable moves onto its bound, d_A = bound - x_A, and the free
// ones follow from (J_II + mu I) d_I = -F_I - J_IA d_A. Returns 0 when the
// system turned out singular.
int NewtonTarget(MCP* mcp, CrashMatrix* matrix, DenseVector* x, FunctionJacobian* FJ,
                 const IDenseVector* status, DenseVector* target) {
  const std::int32_t n = DenseVector_Length(x);
  DenseVector* rhs = Scratch(2, n);
  DenseVector* d = Scratch(1, n);
  const double* l = DenseVector_Array(MCP_Lower(mcp));
  const double* u = DenseVector_Array(MCP_Upper(mcp));
  const double* xs = DenseVector_Array(x);
  const double* f = DenseVector_Array(FunctionJacobian_Function(FJ));
  const std::int32_t* codes = IDenseVector_Array(status);
  double* r = DenseVector_Array(rhs);
  double* step = DenseVector_Array(d);
  for (std::int32_t i = 0; i < n; ++i) {
    step[i] = codes[i] == kFree ? 0.0 : (codes[i] == kAtLower ? l[i] : u[i]) - xs[i];
    r[i] = codes[i] == kFree ? -f[i] : 0.0;
  }
  const SparseMatrix* J = FunctionJacobian_Jacobian(FJ);
  const SparseMatrix_ColumnView jac = SparseMatrix_Columns(J);
  const std::int32_t columns = SparseMatrix_Cols(J) < n ? SparseMatrix_Cols(J) : n;
  for (std::int32_t j = 0; j < columns; ++j) {
    if (step[j] == 0.0) continue;
    for (std::int32_t p = jac.start[j]; p < jac.start[j] + jac.length[j]; ++p) {
      const std::int32_t i = jac.row[p - 1];
      if (i >= 1 && i <= n && codes[i - 1] == kFree) r[i - 1] -= jac.value[p - 1] * step[j];
    }
  }
  // The solve fills the held rows with -J_AI d_I; they keep bound - x.
  DenseVector* y = Scratch(6, n);
  if (!CrashMatrix_Solve(matrix, y, rhs)) return 0;
  const double* ys = DenseVector_Array(y);
  for (std::int32_t i = 0; i < n; ++i) {
    if (codes[i] == kFree) step[i] = ys[i];
  }
  DenseVector_Add(target, x, d);
  return 1;
}

// The merits of the latest points: a step is accepted against the largest
// of them (a nonmonotone line search). The merit of an active-set step need
// not fall at every step even where the steps make progress: while a
// region of held variables shrinks one layer at a time, the merit can grow
// at the full step and fall only at a shortened one, which stops the
// widening of the free set (a widened set is kept only with a full step).
struct MeritHistory {
  static constexpr int kLength = 5;
  double values[kLength] = {};
  int count = 0;
  void Add(double f) { values[count++ % kLength] = f; }
  double Reference(double f) const {
    double largest = f;
    const int stored = count < kLength ? count : kLength;
    for (int k = 0; k < stored; ++k) largest = values[k] > largest ? values[k] : largest;
    return largest;
  }
};

// The next proximal term after a failed attempt; returns mu itself when it
// cannot grow.
double IncreaseProximal(double mu, double residual) {
  const double maximum = Sarn_OptionDouble(SARN_CRASH_PROXIMAL_MAXIMUM);
  double next;
  if (mu > 0.0) {
    next = mu * Search_ClampIncrease(Sarn_OptionDouble(SARN_CRASH_PROXIMAL_INCREASE_FACTOR));
  } else {
    next = Sarn_OptionDouble(SARN_CRASH_PROXIMAL_MERIT_FACTOR) * residual;
    if (!(next >= kFirstProximal)) next = kFirstProximal;
  }
  if (next > maximum) next = maximum;
  return next > mu ? next : mu;
}

// The point of least merit so far.
struct BestPoint {
  DenseVector* x;  // n entries of scratch
  double merit = std::numeric_limits<double>::infinity();
  void Offer(double f, const DenseVector* point) {
    if (!(f < merit)) return;
    merit = f;
    DenseVector_CloneFull(x, point);
  }
  // Whether the best point has a smaller merit than f.
  bool Improves(double f) const { return merit < f; }
};

// What a crash step reads and the scratch it writes.
struct StepContext {
  MCP* mcp;
  const SearchParameters* p;
  CrashMatrix* matrix;
  CrashFront* front;
  IDenseVector* status;  // memberships of the step (n entries)
  DenseVector* g;        // merit gradient at x (differentiable merits only)
  DenseVector* target;   // the Newton point x + d
  DenseVector* accepted; // the point the search accepts
  FunctionJacobian* trial;
  Information* record;
};

// Searches from x (merit f, reference merit reference) toward the Newton
// point of the step's memberships with the proximal term *mu, and with
// larger ones while the system is singular or the search fails. A widened
// free set first gives back to the active set the widened variables that
// the direction takes beyond a bound (CrashFront_Overshoot), and is kept
// only with a full step:
// a widened set that fails returns false at once, for the caller to retract
// it. Returns whether a point was accepted (into c->accepted).
bool FindStep(StepContext* c, DenseVector* x, FunctionJacobian* FJ, double f, double reference,
              double residual, double* mu, SearchResult* result) {
  int corrections = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    ++statistics.systems;
    const bool solved = CrashMatrix_Prepare(c->matrix, FJ, c->status, *mu) &&
                        NewtonTarget(c->mcp, c->matrix, x, FJ, c->status, c->target);
    if (solved && c->front->count > 0 && corrections < kCorrections &&
        CrashFront_Overshoot(c->front, c->target, MCP_Lower(c->mcp), MCP_Upper(c->mcp),
                             c->status) > 0) {
      ++corrections;
      --attempt;
      continue;
    }
    bool found = false;
    if (solved) {
      found = Search_Between(c->mcp, c->p, x, x, c->target, c->g, f, reference, c->trial,
                             c->accepted, result) != 0;
      c->record->function_evaluations += result->function_evaluations;
    }
    if (c->front->count > 0) return found && result->step >= 1.0;
    if (found) return true;
    const double larger = IncreaseProximal(*mu, residual);
    if (!(larger > *mu)) return false;
    *mu = larger;
  }
  return false;
}

// The proximal term of the first step: a share of the residual, at most
// the initial maximum; 0 without crash_perturb.
double StartingProximal(double residual) {
  if (!Sarn_OptionBool(SARN_CRASH_PERTURB)) return 0.0;
  double mu = Sarn_OptionDouble(SARN_CRASH_PROXIMAL_MERIT_FACTOR) * residual;
  const double initial = Sarn_OptionDouble(SARN_CRASH_PROXIMAL_INITIAL_MAXIMUM);
  if (mu > initial) mu = initial;
  return mu > 0.0 ? mu : 0.0;
}

// trial := F and J at point (one evaluation of each); false when J is not
// defined there.
bool EvaluateAt(MCP* mcp, DenseVector* point, FunctionJacobian* trial, Information* record) {
  record->function_evaluations += 1;
  record->jacobian_evaluations += 1;
  return MCP_Jacobian(mcp, point, trial) != 0;
}

// Moves x to the accepted point together with its F and J (the factors go
// with a Jacobian that moved; *same_jacobian says whether it stayed the
// same). Returns false, leaving x as it was, when J is not defined there.
bool CommitStep(StepContext* c, DenseVector* x, FunctionJacobian* FJ, bool* same_jacobian) {
  if (!EvaluateAt(c->mcp, c->accepted, c->trial, c->record)) return false;
  *same_jacobian = CrashMatrix_NextJacobian(c->matrix, FunctionJacobian_Jacobian(FJ),
                                            FunctionJacobian_Jacobian(c->trial));
  DenseVector_CloneFull(x, c->accepted);
  FunctionJacobian_Copy(FJ, c->trial);
  c->record->crash_iterations += 1;
  statistics.steps = c->record->crash_iterations;
  return true;
}

// x (with F and J) := point, unless J is not defined there.
void MoveTo(MCP* mcp, DenseVector* point, DenseVector* x, FunctionJacobian* FJ,
            FunctionJacobian* trial, Information* record) {
  if (!EvaluateAt(mcp, point, trial, record)) return;
  DenseVector_CloneFull(x, point);
  FunctionJacobian_Copy(FJ, trial);
}

// A nonmonotone search may end above a merit it passed: x (with F and J)
// becomes the best point seen when that one is better.
void HandOnBest(MCP* mcp, int code, const BestPoint& best, DenseVector* x, FunctionJacobian* FJ,
                FunctionJacobian* trial, Information* record) {
  if (best.Improves(Search_Merit(mcp, code, x, FJ))) MoveTo(mcp, best.x, x, FJ, trial, record);
}

void LogHeader(int mode) {
  if (mode == 0) return;
  Output_Printf(mode, "\nCrash Log\n");
  Output_Printf(mode, " iter  chng  func  grad   residual     step    prox\n");
}

void LogLine(int mode, std::int32_t iteration, std::int32_t changes, const Information* record,
             double residual, double step, double mu) {
  if (mode == 0) return;
  Output_Printf(mode, "%5d %5d %5d %5d %.4e % .1e %.1e\n", iteration, changes,
                record->function_evaluations, record->jacobian_evaluations, residual, step, mu);
}

}  // namespace

void Crash_Newton(MCP* mcp, Information* record, DenseVector* x, FunctionJacobian* FJ) {
  ZeroCounts(record);
  const int method = Sarn_OptionInt(SARN_CRASH_METHOD);
  if (method == CRASH_METHOD_BDIFF || method == CRASH_METHOD_SMOOTH) {
    Error_Warning("Crash: %s method not available; using pnewton.\n",
                  Sarn_CrashMethodKeywords[method]);
  }
  const std::int32_t n = MCP_Variables(mcp);
  if (n < 1 || n < Sarn_OptionInt(SARN_CRASH_MINIMUM_DIMENSION)) return;
  const std::int32_t limit = Options_CommonInt(COMMON_CRASH_ITERATION_LIMIT);
  if (limit <= 0) return;

  Holding holding;
  holding.trial = FunctionJacobian_Create(n, MCP_Nonzeros(mcp) > n ? MCP_Nonzeros(mcp) : n);
  FunctionJacobian* trial = holding.trial;

  const int code = Search_MeritCode(Sarn_OptionInt(SARN_CRASH_MERIT_FUNCTION));
  const bool differentiable = Is_Differentiable(code) != 0;
  SearchParameters p = Search_CrashParameters();
  p.merit_code = code;
  const double tolerance = Sarn_OptionDouble(SARN_CRASH_CONVERGENCE_TOLERANCE);
  const std::int32_t change_limit = Sarn_OptionInt(SARN_CRASH_NBCHANGE_LIMIT);
  const double shrink = Search_ClampShrink(Sarn_OptionDouble(SARN_CRASH_PROXIMAL_SHRINK_FACTOR));
  const double smallest = Sarn_OptionDouble(SARN_CRASH_PROXIMAL_MINIMUM);

  double residual = ResidualAt(mcp, code, x, FJ);
  double mu = StartingProximal(residual);

  // The first step treats every variable as free: a full Newton step that
  // the projection then cuts back to the bounds. Starting from the active
  // set of the start point instead would let the active set change only by
  // the variables next to the free ones in each step (one layer of a grid
  // at a time on obstacle problems). When that first step fails, the
  // active set of the start point is tried.
  const double initial_mu = mu;
  IDenseVector* status = IScratch(2, n);
  IDenseVector_Fill(status, n, kFree);
  bool all_free = true;
  const int mode =
      (Options_CommonBool(COMMON_OUTPUT_CRASH_ITERATIONS) ? OUTPUT_LOG | OUTPUT_STATUS
                                                          : OUTPUT_STATUS) &
      record->output_mask;
  const std::int32_t frequency =
      Search_ClampCount(Options_CommonInt(COMMON_OUTPUT_CRASH_ITERATIONS_FREQUENCY));
  LogHeader(mode);
  LogLine(mode, 0, 0, record, residual, 0.0, mu);

  DenseVector* g = differentiable ? Scratch(3, n) : nullptr;
  DenseVector* accepted = Scratch(4, n);
  DenseVector* target = Scratch(5, n);
  CrashMatrix matrix = CrashMatrix_Start(IScratch(1, n), Scratch(7, n), Scratch(8, n));
  MeritHistory history;
  BestPoint best{Scratch(9, n)};
  CrashFront front = CrashFront_Start(IScratch(3, n), IScratch(4, n), IScratch(5, n));
  StepContext step{mcp, &p, &matrix, &front, status, g, target, accepted, trial, record};
  struct Tally {
    CrashMatrix* matrix;
    ~Tally() {
      statistics.factorizations = matrix->factorizations;
      statistics.updates = matrix->total_updates;
      statistics.refinements = matrix->refinements;
    }
  } tally{&matrix};
  // The final step without the proximal term: not yet tried, under way in
  // this iteration, or done.
  enum class Final { kNotTried, kUnderWay, kDone } final_step = Final::kNotTried;
  DenseVector* settled = Scratch(10, n);  // the point where the memberships settled
  // An interrupt ends the steps as their limits do, at the best point met
  // (with F and J there); its jump goes on from there.
  bool jumped = false;
  InterruptJump jump{};
  try {
    for (std::int32_t iteration = 1; iteration <= limit; ++iteration) {
      if (Interrupt_Check()) break;
      if (residual < tolerance) break;

      const double f = differentiable ? Search_MeritGradient(mcp, code, x, FJ, g)
                                      : Search_Merit(mcp, code, x, FJ);
      history.Add(f);
      best.Offer(f, x);
      SearchResult result{};
      const double step_mu = mu;
      bool found = FindStep(&step, x, FJ, f, front.moving ? history.Reference(f) : f, residual,
                            &mu, &result);
      const bool final_under_way = final_step == Final::kUnderWay;
      if (final_under_way && !found) break;  // x is still where the memberships settled
      if (!found && all_free) {
        all_free = false;
        mu = initial_mu;
        UpdateActiveSet(mcp, x, FJ, status, true);
        CrashFront_Widen(&front, FunctionJacobian_Jacobian(FJ), status, false, 0);
        --iteration;
        continue;
      }
      if (!found && front.count > 0) {
        // The widened set led nowhere: the step again with the rule's own.
        CrashFront_Retract(&front, status);
        mu = step_mu;
        --iteration;
        continue;
      }
      if (!found) break;
      all_free = false;

      bool same_jacobian = false;
      if (!CommitStep(&step, x, FJ, &same_jacobian)) break;

      residual = ResidualAt(mcp, code, x, FJ);
      const std::int32_t changes = UpdateActiveSet(mcp, x, FJ, status, false);
      if (changes >= change_limit && !final_under_way) {
        CrashFront_Widen(&front, FunctionJacobian_Jacobian(FJ), status, result.step >= 1.0,
                         CrashMatrix_UpdateRoom(&matrix, n));
      }
      if (iteration % frequency == 0) {
        LogLine(mode, iteration, changes, record, residual, result.step, mu);
      }
      if (final_under_way) {
        final_step = Final::kDone;
        // Where the system without the proximal term is singular the step
        // took one after all; such a step is kept only when it confirms the
        // settled memberships, else the phase ends where they settled.
        if (mu > 0.0 && changes >= change_limit) {
          MoveTo(mcp, settled, x, FJ, trial, record);
          break;
        }
      }
      if (changes < change_limit) {
        // The memberships settled. On a Jacobian that stayed the same (the
        // problem is linear where the crash is) the proximal term only
        // biases the step: one more step without it lands on the Newton
        // point of the settled memberships, the solution when they are right.
        if (final_step == Final::kNotTried && mu > 0.0 && residual >= tolerance &&
            same_jacobian) {
          final_step = Final::kUnderWay;
          DenseVector_CloneFull(settled, x);
          mu = 0.0;
          continue;
        }
        break;
      }
      mu *= shrink;
      if (mu < smallest) mu = 0.0;
    }
  } catch (const InterruptJump& caught) {
    jumped = true;
    jump = caught;
  }
  record->mstep_request = record->crash_iterations > 0 ? 1 : 0;
  HandOnBest(mcp, code, best, x, FJ, trial, record);
  if (jumped) throw jump;
}

CrashStatistics Crash_GetStatistics() { return statistics; }

void Crash_Perturb(MCP* mcp, Information* record, DenseVector* x, FunctionJacobian* FJ) {
  ZeroCounts(record);
  if (!Sarn_OptionBool(SARN_CRASH_PERTURB)) return;
  Option& proximal = Sarn_OptionTable[SARN_PROXIMAL_PERTURBATION];
  if (proximal.double_value != 0.0) return;
  if (MCP_Variables(mcp) < 1) return;

  const int code = Search_MeritCode(Sarn_OptionInt(SARN_CRASH_MERIT_FUNCTION));
  double mu = Sarn_OptionDouble(SARN_CRASH_PROXIMAL_MERIT_FACTOR) * ResidualAt(mcp, code, x, FJ);
  const double minimum = Sarn_OptionDouble(SARN_CRASH_PROXIMAL_MINIMUM);
  const double maximum = Sarn_OptionDouble(SARN_CRASH_PROXIMAL_INITIAL_MAXIMUM);
  if (!(mu >= minimum)) mu = minimum;
  if (mu > maximum) mu = maximum;
  proximal.double_value = mu;
}
