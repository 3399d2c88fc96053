// LMCP: the linearised problem at the driver's current point, read by the
// pivoting method through a static LCP_Interface table.
#include "solver/LMCP.hpp"

#include <cmath>

#include "core/DenseVector.hpp"
#include "core/Error.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/Options.hpp"
#include "core/SparseMatrix.hpp"
#include "core/Workspace.hpp"
#include "problems/LCP.hpp"
#include "problems/MCP.hpp"
#include "solver/Sarn.hpp"
#include "solver/SarnOptions.hpp"

namespace {

// The driver workspace every slot works on.
DriverWorkspace* Driver() {
  DriverWorkspace* ws = Sarn_GetWorkspace();
  if (ws == nullptr || ws->lmcp == nullptr) {
    Error_SolverError("LMCP: no linearised problem in progress.\n");
  }
  return ws;
}

// The pair holding F and J at the current point.
FunctionJacobian* Pair() { return Workspace_FunctionJacobian(); }

// Calls visit(i, j, value) for every stored entry of J, 1-based, column by
// column in stored order.
template <class Visit>
void ForEachEntry(const SparseMatrix* J, std::int32_t n, Visit visit) {
  const SparseMatrix_ColumnView v = SparseMatrix_Columns(J);
  for (std::int32_t j = 1; j <= n; ++j) {
    const std::int32_t first = v.start[j - 1] - 1;
    for (std::int32_t p = first; p < first + v.length[j - 1]; ++p) visit(v.row[p], j, v.value[p]);
  }
}

// Lower limit of the sums of squares that the scaling rules take a square
// root of: (2^-52)^(2/3).
double ScaleFloor() { return std::pow(2.220446049250313e-16, 2.0 / 3.0); }

// d_i = J_ii (0.0 where not stored).
void Diagonal(const SparseMatrix* J, std::int32_t n, double* d) {
  for (std::int32_t i = 0; i < n; ++i) d[i] = 0.0;
  ForEachEntry(J, n, [&](std::int32_t i, std::int32_t j, double a) {
    if (i == j) d[i - 1] = a;
  });
}

// s_i = sum_j J_ij^2 (rows) into s.
void RowSquares(const SparseMatrix* J, std::int32_t n, double* s) {
  for (std::int32_t i = 0; i < n; ++i) s[i] = 0.0;
  ForEachEntry(J, n, [&](std::int32_t i, std::int32_t, double a) { s[i - 1] += a * a; });
}

// s_j = sum_i (r_i J_ij)^2 (columns) into s; r may be null (all 1).
void ColumnSquares(const SparseMatrix* J, std::int32_t n, const double* r, double* s) {
  for (std::int32_t j = 0; j < n; ++j) s[j] = 0.0;
  ForEachEntry(J, n, [&](std::int32_t i, std::int32_t j, double a) {
    const double b = r != nullptr ? r[i - 1] * a : a;
    s[j - 1] += b * b;
  });
}

// The rules kelm, chen and diagonal: R_i = 10/|J_ii| for |J_ii| >= 100 on
// the rows that `wanted` accepts. Returns whether any R_i was set so.
template <class Wanted>
bool DiagonalRule(const SparseMatrix* J, std::int32_t n, double* R, Wanted wanted) {
  Diagonal(J, n, R);
  bool any = false;
  for (std::int32_t i = 0; i < n; ++i) {
    const double d = std::fabs(R[i]);
    if (d >= 100.0 && wanted(i)) {
      R[i] = 10.0 / d;
      any = true;
    } else {
      R[i] = 1.0;
    }
  }
  return any;
}

// R_i = 1/sqrt(max(sum_j J_ij^2 + F_i^2, floor)).
void RowRule(const SparseMatrix* J, const double* F, std::int32_t n, double* R) {
  RowSquares(J, n, R);
  const double floor = ScaleFloor();
  for (std::int32_t i = 0; i < n; ++i) {
    const double s = R[i] + F[i] * F[i];
    R[i] = 1.0 / std::sqrt(s > floor ? s : floor);
  }
}

// C_j = 1/sqrt(max(sum_i (R_i J_ij)^2, floor)).
void ColumnRule(const SparseMatrix* J, std::int32_t n, const double* R, double* C) {
  ColumnSquares(J, n, R, C);
  const double floor = ScaleFloor();
  for (std::int32_t j = 0; j < n; ++j) C[j] = 1.0 / std::sqrt(C[j] > floor ? C[j] : floor);
}

// The rules ro1, ro2 and ro3 on s_i = sum_j J_ij^2.
void RowSquareRule(const SparseMatrix* J, std::int32_t n, int method, double* R) {
  RowSquares(J, n, R);
  const double floor = ScaleFloor();
  for (std::int32_t i = 0; i < n; ++i) {
    const double s = R[i];
    switch (method) {
      case SCALE_METHOD_RO1:
        R[i] = 1.0 / std::sqrt(s > floor ? s : floor);
        break;
      case SCALE_METHOD_RO2:
        R[i] = s >= 100.0 ? 100.0 / std::sqrt(s) : (s < 0.0001 ? 1.0 : 1.0 / std::sqrt(s));
        break;
      default:  // ro3
        R[i] = s >= 100.0 ? 100.0 / std::sqrt(s) : 1.0;
        break;
    }
  }
}

// ro4: v_i = max(max_j |J_ij|, |F_i|); R_i = 1e6 when v_i < 1e-6, else 1/v_i.
void MaxRule(const SparseMatrix* J, const double* F, std::int32_t n, double* R) {
  for (std::int32_t i = 0; i < n; ++i) R[i] = std::fabs(F[i]);
  ForEachEntry(J, n, [&](std::int32_t i, std::int32_t, double a) {
    if (std::fabs(a) > R[i - 1]) R[i - 1] = std::fabs(a);
  });
  for (std::int32_t i = 0; i < n; ++i) R[i] = R[i] < 1e-6 ? 1e6 : 1.0 / R[i];
}

// symmetric: R_i = C_i = (a_i + b_i)/2 with the row measure a (F included)
// and the column measure b.
void SymmetricRule(const SparseMatrix* J, const double* F, std::int32_t n, double* R, double* C) {
  RowRule(J, F, n, R);
  ColumnRule(J, n, nullptr, C);
  for (std::int32_t i = 0; i < n; ++i) {
    const double mean = (R[i] + C[i]) / 2.0;
    R[i] = mean;
    C[i] = mean;
  }
}

// Writes one entry of M, raising "Too small.\n" when the room is used up.
void WriteEntry(std::int32_t* count, std::int32_t room, int* row, double* value, std::int32_t i,
                double m) {
  if (*count >= room) Error_SolverError("Too small.\n");
  row[*count] = i;
  value[*count] = m;
  *count += 1;
}

LCP_Interface lmcp_interface = {
    nullptr,          LMCP_ProblemSize,  LMCP_Bounds, LMCP_Matrix, LMCP_Start,
    LMCP_Finish,      LMCP_VariableName, LMCP_ConstraintName, LMCP_Basis, LMCP_Vector,
};

}  // namespace

