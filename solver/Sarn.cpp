// Sarn driver: the process-wide workspace, start and finish of a solve, the
// problem class and the Newton-point helpers.
#include "solver/Sarn.hpp"

#include <cmath>
#include <limits>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "presolve/MCP_Finish.hpp"
#include "presolve/MCP_Start.hpp"
#include "problems/LCP.hpp"
#include "problems/MCP.hpp"
#include "problems/Residual.hpp"
#include "solver/LMCP.hpp"
#include "solver/Lemke.hpp"
#include "solver/NMS.hpp"
#include "solver/SarnOptions.hpp"
#include "solver/Sarn_internal.hpp"

namespace {

DriverWorkspace* driver_workspace = nullptr;
std::int32_t proximal_in_use = 0;

void SizeVectors(DriverWorkspace* ws, std::int32_t n) {
  for (DenseVector* v : {ws->start_x, ws->start_y, ws->x, ws->y, ws->best_x, ws->best_y,
                         ws->previous_x, ws->direction}) {
    DenseVector_Size(v, n);
  }
  for (IDenseVector* v : {ws->start_basis, ws->basis, ws->best_basis}) IDenseVector_Size(v, n);
  DenseVector_Size(ws->residual_history, Sarn_HistoryLength());
  LMCP_Size(ws->lmcp, n);
}

// Gives back every member that exists and the record itself.
void FreeRecord(DriverWorkspace* ws) {
  for (DenseVector* v : {ws->start_x, ws->start_y, ws->x, ws->y, ws->best_x, ws->best_y,
                         ws->previous_x, ws->direction, ws->residual_history}) {
    DenseVector_Destroy(v);
  }
  for (IDenseVector* v : {ws->start_basis, ws->basis, ws->best_basis}) IDenseVector_Destroy(v);
  LMCP_Destroy(ws->lmcp);
  LCP_Destroy(ws->lcp);
  Memory_Free(ws);
}

// The workspace's own records: vectors, LMCP and LCP. A failure gives back
// the ones made so far.
DriverWorkspace* NewRecord(std::int32_t n, std::int32_t nnz) {
  auto build = [&](DriverWorkspace* ws) {
    ws->max_n = n;
    ws->max_nnz = nnz;
    ws->start_x = DenseVector_Create(n);
    ws->start_y = DenseVector_Create(n);
    ws->start_basis = IDenseVector_Create(n);
    ws->x = DenseVector_Create(n);
    ws->y = DenseVector_Create(n);
    ws->basis = IDenseVector_Create(n);
    ws->best_x = DenseVector_Create(n);
    ws->best_y = DenseVector_Create(n);
    ws->best_basis = IDenseVector_Create(n);
    ws->previous_x = DenseVector_Create(n);
    ws->direction = DenseVector_Create(n);
    ws->residual_history = DenseVector_Create(Sarn_HistoryLength());
    ws->lmcp = LMCP_Create(n);
    ws->lcp = LCP_Create(n, nnz);
    ws->refcount = 1;
  };
  return Memory_NewRecord<DriverWorkspace>(build, &FreeRecord);
}

// A copy of src (its length) into dst.
void Copy(DenseVector* dst, const DenseVector* src) { DenseVector_CloneFull(dst, src); }
void Copy(IDenseVector* dst, const IDenseVector* src) { IDenseVector_CloneFull(dst, src); }

}  // namespace

// ---------------------------------------------------------------------------
// Shared helpers

void Sarn_ResetHistory(DriverWorkspace* ws) {
  const std::int32_t length = Sarn_HistoryLength();
  DenseVector_Size(ws->residual_history, length);
  DenseVector_FillZero(ws->residual_history, length);
  DenseVector_SetValue(ws->residual_history, 1, ws->residual);
}

std::int32_t Sarn_AdvancedStartControl() {
  return Sarn_OptionInt(SARN_LEMKE_START_TYPE) == LEMKE_START_TYPE_ADVANCED ? 1 : 0;
}

void Sarn_SetLemkeStartControls(DriverWorkspace* ws) {
  Information& lemke = ws->lemke_info;
  if (Sarn_OptionInt(SARN_LEMKE_START) == LEMKE_START_AUTOMATIC) {
    lemke.factor_given_basis = 1;
    lemke.start_from_given_basis = 1;
  } else {
    lemke.factor_given_basis = 0;
    lemke.start_from_given_basis = Sarn_AdvancedStartControl();
  }
}

