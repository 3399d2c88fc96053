// MCP names of variables and functions in both numberings, and the plain
// arrays through which the gateways read the full solution.
#include <cstdio>

#include "problems/MCP.hpp"

namespace {

// The built-in name "x[%5d]" / "f[%5d]", cut to the buffer; returns the
// length of the whole text.
int DefaultName(char letter, int i, char* buf, int len) {
  if (buf == nullptr || len <= 0) return 0;
  return std::snprintf(buf, static_cast<std::size_t>(len), "%c[%5d]", letter, i);
}

int Eta(char* buf, int len) {
  if (buf == nullptr || len <= 0) return 0;
  return std::snprintf(buf, static_cast<std::size_t>(len), "eta");
}

bool IsEta(const MCP* mcp, int i) { return mcp->free_count > 0 && i == mcp->n_r; }

// Full index of reduced index i; an index outside 1..n_r is passed on as it
// is rather than read from the map.
int FullIndex(const MCP* mcp, int i) {
  if (mcp->fixed_count == 0 || i < 1 || i > IDenseVector_Length(mcp->reduced_to_full)) return i;
  return IDenseVector_Value(mcp->reduced_to_full, i);
}

}  // namespace

int MCP_FullVariableName(const MCP* mcp, int i, char* buf, int len) {
  if (mcp->interface.variable_name != nullptr) {
    return mcp->interface.variable_name(mcp->interface.data, i, buf, len);
  }
  return DefaultName('x', i, buf, len);
}

int MCP_FullConstraintName(const MCP* mcp, int i, char* buf, int len) {
  if (mcp->interface.constraint_name != nullptr) {
    return mcp->interface.constraint_name(mcp->interface.data, i, buf, len);
  }
  return DefaultName('f', i, buf, len);
}

int MCP_VariableName(const MCP* mcp, int i, char* buf, int len) {
  if (IsEta(mcp, i)) return Eta(buf, len);
  return MCP_FullVariableName(mcp, FullIndex(mcp, i), buf, len);
}

int MCP_ConstraintName(const MCP* mcp, int i, char* buf, int len) {
  if (IsEta(mcp, i)) return Eta(buf, len);
  return MCP_FullConstraintName(mcp, FullIndex(mcp, i), buf, len);
}

DenseVector* MCP_EvaluationF(MCP* mcp) { return FunctionJacobian_Function(mcp->evaluation); }
SparseMatrix* MCP_EvaluationJ(MCP* mcp) { return FunctionJacobian_Jacobian(mcp->evaluation); }

double* MCP_XArray(MCP* mcp) { return DenseVector_Array(mcp->x); }
double* MCP_LowerArray(MCP* mcp) { return DenseVector_Array(mcp->lower); }
double* MCP_UpperArray(MCP* mcp) { return DenseVector_Array(mcp->upper); }
int* MCP_BasisArray(MCP* mcp) { return IDenseVector_Array(mcp->basis); }
double* MCP_FArray(MCP* mcp) { return DenseVector_Array(MCP_EvaluationF(mcp)); }

void MCP_JacobianArrays(MCP* mcp, int* nnz, int** col_start, int** col_len, int** row,
                        double** value) {
  SparseMatrix* J = MCP_EvaluationJ(mcp);
  *nnz = SparseMatrix_NNZ(J);
  *col_start = IDenseVector_Array(SparseMatrix_ColStart(J));
  *col_len = IDenseVector_Array(SparseMatrix_ColLen(J));
  *row = IDenseVector_Array(SparseMatrix_RowIndex(J));
  *value = DenseVector_Array(SparseMatrix_Values(J));
}
