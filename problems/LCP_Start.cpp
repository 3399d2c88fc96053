// LCP start, finish, basis repair, evaluation and names: moving a linear
// complementarity problem from the current LCP_Interface into the record
// and the pivoting method's solution back.
#include <algorithm>
#include <cstdio>

#include "core/Error.hpp"
#include "core/Options.hpp"
#include "core/Output.hpp"
#include "problems/LCP.hpp"
#include "problems/MCP.hpp"

namespace {

void ReadSizes(LCP* lcp, const LCP_Interface* in) {
  int n = 0;
  int nnz = 0;
  in->problem_size(in->data, &n, &nnz);
  if (n == 0) Error_SolverError("LCP: Start: Empty model.\n");
  if (n < 0 || nnz < 0) {
    Error_SolverError("LCP: Start: invalid problem size (n = %d, nnz = %d).\n", n, nnz);
  }
  LCP_Size(lcp, n, nnz);
  lcp->user_n = n;
}

void ReadBounds(LCP* lcp, const LCP_Interface* in) {
  std::int32_t n = lcp->user_n;
  double inf = Options_CommonDouble(COMMON_INFINITY);
  DenseVector_Fill(lcp->user_lower, n, -inf);
  DenseVector_Fill(lcp->user_upper, n, inf);
  DenseVector_FillZero(lcp->user_z, n);
  in->bounds(in->data, n, DenseVector_Array(lcp->user_z), DenseVector_Array(lcp->user_lower),
             DenseVector_Array(lcp->user_upper));
}

void ReadBasis(LCP* lcp, const LCP_Interface* in) {
  IDenseVector_FillZero(lcp->user_basis, lcp->user_n);
  if (in->basis != nullptr) {
    in->basis(in->data, lcp->user_n, IDenseVector_Array(lcp->user_basis));
    LCP_RepairBasis(lcp);
  }
}

// M and q through the matrix slot; what comes back is checked against the
// room and n before anything reads it.
void ReadMatrix(LCP* lcp, const LCP_Interface* in) {
  std::int32_t n = lcp->user_n;
  SparseMatrix* M = lcp->user_m;
  int count = SparseMatrix_NNZCapacity(M);
  DenseVector_SetLength(lcp->user_q, n);
  SparseMatrix_SetSize(M, n, n, count);
  SparseMatrix_SetFlags(M, 0);
  in->matrix(in->data, n, &count, IDenseVector_Array(SparseMatrix_ColStart(M)),
             IDenseVector_Array(SparseMatrix_ColLen(M)),
             IDenseVector_Array(SparseMatrix_RowIndex(M)),
             DenseVector_Array(SparseMatrix_Values(M)), DenseVector_Array(lcp->user_q));
  SparseMatrix_FinishExchange(M, count, "LCP: Matrix");
  lcp->user_nnz = count;
}

// Clamps the bounds, counts the fixed variables (their point moves to the
// bound and their code becomes 5) and numbers the others. The start F
// follows a fixed variable's move by the change times its column.
void SplitFixed(LCP* lcp) {
  std::int32_t n = lcp->user_n;
  double inf = Options_CommonDouble(COMMON_INFINITY);
  double* lower = DenseVector_Array(lcp->user_lower);
  double* upper = DenseVector_Array(lcp->user_upper);
  double* z = DenseVector_Array(lcp->user_z);
  double* f = DenseVector_Array(lcp->user_start_f);
  std::int32_t* basis = IDenseVector_Array(lcp->user_basis);
  IDenseVector_FillZero(lcp->to_working, n);
  IDenseVector_FillZero(lcp->to_user, n);
  std::int32_t* to_working = IDenseVector_Array(lcp->to_working);
  std::int32_t* to_user = IDenseVector_Array(lcp->to_user);
  const SparseMatrix* M = lcp->user_m;
  const SparseMatrix_ColumnView m = SparseMatrix_Columns(M);

  lcp->fixed = 0;
  std::int32_t free = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (lower[i] < -inf) lower[i] = -inf;
    if (upper[i] > inf) upper[i] = inf;
    // A NaN bound cannot be ordered: it is refused like crossed bounds.
    if (!(lower[i] <= upper[i])) Error_SolverError("LCP: Initialize: L > U.\n");
    if (lower[i] == upper[i]) {
      double change = lower[i] - z[i];
      if (change != 0.0) {
        for (std::int32_t p = m.start[i] - 1; p < m.start[i] - 1 + m.length[i]; ++p) {
          f[m.row[p] - 1] += m.value[p] * change;
        }
      }
      lcp->fixed += 1;
      z[i] = lower[i];
      basis[i] = BASIS_FIXED;
    } else {
      to_user[free] = i + 1;
      free += 1;
      to_working[i] = free;
    }
  }
  if (free == 0) Error_SolverError("LCP: Start: all variables fixed.\n");
  IDenseVector_SetLength(lcp->to_user, free);
}