namespace {

// eps times the two-norm of |J| |x| + |F - J x| at the current point, with F
// and J from the scratch pair (for a linear problem |M| |x| + |q|): the size
// of the rounding error in evaluating F at x.
double RoundingFloor(DriverWorkspace* ws) {
  const std::int32_t n = ws->n;
  const double* x = DenseVector_Array(ws->x);
  const double* F = DenseVector_Array(FunctionJacobian_Function(Workspace_FunctionJacobian()));
  const SparseMatrix* J = FunctionJacobian_Jacobian(Workspace_FunctionJacobian());
  // Workspace vector 1 is free outside a major iteration's step: |J| |x|,
  // then J x.
  DenseVector* work = Workspace_Vector(1);
  if (DenseVector_Capacity(work) < 2 * n) DenseVector_Size(work, 2 * n);
  DenseVector_SetLength(work, 2 * n);
  double* size = DenseVector_Array(work);
  double* product = size + n;
  for (std::int32_t i = 0; i < 2 * n; ++i) size[i] = 0.0;
  const SparseMatrix_ColumnView jac = SparseMatrix_Columns(J);
  const std::int32_t columns = SparseMatrix_Cols(J) < n ? SparseMatrix_Cols(J) : n;
  for (std::int32_t j = 0; j < columns; ++j) {
    for (std::int32_t p = jac.start[j]; p < jac.start[j] + jac.length[j]; ++p) {
      const std::int32_t i = jac.row[p - 1];
      if (i < 1 || i > n) continue;
      size[i - 1] += std::fabs(jac.value[p - 1] * x[j]);
      product[i - 1] += jac.value[p - 1] * x[j];
    }
  }
  double floor = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    const double s = size[i] + std::fabs(F[i] - product[i]);
    floor += s * s;
  }
  return std::numeric_limits<double>::epsilon() * std::sqrt(floor);
}

}  // namespace

void Sarn_KeepBest(DriverWorkspace* ws) {
  if (!(ws->residual < ws->best_residual)) return;
  ws->best_residual = ws->residual;
  ws->best_floor = RoundingFloor(ws);
  DenseVector_CloneFull(ws->best_x, ws->x);
  DenseVector_CloneFull(ws->best_y, ws->y);
  IDenseVector_CloneFull(ws->best_basis, ws->basis);
}

double Sarn_ResidualAt(MCP* mcp, DenseVector* x) {
  double value = 0.0;
  int index = 0;
  MCP_Residual(mcp, driver_workspace->residual_code, RESIDUAL_TWO_NORM, MCP_Lower(mcp),
               MCP_Upper(mcp), x, Workspace_FunctionJacobian(), &value, &index);
  return value;
}

int Sarn_ResidualCode() {
  return Sarn_OptionInt(SARN_MERIT_FUNCTION) == MERIT_FUNCTION_NORMAL ? RESIDUAL_NORMAL_MAP
                                                                      : RESIDUAL_FISCHER_BURMEISTER;
}

void Sarn_UpdateResidual(MCP* mcp, DriverWorkspace* ws) {
  ws->residual = Sarn_ResidualAt(mcp, ws->x);
  Sarn_KeepBest(ws);
}

// ---------------------------------------------------------------------------
// Workspace

DriverWorkspace* Sarn_CreateWorkspace(std::int32_t n, std::int32_t nnz) {
  if (n < 1) n = 1;
  if (nnz < 1) nnz = 1;
  if (driver_workspace != nullptr) {
    Workspace_Size(n, nnz);
    Sarn_ResizeWorkspace(n, nnz);
    driver_workspace->refcount += 1;
    return driver_workspace;
  }
  // The shared records first, each released again if a later one fails, so
  // that a failed creation leaves no reference behind.
  Workspace_Create(n, nnz);
  try {
    Lemke_CreateWorkspace(n, nnz);
    try {
      NMS_Create(n, Sarn_MemoryLength());
      try {
        driver_workspace = NewRecord(n, nnz);
      } catch (...) {
        NMS_Destroy();
        throw;
      }
    } catch (...) {
      Lemke_DestroyWorkspace();
      throw;
    }
  } catch (...) {
    Workspace_Destroy();
    throw;
  }
  return driver_workspace;
}

void Sarn_ResizeWorkspace(std::int32_t n, std::int32_t nnz) {
  DriverWorkspace* ws = driver_workspace;
  if (ws == nullptr) return;
  if (n > ws->max_n) ws->max_n = n;
  if (nnz > ws->max_nnz) ws->max_nnz = nnz;
  SizeVectors(ws, ws->max_n);
  LCP_Size(ws->lcp, ws->max_n, ws->max_nnz);
  Workspace_Size(ws->max_n, ws->max_nnz);
  Lemke_ResizeWorkspace(ws->max_n, ws->max_nnz);
  NMS_Resize(ws->max_n, Sarn_MemoryLength());
}

std::int32_t Sarn_ReferenceWorkspace() {
  if (driver_workspace == nullptr) return 0;
  driver_workspace->refcount += 1;
  return driver_workspace->refcount;
}

std::int32_t Sarn_DestroyWorkspace() {
  DriverWorkspace* ws = driver_workspace;
  if (ws == nullptr) return 0;
  ws->refcount -= 1;
  if (ws->refcount > 0) return ws->refcount;
  driver_workspace = nullptr;
  FreeRecord(ws);
  Lemke_DestroyWorkspace();
  NMS_Destroy();
  Workspace_Destroy();
  return 0;
}