// ---------------------------------------------------------------------------
// Record

LMCP* LMCP_Create(std::int32_t n) {
  if (n < 1) n = 1;
  auto build = [n](LMCP* lmcp) {
    lmcp->point = DenseVector_Create(n);
    lmcp->model = DenseVector_Create(n);
    lmcp->R = DenseVector_Create(n);
    lmcp->C = DenseVector_Create(n);
    lmcp->D = DenseVector_Create(n);
  };
  return Memory_NewRecord<LMCP>(build, &LMCP_Destroy);
}

void LMCP_Size(LMCP* lmcp, std::int32_t n) {
  DenseVector_Size(lmcp->point, n);
  DenseVector_Size(lmcp->model, n);
  DenseVector_Size(lmcp->R, n);
  DenseVector_Size(lmcp->C, n);
  DenseVector_Size(lmcp->D, n);
}

void LMCP_Destroy(LMCP* lmcp) {
  if (lmcp == nullptr) return;
  DenseVector_Destroy(lmcp->point);
  DenseVector_Destroy(lmcp->model);
  DenseVector_Destroy(lmcp->R);
  DenseVector_Destroy(lmcp->C);
  DenseVector_Destroy(lmcp->D);
  Memory_Free(lmcp);
}

LCP_Interface* LMCP_Interface() { return &lmcp_interface; }

// ---------------------------------------------------------------------------
// Scaling and perturbation