// The problem restricted to the variables that are not fixed, their columns
// times their values folded into q, with every diagonal entry stored when
// asked.
void BuildWorkingBlock(LCP* lcp, int add_diagonal) {
  LCP_AllocateWorking(lcp);
  std::int32_t n = lcp->user_n;
  const double* lower = DenseVector_Array(lcp->user_lower);
  const double* upper = DenseVector_Array(lcp->user_upper);
  DenseVector_FillZero(lcp->z, n);
  double* fixed_values = DenseVector_Array(lcp->z);
  for (std::int32_t i = 0; i < n; ++i) {
    if (lower[i] == upper[i]) fixed_values[i] = lower[i];
  }
  // The working lower bound serves as scratch for q + M * fixed values.
  SparseMatrix_Mult(lcp->lower, lcp->user_m, lcp->z, lcp->user_q);
  DenseVector_Clone(lcp->q, lcp->lower, lcp->to_working);

  DenseVector_Clone(lcp->lower, lcp->user_lower, lcp->to_working);
  DenseVector_Clone(lcp->upper, lcp->user_upper, lcp->to_working);
  DenseVector_Clone(lcp->z, lcp->user_z, lcp->to_working);
  DenseVector_Clone(lcp->start_f, lcp->user_start_f, lcp->to_working);
  IDenseVector_Clone(lcp->basis, lcp->user_basis, lcp->to_working);
  lcp->n = n - lcp->fixed;
  SparseMatrix_Clone(lcp->m, lcp->user_m, lcp->to_working, lcp->to_working, add_diagonal);
  lcp->nnz = SparseMatrix_NNZ(lcp->m);
}

int Name(LCP* lcp, int i, char* buffer, int length, char letter,
         int (*callback)(void*, int, char*, int)) {
  if (lcp->fixed > 0 && i >= 1 && i <= IDenseVector_Length(lcp->to_user)) {
    i = IDenseVector_Value(lcp->to_user, i);
  }
  if (callback != nullptr) return callback(LCP_GetInterface()->data, i, buffer, length);
  if (buffer == nullptr || length <= 0) return 0;
  return std::snprintf(buffer, static_cast<std::size_t>(length), "%c[%5d]", letter, i);
}

}  // namespace

int LCP_Start(LCP* lcp, int add_diagonal) {
  const LCP_Interface* in = LCP_GetInterface();
  if (in->problem_size == nullptr || in->bounds == nullptr || in->matrix == nullptr) {
    Error_SolverError("LCP: Start: problem callbacks not installed.\n");
  }
  if (in->start != nullptr) in->start(in->data);
  ReadSizes(lcp, in);
  ReadBounds(lcp, in);
  ReadBasis(lcp, in);
  ReadMatrix(lcp, in);

  DenseVector_SetLength(lcp->user_start_f, lcp->user_n);
  if (in->start_function != nullptr) {
    in->start_function(in->data, lcp->user_n, DenseVector_Array(lcp->user_start_f));
  } else {
    SparseMatrix_Mult(lcp->user_start_f, lcp->user_m, lcp->user_z, lcp->user_q);
  }
  SplitFixed(lcp);
  if (lcp->fixed > 0) Error_Warning("LCP: Start: %d fixed variables encountered.\n", lcp->fixed);

  lcp->add_diagonal = add_diagonal;
  lcp->diagonal_added =
      add_diagonal != 0 && (SparseMatrix_GetFlags(lcp->user_m) & SPARSE_DIAGONAL) == 0 ? 1 : 0;
  if (lcp->fixed == 0 && lcp->diagonal_added == 0) {
    lcp->n = lcp->user_n;
    lcp->nnz = lcp->user_nnz;
    return LCP_STARTED;
  }
  BuildWorkingBlock(lcp, add_diagonal);
  return LCP_STARTED;
}