DriverWorkspace* Sarn_GetWorkspace() { return driver_workspace; }

std::int32_t Sarn_ProximalInUse() { return proximal_in_use; }
void Sarn_SetProximalInUse(std::int32_t value) { proximal_in_use = value; }

void Sarn_ForgetState() {
  driver_workspace = nullptr;
  proximal_in_use = 0;
}

bool Sarn_StateAtRest() { return driver_workspace == nullptr && proximal_in_use == 0; }

// ---------------------------------------------------------------------------
// Start and finish

int Sarn_Start(MCP* mcp) {
  const int code = MCP_Start(mcp);
  if (code != MCP_CONTINUE) return code;

  const std::int32_t n = MCP_Variables(mcp);
  DriverWorkspace* ws = Sarn_CreateWorkspace(n, MCP_Nonzeros(mcp));
  ws->n = n;
  ws->nnz = MCP_Nonzeros(mcp);
  ws->mcp = mcp;
  ws->lmcp->started = 0;

  // The start triple: the start point projected onto the bounds; a variable
  // that had to move loses its basis code.
  Copy(ws->start_x, MCP_X(mcp));
  Copy(ws->start_basis, MCP_Basis(mcp));
  double* x0 = DenseVector_Array(ws->start_x);
  std::int32_t* b0 = IDenseVector_Array(ws->start_basis);
  const double* l = DenseVector_Array(MCP_Lower(mcp));
  const double* u = DenseVector_Array(MCP_Upper(mcp));
  for (std::int32_t i = 0; i < n; ++i) {
    if (x0[i] < l[i]) {
      x0[i] = l[i];
      b0[i] = BASIS_NONE;
    } else if (x0[i] > u[i]) {
      x0[i] = u[i];
      b0[i] = BASIS_NONE;
    }
  }
  Copy(ws->start_y, ws->start_x);

  ws->major_iterations = 0;
  ws->minor_iterations = 0;
  ws->crash_iterations = 0;
  ws->function_evaluations = 0;
  ws->jacobian_evaluations = 0;
  ws->restarts = 0;
  ws->gradient_steps = 0;
  ws->gradient_steps_since_restart = 0;
  ws->mstep_request = 0;
  ws->history_count = 0;
  ws->elapsed = 0.0;
  ws->lemke_info = Information{};

  Copy(ws->best_x, ws->start_x);
  Copy(ws->best_y, ws->start_y);
  Copy(ws->best_basis, ws->start_basis);
  Copy(ws->x, ws->start_x);
  Copy(ws->y, ws->start_y);
  Copy(ws->basis, ws->start_basis);
  Copy(ws->previous_x, ws->start_x);
  DenseVector_FillZero(ws->direction, n);
  const double inf = Options_CommonDouble(COMMON_INFINITY);
  ws->start_residual = inf;
  ws->residual = inf;
  ws->best_residual = inf;
  ws->best_floor = 0.0;

  ws->residual_code = Sarn_ResidualCode();
  return MCP_CONTINUE;
}

void Sarn_Finish(MCP* mcp, int code) {
  DriverWorkspace* ws = driver_workspace;
  if (ws == nullptr) {
    MCP_Finish(mcp, code, MCP_X(mcp), MCP_Basis(mcp));
    return;
  }
  MCP_Finish(mcp, code, ws->x, ws->basis);
  Sarn_DestroyWorkspace();
}

void Sarn_SetProblemClass(MCP* mcp, int problem_class) {
  if (mcp == nullptr) return;
  if (problem_class < PROBLEM_CLASS_NONE || problem_class >= PROBLEM_CLASS_COUNT) {
    Error_SolverError("Sarn: SetProblemClass: Invalid problem class.\n");
  }
  MCP_SetProblemClass(mcp, problem_class);
  if (problem_class == PROBLEM_CLASS_NO_CRASH) {
    Sarn_OptionTable[SARN_CRASH_METHOD].int_value = CRASH_METHOD_NONE;
    Sarn_OptionTable[SARN_CRASH_PERTURB].bool_value = 1;
  }
}

const char* Sarn_Version() { return SARN_VERSION; }

// ---------------------------------------------------------------------------
// Newton-point helpers

void Sarn_NewtonPoint(LCP*, DenseVector* x) {
  DriverWorkspace* ws = driver_workspace;
  if (ws == nullptr) Error_SolverError("Sarn: NewtonPoint: no solve in progress.\n");
  DenseVector_CloneFull(x, ws->lmcp->point);
  DenseVector_SetLength(x, ws->n);
}

void Sarn_NewtonNormalPoint(LCP*, DenseVector* y) {
  DriverWorkspace* ws = driver_workspace;
  if (ws == nullptr) Error_SolverError("Sarn: NewtonNormalPoint: no solve in progress.\n");
  DenseVector_CloneFull(y, ws->lmcp->model);
  DenseVector_SetLength(y, ws->n);
}
