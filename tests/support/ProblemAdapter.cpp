#include "support/ProblemAdapter.hpp"

#include <algorithm>

ProblemAdapter::ProblemAdapter(NonlinearProblem problem, int nnz) : problem_(std::move(problem)) {
  const int n = problem_.n;
  if (nnz <= 0) {
    if (n <= 200) {
      nnz = n * n;
    } else {
      std::vector<double> f(n);
      std::vector<Triplet> entries;
      problem_.evaluate(problem_.start.data(), f.data(), &entries);
      nnz = static_cast<int>(entries.size()) + n;
    }
  }
  nnz_ = nnz;
  mcp_ = MCP_Create(n, nnz);
  MCP_Interface record{};
  record.data = this;
  record.problem_size = &ProblemAdapter::ProblemSize;
  record.bounds = &ProblemAdapter::Bounds;
  record.function_evaluation = &ProblemAdapter::Function;
  record.jacobian_evaluation = &ProblemAdapter::Jacobian;
  record.finish = &ProblemAdapter::Finish;
  MCP_SetInterface(mcp_, &record);
}

ProblemAdapter::~ProblemAdapter() { MCP_Destroy(mcp_); }

std::vector<double> ProblemAdapter::Point() {
  const double* x = MCP_XArray(mcp_);
  return std::vector<double>(x, x + problem_.n);
}

std::vector<double> ProblemAdapter::FunctionAt(const std::vector<double>& z) const {
  std::vector<double> f(problem_.n, 0.0);
  problem_.evaluate(z.data(), f.data(), nullptr);
  return f;
}

void ProblemAdapter::Before() {
  if (before_evaluation) before_evaluation(function_calls, jacobian_calls);
}

void ProblemAdapter::ProblemSize(void* data, int* n, int* nnz) {
  auto* self = static_cast<ProblemAdapter*>(data);
  *n = self->problem_.n;
  *nnz = self->nnz_;
}

void ProblemAdapter::Bounds(void* data, int n, double* x, double* lower, double* upper) {
  auto* self = static_cast<ProblemAdapter*>(data);
  std::copy(self->problem_.start.begin(), self->problem_.start.begin() + n, x);
  std::copy(self->problem_.lower.begin(), self->problem_.lower.begin() + n, lower);
  std::copy(self->problem_.upper.begin(), self->problem_.upper.begin() + n, upper);
}

int ProblemAdapter::Function(void* data, int, const double* x, double* f) {
  auto* self = static_cast<ProblemAdapter*>(data);
  self->function_calls += 1;
  self->Before();
  return self->problem_.evaluate(x, f, nullptr) ? 0 : 1;
}

int ProblemAdapter::Jacobian(void* data, int n, const double* x, int, double* f, int* nnz,
                             int* col_start, int* col_len, int* row, double* value) {
  auto* self = static_cast<ProblemAdapter*>(data);
  self->jacobian_calls += 1;
  self->Before();
  std::vector<Triplet> entries;
  const bool defined = self->problem_.evaluate(x, f, &entries);
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Triplet& a, const Triplet& b) { return a.col < b.col; });
  const int room = *nnz;
  int count = 0;
  for (int j = 0; j < n; ++j) {
    col_start[j] = count + 1;
    col_len[j] = 0;
  }
  for (const Triplet& t : entries) {
    if (count < room) {
      row[count] = t.row + 1;
      value[count] = t.value;
      col_len[t.col] += 1;
    }
    count += 1;
  }
  // Column starts after the lengths are known (entries are in column order).
  int position = 1;
  for (int j = 0; j < n; ++j) {
    col_start[j] = position;
    position += col_len[j];
  }
  *nnz = count;  // more than the room: the record refuses it
  return defined ? 0 : 1;
}

void ProblemAdapter::Finish(void* data, const double*) {
  static_cast<ProblemAdapter*>(data)->finish_calls += 1;
}