void LCP_RepairBasis(LCP* lcp) {
  std::int32_t n = lcp->user_n;
  const double* lower = DenseVector_Array(lcp->user_lower);
  const double* upper = DenseVector_Array(lcp->user_upper);
  const double* z = DenseVector_Array(lcp->user_z);
  std::int32_t* basis = IDenseVector_Array(lcp->user_basis);
  std::int32_t changed = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    std::int32_t b = basis[i];
    std::int32_t code = b;
    if (lower[i] == upper[i]) {
      code = BASIS_FIXED;
    } else if (z[i] == lower[i]) {
      if (b == BASIS_UPPER || b == BASIS_FIXED) code = BASIS_LOWER;
    } else if (z[i] == upper[i]) {
      if (b == BASIS_LOWER || b == BASIS_FIXED) code = BASIS_UPPER;
    } else if (z[i] < lower[i] || z[i] > upper[i]) {
      if (b == BASIS_FIXED) code = BASIS_BASIC;
    } else if (b == BASIS_LOWER || b == BASIS_UPPER || b == BASIS_FIXED) {
      code = BASIS_BASIC;
    }
    if (code != b) {
      basis[i] = code;
      changed += 1;
    }
  }
  if (changed > 0) Output_Printf(OUTPUT_LOG, "LCP modified basis.\n");
}

void LCP_Finish(LCP* lcp, DenseVector* z, IDenseVector* basis) {
  std::int32_t n = lcp->n;
  if (DenseVector_Capacity(z) < n || IDenseVector_Capacity(basis) < n) {
    Error_SolverError("LCP: Finish: room for %d variables needed.\n", n);
  }
  const double* zw = DenseVector_Array(z);
  const std::int32_t* bw = IDenseVector_Array(basis);
  double* user_z = DenseVector_Array(lcp->user_z);
  std::int32_t* user_basis = IDenseVector_Array(lcp->user_basis);
  if (lcp->fixed > 0) {
    const std::int32_t* to_user = IDenseVector_Array(lcp->to_user);
    for (std::int32_t i = 0; i < n; ++i) {
      user_z[to_user[i] - 1] = zw[i];
      user_basis[to_user[i] - 1] = bw[i];
    }
  } else {
    std::copy(zw, zw + n, user_z);
    std::copy(bw, bw + n, user_basis);
    DenseVector_SetLength(lcp->user_z, n);
    IDenseVector_SetLength(lcp->user_basis, n);
  }
  LCP_RepairBasis(lcp);
  const LCP_Interface* in = LCP_GetInterface();
  if (in->finish != nullptr) in->finish(in->data, user_z);
}

int LCP_Function(LCP* lcp, DenseVector* z, FunctionJacobian* pair) {
  SparseMatrix_Mult(FunctionJacobian_Function(pair), LCP_M(lcp), z, LCP_Q(lcp));
  FunctionJacobian_SetN(pair, lcp->n);
  return 1;
}

int LCP_Jacobian(LCP* lcp, DenseVector* z, FunctionJacobian* pair) {
  LCP_Function(lcp, z, pair);
  SparseMatrix* J = FunctionJacobian_Jacobian(pair);
  int add = LCP_WorkingInUse(lcp) ? lcp->add_diagonal : 0;
  SparseMatrix_Clone(J, LCP_M(lcp), nullptr, nullptr, add);
  FunctionJacobian_SetN(pair, lcp->n);
  FunctionJacobian_SetNnz(pair, SparseMatrix_NNZ(J));
  return 1;
}

int LCP_VariableName(LCP* lcp, int i, char* buffer, int length) {
  return Name(lcp, i, buffer, length, 'x', LCP_GetInterface()->variable_name);
}

int LCP_ConstraintName(LCP* lcp, int i, char* buffer, int length) {
  return Name(lcp, i, buffer, length, 'f', LCP_GetInterface()->constraint_name);
}
