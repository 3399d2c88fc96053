// Evaluations of the MCP record: the callbacks at the full point (the start
// point among them), and F and its Jacobian at a reduced point (scatter into
// the full point, call back in full numbering, gather into the caller's pair
// in reduced numbering).
#include <algorithm>

#include "core/Error.hpp"
#include "core/Options.hpp"
#include "problems/MCP.hpp"
#include "problems/ProblemClasses_internal.hpp"

namespace {

enum class Numbering { kPlain, kFixedOnly, kTransform };

Numbering NumberingOf(const MCP* mcp) {
  if (mcp->free_count > 0) return Numbering::kTransform;
  if (mcp->fixed_count > 0) return Numbering::kFixedOnly;
  return Numbering::kPlain;
}

// The caller's reduced point and pair must have room for the reduced problem;
// without it the gathers would write past their arrays.
void CheckReducedRoom(const MCP* mcp, const DenseVector* x_r, FunctionJacobian* out) {
  std::int32_t n_r = mcp->n_r;
  if (n_r < 1) {
    Error_SolverError("MCP: Evaluate: the problem has not been started.\n");
  }
  const SparseMatrix* J = FunctionJacobian_Jacobian(out);
  if (DenseVector_Capacity(x_r) < n_r || FunctionJacobian_MaxN(out) < n_r ||
      DenseVector_Capacity(FunctionJacobian_Function(out)) < n_r ||
      SparseMatrix_ColCapacity(J) < n_r) {
    Error_SolverError("MCP: Evaluate: room for %d variables needed.\n", n_r);
  }
}

// Writes the reduced point into the full point; fixed variables keep their
// values, free variables of the transform are x = x' - eta.
void Scatter(MCP* mcp, const DenseVector* x_r) {
  const double* xr = DenseVector_Array(x_r);
  double* x = DenseVector_Array(mcp->x);
  const std::int32_t* r2f = IDenseVector_Array(mcp->reduced_to_full);
  std::int32_t n_r = mcp->n_r;
  switch (NumberingOf(mcp)) {
    case Numbering::kPlain:
      std::copy(xr, xr + n_r, x);
      break;
    case Numbering::kFixedOnly:
      for (std::int32_t i = 0; i < n_r; ++i) x[r2f[i] - 1] = xr[i];
      break;
    case Numbering::kTransform: {
      const std::int32_t* free_flag = IDenseVector_Array(mcp->free_flag);
      double eta = xr[n_r - 1];
      for (std::int32_t i = 0; i < n_r - 1; ++i) {
        x[r2f[i] - 1] = free_flag[i] ? xr[i] - eta : xr[i];
      }
      break;
    }
  }
  DenseVector_SetLength(mcp->x, mcp->n);
}

// F_r from the full F; with the transform the "eta" row is minus the sum of
// the free variables' rows.
void GatherF(MCP* mcp, DenseVector* f_r) {
  const DenseVector* f = FunctionJacobian_Function(mcp->evaluation);
  switch (NumberingOf(mcp)) {
    case Numbering::kPlain:
      DenseVector_Clone(f_r, f, nullptr);
      break;
    case Numbering::kFixedOnly:
      DenseVector_Clone(f_r, f, mcp->full_to_reduced);
      break;
    case Numbering::kTransform: {
      std::int32_t n_r = mcp->n_r;
      const double* full = DenseVector_Array(f);
      const std::int32_t* f2r = IDenseVector_Array(mcp->full_to_reduced);
      const std::int32_t* free_flag = IDenseVector_Array(mcp->free_flag);
      double* reduced = DenseVector_Array(f_r);
      double sum = 0.0;
      for (std::int32_t j = 0; j < mcp->n; ++j) {
        std::int32_t k = f2r[j];
        if (k == 0) continue;
        reduced[k - 1] = full[j];
        if (free_flag[k - 1]) sum += full[j];
      }
      reduced[n_r - 1] = -sum;
      DenseVector_SetLength(f_r, n_r);
      break;
    }
  }
}

// Evaluates the second function at the full point (when installed) and
// gathers its gradient; returns its domain errors. The "eta" entry is the
// derivative along eta, minus the sum of the free variables' entries, as
// for the "eta" row of F.
int EvaluateSecondFunction(MCP* mcp) {
  const MCP_SecondFunctionInterface& second = mcp->second_interface;
  if (second.function_evaluation == nullptr) return 0;
  std::int32_t n = mcp->n;
  DenseVector_SetLength(mcp->second_gradient, n);
  int errors = second.function_evaluation(second.data, n, DenseVector_Array(mcp->x), 1,
                                          &mcp->second_value,
                                          DenseVector_Array(mcp->second_gradient));
  Numbering numbering = NumberingOf(mcp);
  if (numbering == Numbering::kPlain) {
    DenseVector_Clone(mcp->second_gradient_r, mcp->second_gradient, nullptr);
    return errors;
  }
  DenseVector_Clone(mcp->second_gradient_r, mcp->second_gradient, mcp->full_to_reduced);
  if (numbering == Numbering::kTransform) {
    const double* g = DenseVector_Array(mcp->second_gradient_r);
    const std::int32_t* free_flag = IDenseVector_Array(mcp->free_flag);
    double sum = 0.0;
    for (std::int32_t i = 0; i < mcp->n_r - 1; ++i) {
      if (free_flag[i]) sum += g[i];
    }
    DenseVector_Push(mcp->second_gradient_r, -sum);
  }
  return errors;
}

// Reduced Jacobian of the transformed problem, column by column. Column k
// holds the non-fixed rows of the full column, then minus the sum of its
// free rows' entries in the "eta" row, then a 0.0 diagonal when none was
// stored; the "eta" column holds minus each row's sum over the free columns
// and the sum over free rows and free columns in the corner.
class TransformGather {
 public:
  TransformGather(MCP* mcp, SparseMatrix* jr)
      : n_r_(mcp->n_r),
        room_(SparseMatrix_NNZCapacity(jr)),
        start_(IDenseVector_Array(SparseMatrix_ColStart(jr))),
        length_(IDenseVector_Array(SparseMatrix_ColLen(jr))),
        row_(IDenseVector_Array(SparseMatrix_RowIndex(jr))),
        value_(DenseVector_Array(SparseMatrix_Values(jr))) {}