void LMCP_Scale(LMCP* lmcp) {
  if (lmcp->row_scaled || lmcp->column_scaled) {
    Error_Warning("LMCP Already scaled.\n");
    return;
  }
  DriverWorkspace* ws = Driver();
  const std::int32_t n = ws->n;
  const SparseMatrix* J = FunctionJacobian_Jacobian(Pair());
  const double* F = DenseVector_Array(FunctionJacobian_Function(Pair()));
  const double* l = DenseVector_Array(MCP_Lower(ws->mcp));
  const double* u = DenseVector_Array(MCP_Upper(ws->mcp));
  const double inf = Options_CommonDouble(COMMON_INFINITY);
  double* R = DenseVector_Array(lmcp->R);
  double* C = DenseVector_Array(lmcp->C);
  auto free_row = [&](std::int32_t i) { return l[i] <= -inf && u[i] >= inf; };

  switch (Sarn_OptionInt(SARN_LINEAR_SCALE_METHOD)) {
    case SCALE_METHOD_KELM:
      lmcp->row_scaled = DiagonalRule(J, n, R, free_row) ? 1 : 0;
      break;
    case SCALE_METHOD_CHEN:
      lmcp->row_scaled =
          DiagonalRule(J, n, R, [&](std::int32_t i) { return !free_row(i); }) ? 1 : 0;
      break;
    case SCALE_METHOD_DIAGONAL:
      lmcp->row_scaled = DiagonalRule(J, n, R, [](std::int32_t) { return true; }) ? 1 : 0;
      break;
    case SCALE_METHOD_ROW:
      RowRule(J, F, n, R);
      lmcp->row_scaled = 1;
      break;
    case SCALE_METHOD_COL:
      ColumnRule(J, n, R, C);
      lmcp->column_scaled = 1;
      break;
    case SCALE_METHOD_BOTH:
      RowRule(J, F, n, R);
      ColumnRule(J, n, R, C);
      lmcp->row_scaled = 1;
      lmcp->column_scaled = 1;
      break;
    case SCALE_METHOD_SYMMETRIC:
      SymmetricRule(J, F, n, R, C);
      lmcp->row_scaled = 1;
      lmcp->column_scaled = 1;
      break;
    case SCALE_METHOD_RO1:
    case SCALE_METHOD_RO2:
    case SCALE_METHOD_RO3:
      RowSquareRule(J, n, Sarn_OptionInt(SARN_LINEAR_SCALE_METHOD), R);
      lmcp->row_scaled = 1;
      break;
    case SCALE_METHOD_RO4:
      MaxRule(J, F, n, R);
      lmcp->row_scaled = 1;
      break;
    default:  // none
      break;
  }
}

void LMCP_Perturb(LMCP* lmcp) {
  if (lmcp->perturbed) {
    Error_Warning("LMCP already perturbed.\n");
    return;
  }
  const double p = Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION);
  if (!(p > 0.0)) return;
  const std::int32_t n = Driver()->n;
  DenseVector_Fill(lmcp->D, n, p);
  if (lmcp->column_scaled) DenseVector_Mul(lmcp->D, lmcp->D, lmcp->C);
  lmcp->perturbed = 1;
}

// ---------------------------------------------------------------------------
// Slots

void LMCP_ProblemSize(void*, int* n, int* nnz) {
  DriverWorkspace* ws = Driver();
  *n = ws->n;
  *nnz = ws->nnz;
}

void LMCP_Start(void*) {
  DriverWorkspace* ws = Driver();
  LMCP* lmcp = ws->lmcp;
  const std::int32_t n = ws->n;
  lmcp->row_scaled = 0;
  lmcp->column_scaled = 0;
  lmcp->perturbed = 0;
  DenseVector_FillOne(lmcp->R, n);
  DenseVector_FillOne(lmcp->C, n);
  DenseVector_FillZero(lmcp->D, n);
  if (Sarn_OptionBool(SARN_LINEAR_MODEL_SCALE)) LMCP_Scale(lmcp);
  if (Sarn_OptionBool(SARN_LINEAR_MODEL_PERTURB)) LMCP_Perturb(lmcp);
  if (lmcp->column_scaled) {
    DenseVector_Div(lmcp->point, ws->x, lmcp->C);
  } else {
    DenseVector_CloneFull(lmcp->point, ws->x);
  }
  lmcp->started = 1;
}

void LMCP_Bounds(void*, int n, double* start, double* lower, double* upper) {
  DriverWorkspace* ws = Driver();
  LMCP* lmcp = ws->lmcp;
  const double* x = DenseVector_Array(lmcp->column_scaled ? lmcp->point : ws->x);
  const double* l = DenseVector_Array(MCP_Lower(ws->mcp));
  const double* u = DenseVector_Array(MCP_Upper(ws->mcp));
  const double* C = DenseVector_Array(lmcp->C);
  const double inf = Options_CommonDouble(COMMON_INFINITY);
  for (int i = 0; i < n; ++i) {
    start[i] = x[i];
    lower[i] = l[i];
    upper[i] = u[i];
    if (lmcp->column_scaled) {
      if (l[i] > -inf) lower[i] = l[i] / C[i];
      if (u[i] < inf) upper[i] = u[i] / C[i];
    }
  }
}

