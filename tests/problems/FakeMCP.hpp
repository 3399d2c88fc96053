// A caller of the MCP record for the tests: its callbacks serve a problem
// given as an evaluation function and record every call they receive.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "problems/MCP.hpp"
#include "fixtures/Problems.hpp"

class FakeMCP {
 public:
  // Evaluation: F at x and, when jacobian is not null, the structural
  // Jacobian entries (0-based). Returns the number of domain errors.
  using Evaluate = std::function<int(const double* x, double* f, std::vector<Triplet>* jacobian)>;

  FakeMCP(int n, int nnz, Evaluate evaluate) : n_(n), nnz_(nnz), evaluate_(std::move(evaluate)) {
    int size = std::max(n, 0);
    lower.assign(size, -kInf);
    upper.assign(size, kInf);
    start.assign(size, 0.0);
  }

  // From one of the classic problems (its bounds and start point).
  explicit FakeMCP(const NonlinearProblem& problem, int nnz)
      : FakeMCP(problem.n, nnz, [problem](const double* x, double* f, std::vector<Triplet>* j) {
          return problem.evaluate(x, f, j) ? 0 : 1;
        }) {
    lower = problem.lower;
    upper = problem.upper;
    start = problem.start;
  }

  std::vector<double> lower, upper, start;
  std::vector<int> basis;              // empty: no basis callback
  std::vector<std::string> calls;      // every callback, in order
  std::vector<std::vector<double>> points;  // x at every evaluation
  std::vector<double> finished;        // x handed to the finish callback
  static constexpr int kNoOverride = -1000000;
  int jacobian_count_override = kNoOverride;  // else the entry count reported
  std::function<void(int* col_start, int* col_len, int* row)> corrupt;  // edits the structure
  std::function<void()> on_jacobian_types;  // runs inside that hook

  MCP_Interface Interface(bool with_hooks = true) {
    MCP_Interface in{};
    in.data = this;
    in.problem_size = &ProblemSize;
    in.bounds = &Bounds;
    in.function_evaluation = &Function;
    in.jacobian_evaluation = &Jacobian;
    if (with_hooks) {
      in.start = &Start;
      in.finish = &Finish;
    }
    if (!basis.empty()) in.basis = &Basis;
    return in;
  }

  MCP_PresolveInterface PresolveHooks() {
    MCP_PresolveInterface p{};
    p.data = this;
    p.after_start = [](void* d) { Self(d)->calls.push_back("after_start"); };
    p.before_postsolve = [](void* d) { Self(d)->calls.push_back("before_postsolve"); };
    p.after_presolve = [](void* d) { Self(d)->calls.push_back("after_presolve"); };
    p.after_postsolve = [](void* d) { Self(d)->calls.push_back("after_postsolve"); };
    p.jacobian_types = [](void* d, int, int*) {
      Self(d)->calls.push_back("jacobian_types");
      if (Self(d)->on_jacobian_types) Self(d)->on_jacobian_types();
    };
    p.constraint_types = [](void* d, int, int*) { Self(d)->calls.push_back("constraint_types"); };
    return p;
  }

  // Dense F and column-major Jacobian of the underlying problem at x.
  std::vector<double> F(const std::vector<double>& x) const {
    std::vector<double> f(n_);
    evaluate_(x.data(), f.data(), nullptr);
    return f;
  }

  int n() const { return n_; }

 private:
  static FakeMCP* Self(void* data) { return static_cast<FakeMCP*>(data); }

  static void ProblemSize(void* data, int* n, int* nnz) {
    Self(data)->calls.push_back("problem_size");
    *n = Self(data)->n_;
    *nnz = Self(data)->nnz_;
  }
  static void Bounds(void* data, int n, double* x, double* lower, double* upper) {
    FakeMCP* self = Self(data);
    self->calls.push_back("bounds");
    for (int i = 0; i < n; ++i) {
      x[i] = self->start[i];
      lower[i] = self->lower[i];
      upper[i] = self->upper[i];
    }
  }
  static void Basis(void* data, int n, int* status) {
    Self(data)->calls.push_back("basis");
    for (int i = 0; i < n; ++i) status[i] = Self(data)->basis[i];
  }
  static void Start(void* data) { Self(data)->calls.push_back("start"); }
  static void Finish(void* data, const double* x) {
    FakeMCP* self = Self(data);
    self->calls.push_back("finish");
    self->finished.assign(x, x + self->n_);
  }
  static int Function(void* data, int n, const double* x, double* f) {
    FakeMCP* self = Self(data);
    self->calls.push_back("function");
    self->points.emplace_back(x, x + n);
    return self->evaluate_(x, f, nullptr);
  }
  static int Jacobian(void* data, int n, const double* x, int, double* f, int* nnz,
                      int* col_start, int* col_len, int* row, double* value) {
    FakeMCP* self = Self(data);
    self->calls.push_back("jacobian");
    self->points.emplace_back(x, x + n);
    std::vector<Triplet> entries;
    int errors = self->evaluate_(x, f, &entries);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Triplet& a, const Triplet& b) { return a.col < b.col; });
    int count = 0;
    for (int j = 0; j < n; ++j) {
      col_start[j] = count + 1;
      col_len[j] = 0;
      for (const Triplet& t : entries) {
        if (t.col != j || count >= *nnz) continue;
        row[count] = t.row + 1;
        value[count] = t.value;
        ++count;
        ++col_len[j];
      }
    }
    *nnz = self->jacobian_count_override != kNoOverride ? self->jacobian_count_override : count;
    if (self->corrupt) self->corrupt(col_start, col_len, row);
    return errors;
  }

  int n_;
  int nnz_;
  Evaluate evaluate_;
};

// F_i = x_i - target_i with a diagonal Jacobian of ones.
inline FakeMCP::Evaluate ShiftedIdentity(std::vector<double> target) {
  return [target](const double* x, double* f, std::vector<Triplet>* jacobian) {
    int n = static_cast<int>(target.size());
    for (int i = 0; i < n; ++i) f[i] = x[i] - target[i];
    if (jacobian != nullptr) {
      jacobian->clear();
      for (int i = 0; i < n; ++i) jacobian->push_back({i, i, 1.0});
    }
    return 0;
  };
}