  std::int32_t Build(MCP* mcp) {
    const SparseMatrix* J = FunctionJacobian_Jacobian(mcp->evaluation);
    const SparseMatrix_ColumnView full = SparseMatrix_Columns(J);
    const std::int32_t* f2r = IDenseVector_Array(mcp->full_to_reduced);
    const std::int32_t* free_flag = IDenseVector_Array(mcp->free_flag);
    DenseVector_FillZero(mcp->row_sums, n_r_ - 1);
    double* row_sum = DenseVector_Array(mcp->row_sums);
    double corner = 0.0;

    for (std::int32_t j = 0; j < mcp->n; ++j) {
      std::int32_t k = f2r[j];
      if (k == 0) continue;
      BeginColumn(k);
      bool free_column = free_flag[k - 1] != 0;
      bool diagonal_seen = false;
      double column_sum = 0.0;
      std::int32_t first = full.start[j] - 1;
      for (std::int32_t p = first; p < first + full.length[j]; ++p) {
        std::int32_t kr = f2r[full.row[p] - 1];
        if (kr == 0) continue;
        double v = full.value[p];
        // Explicit zeros off the diagonal are dropped; a NaN is kept.
        if (v == 0.0 && kr != k) continue;
        Append(k, kr, v);
        if (kr == k) diagonal_seen = true;
        bool free_row = free_flag[kr - 1] != 0;
        if (free_column) row_sum[kr - 1] += v;
        if (free_row) column_sum += v;
        if (free_column && free_row) corner += v;
      }
      if (!(column_sum == 0.0)) Append(k, n_r_, -column_sum);
      if (!diagonal_seen) Append(k, k, 0.0);
    }

    BeginColumn(n_r_);
    for (std::int32_t r = 1; r < n_r_; ++r) {
      if (!(row_sum[r - 1] == 0.0)) Append(n_r_, r, -row_sum[r - 1]);
    }
    Append(n_r_, n_r_, corner);
    return count_;
  }

 private:
  void BeginColumn(std::int32_t k) {
    start_[k - 1] = count_ + 1;
    length_[k - 1] = 0;
  }

  void Append(std::int32_t column, std::int32_t row, double value) {
    if (count_ >= room_) {
      Error_SolverError("MCP: Jacobian: reduced Jacobian needs more than %d entries.\n", room_);
    }
    row_[count_] = row;
    value_[count_] = value;
    count_ += 1;
    length_[column - 1] += 1;
  }