void LMCP_Matrix(void*, int n, int* nnz, int* col_start, int* col_len, int* row, double* value,
                 double* q) {
  DriverWorkspace* ws = Driver();
  LMCP* lmcp = ws->lmcp;
  const SparseMatrix* J = FunctionJacobian_Jacobian(Pair());
  const double* F = DenseVector_Array(FunctionJacobian_Function(Pair()));
  const double* x = DenseVector_Array(lmcp->column_scaled ? lmcp->point : ws->x);
  const double* R = DenseVector_Array(lmcp->R);
  const double* C = DenseVector_Array(lmcp->C);
  const double* D = DenseVector_Array(lmcp->D);
  const std::int32_t room = *nnz;
  const SparseMatrix_ColumnView v = SparseMatrix_Columns(J);

  for (int i = 0; i < n; ++i) q[i] = lmcp->row_scaled ? R[i] * F[i] : F[i];
  std::int32_t count = 0;
  for (std::int32_t j = 1; j <= n; ++j) {
    col_start[j - 1] = count + 1;
    col_len[j - 1] = 0;
    bool has_diagonal = false;
    const std::int32_t first = v.start[j - 1] - 1;
    for (std::int32_t p = first; p < first + v.length[j - 1]; ++p) {
      const std::int32_t i = v.row[p];
      double m = v.value[p];
      if (lmcp->row_scaled) m *= R[i - 1];
      if (lmcp->column_scaled) m *= C[j - 1];
      if (i == j) {
        m += D[j - 1];
        has_diagonal = true;
      }
      q[i - 1] -= m * x[j - 1];
      if (m == 0.0 && i != j) continue;
      WriteEntry(&count, room, row, value, i, m);
      col_len[j - 1] += 1;
    }
    if (!has_diagonal) {
      WriteEntry(&count, room, row, value, j, D[j - 1]);
      col_len[j - 1] += 1;
      q[j - 1] -= D[j - 1] * x[j - 1];
    }
  }
  *nnz = count;
}

void LMCP_Vector(void*, int n, double* w0) {
  DriverWorkspace* ws = Driver();
  const double* F = DenseVector_Array(FunctionJacobian_Function(Pair()));
  const double* R = DenseVector_Array(ws->lmcp->R);
  for (int i = 0; i < n; ++i) w0[i] = ws->lmcp->row_scaled ? R[i] * F[i] : F[i];
}

void LMCP_Finish(void*, const double* z) {
  DriverWorkspace* ws = Driver();
  LMCP* lmcp = ws->lmcp;
  const std::int32_t n = ws->n;
  const double* l = DenseVector_Array(MCP_Lower(ws->mcp));
  const double* u = DenseVector_Array(MCP_Upper(ws->mcp));
  double* point = DenseVector_Array(lmcp->point);

  // The new point in the problem's own terms; a solution at a scaled
  // bound gets the bound itself, never a product that misses it.
  if (lmcp->column_scaled) {
    const double* sl = DenseVector_Array(LCP_UserLower(ws->lcp));
    const double* su = DenseVector_Array(LCP_UserUpper(ws->lcp));
    const double* C = DenseVector_Array(lmcp->C);
    for (std::int32_t i = 0; i < n; ++i) {
      if (z[i] == sl[i]) {
        point[i] = l[i];
      } else if (z[i] == su[i]) {
        point[i] = u[i];
      } else {
        point[i] = z[i] * C[i];
      }
    }
  } else {
    for (std::int32_t i = 0; i < n; ++i) point[i] = z[i];
  }
  DenseVector_SetLength(lmcp->point, n);
  if (lmcp->started != 1) return;

  // D = z - x and the linear model w = F + J d (+ the proximal term).
  DenseVector_Sub(ws->direction, lmcp->point, ws->x);
  FunctionJacobian* pair = Pair();
  DenseVector* w = lmcp->model;
  SparseMatrix_Mult(w, FunctionJacobian_Jacobian(pair), ws->direction,
                    FunctionJacobian_Function(pair));
  const double p = Sarn_OptionDouble(SARN_PROXIMAL_PERTURBATION);
  const double* d = DenseVector_Array(ws->direction);
  const double* R = DenseVector_Array(lmcp->R);
  double* y = DenseVector_Array(w);
  if (p > 0.0) {
    for (std::int32_t i = 0; i < n; ++i) y[i] += (p / R[i]) * d[i];
  }

  // The normal-map point of z under that model, in place.
  for (std::int32_t i = 0; i < n; ++i) {
    const double wi = y[i];
    if (l[i] >= point[i] && wi > 0.0) {
      y[i] = l[i] - wi;
    } else if (point[i] >= u[i] && wi < 0.0) {
      y[i] = u[i] - wi;
    } else {
      y[i] = point[i];
    }
  }
  DenseVector_SetLength(w, n);
}

int LMCP_VariableName(void*, int i, char* buffer, int length) {
  return MCP_VariableName(Driver()->mcp, i, buffer, length);
}

int LMCP_ConstraintName(void*, int i, char* buffer, int length) {
  return MCP_ConstraintName(Driver()->mcp, i, buffer, length);
}

void LMCP_Basis(void*, int n, int* codes) {
  const std::int32_t* b = IDenseVector_Array(Driver()->basis);
  for (int i = 0; i < n; ++i) codes[i] = b[i];
}