  std::int32_t n_r_;
  std::int32_t room_;
  std::int32_t* start_;
  std::int32_t* length_;
  std::int32_t* row_;
  double* value_;
  std::int32_t count_ = 0;
};

void GatherJacobian(MCP* mcp, FunctionJacobian* out) {
  SparseMatrix* jr = FunctionJacobian_Jacobian(out);
  const SparseMatrix* J = FunctionJacobian_Jacobian(mcp->evaluation);
  switch (NumberingOf(mcp)) {
    case Numbering::kPlain:
      SparseMatrix_Clone(jr, J, nullptr, nullptr, 1);
      break;
    case Numbering::kFixedOnly:
      SparseMatrix_Clone(jr, J, mcp->full_to_reduced, mcp->full_to_reduced, 1);
      break;
    case Numbering::kTransform: {
      SparseMatrix_SetSize(jr, mcp->n_r, mcp->n_r, SparseMatrix_NNZCapacity(jr));
      TransformGather gather(mcp, jr);
      std::int32_t count = gather.Build(mcp);
      SparseMatrix_SetNNZ(jr, count);
      SparseMatrix_SetFlags(jr, SPARSE_DIAGONAL | SPARSE_PACKED);
      break;
    }
  }
  FunctionJacobian_SetN(out, mcp->n_r);
  FunctionJacobian_SetNnz(out, SparseMatrix_NNZ(jr));
}

// F and J at the full point; the callback's domain-error count.
int EvaluateAtStart(void* record) { return MCP_EvaluateFullJacobian(static_cast<MCP*>(record)); }

}  // namespace

int MCP_EvaluateStart(MCP* mcp) {
  if (Options_CommonBool(COMMON_PROJECT_START)) {
    DenseVector_Mid(mcp->x, mcp->x, mcp->lower, mcp->upper);
  }
  ClassBlock full{mcp->lower, mcp->upper, mcp->x, mcp->basis};
  return problem_classes::EvaluateStartPoint(full, mcp->n, &EvaluateAtStart, mcp) ? MCP_CONTINUE
                                                                                  : MCP_UNDEFINED;
}

int MCP_EvaluateFullFunction(MCP* mcp) {
  DenseVector* f = FunctionJacobian_Function(mcp->evaluation);
  DenseVector_SetLength(f, mcp->n);
  return mcp->interface.function_evaluation(mcp->interface.data, mcp->n,
                                            DenseVector_Array(mcp->x), DenseVector_Array(f));
}

int MCP_EvaluateFullJacobian(MCP* mcp) {
  FunctionJacobian* evaluation = mcp->evaluation;
  SparseMatrix* J = FunctionJacobian_Jacobian(evaluation);
  DenseVector* f = FunctionJacobian_Function(evaluation);
  std::int32_t n = mcp->n;
  // The arrays are handed over as they are: a callback may keep in place
  // what it wrote on an earlier call of the same start.
  std::int32_t count = mcp->max_nnz;
  SparseMatrix_SetSize(J, n, n, count);
  SparseMatrix_SetFlags(J, 0);
  DenseVector_SetLength(f, n);
  int errors = mcp->interface.jacobian_evaluation(
      mcp->interface.data, n, DenseVector_Array(mcp->x), 1, DenseVector_Array(f), &count,
      IDenseVector_Array(SparseMatrix_ColStart(J)), IDenseVector_Array(SparseMatrix_ColLen(J)),
      IDenseVector_Array(SparseMatrix_RowIndex(J)), DenseVector_Array(SparseMatrix_Values(J)));
  SparseMatrix_FinishExchange(J, count, "MCP: Jacobian evaluation");
  std::int64_t stored = SparseMatrix_StoredEntries(J);
  if (stored > mcp->nnz) {
    Error_SolverError("MCP: Jacobian evaluation: %lld entries stored, at most %d allowed.\n",
                      static_cast<long long>(stored), mcp->nnz);
  }
  FunctionJacobian_SetN(evaluation, n);
  FunctionJacobian_SetNnz(evaluation, count);
  return errors;
}

int MCP_Function(MCP* mcp, DenseVector* x_r, FunctionJacobian* out) {
  CheckReducedRoom(mcp, x_r, out);
  Scatter(mcp, x_r);
  int errors = MCP_EvaluateFullFunction(mcp);
  GatherF(mcp, FunctionJacobian_Function(out));
  FunctionJacobian_SetN(out, mcp->n_r);
  int second_errors = EvaluateSecondFunction(mcp);
  return errors == 0 && second_errors == 0 ? 1 : 0;
}

int MCP_Jacobian(MCP* mcp, DenseVector* x_r, FunctionJacobian* out) {
  CheckReducedRoom(mcp, x_r, out);
  Scatter(mcp, x_r);
  int errors = MCP_EvaluateFullJacobian(mcp);
  GatherF(mcp, FunctionJacobian_Function(out));
  GatherJacobian(mcp, out);
  int second_errors = EvaluateSecondFunction(mcp);
  return errors == 0 && second_errors == 0 ? 1 : 0;
}
