// Test helpers shared by the tests of the problem classes and adapters: a
// smooth system F(x, t) with its Jacobian and parameter column, the writer
// of the sparse exchange form, dense views of sparse results and finite
// differences.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "support/Problems.hpp"

namespace class_tests {

// F(x, t) over n variables: evaluate writes f (n values) and, when asked,
// the Jacobian entries (0-based triplets, sorted by column) and dF/dt.
// Returns the number of domain errors.
struct System {
  int n = 0;
  std::function<int(const double* x, double t, double* f, std::vector<Triplet>* jacobian,
                    double* dfdt)>
      evaluate;
};

// Three variables; column 3 lacks its diagonal entry (F_3 does not depend
// on x_3) and F depends on t through rows 1 and 3.
inline System Curved() {
  System s;
  s.n = 3;
  s.evaluate = [](const double* x, double t, double* f, std::vector<Triplet>* j, double* dt) {
    f[0] = x[0] * x[0] + x[1] - 1.0 + t * x[0];
    f[1] = std::exp(0.5 * x[1]) - x[0] + 2.0 * x[2];
    f[2] = x[0] * x[1] + t * t;
    if (j != nullptr) {
      *j = {{0, 0, 2.0 * x[0] + t}, {1, 0, -1.0},  {2, 0, x[1]},
            {0, 1, 1.0},            {1, 1, 0.5 * std::exp(0.5 * x[1])},
            {2, 1, x[0]},           {1, 2, 2.0}};
    }
    if (dt != nullptr) {
      dt[0] = x[0];
      dt[1] = 0.0;
      dt[2] = 2.0 * t;
    }
    return 0;
  };
  return s;
}
constexpr int kCurvedEntries = 7;

// Writes the entries column by column into the exchange arrays (starts and
// rows from 1) and returns their count. Entries beyond room are counted but
// not written.
inline int WriteExchange(int n, const std::vector<Triplet>& entries, int room, int* start,
                         int* len, int* row, double* value) {
  int count = 0;
  for (int c = 0; c < n; ++c) {
    start[c] = count + 1;
    len[c] = 0;
    for (const Triplet& e : entries) {
      if (e.col != c) continue;
      if (count < room) {
        row[count] = e.row + 1;
        value[count] = e.value;
      }
      ++count;
      ++len[c];
    }
  }
  return count;
}

inline std::vector<double> Values(const DenseVector* v) {
  return std::vector<double>(DenseVector_Array(v), DenseVector_Array(v) + DenseVector_Length(v));
}

inline std::vector<int> Values(const IDenseVector* v) {
  return std::vector<int>(IDenseVector_Array(v), IDenseVector_Array(v) + IDenseVector_Length(v));
}

// Sets v to the given values (v needs the room).
inline void Assign(DenseVector* v, const std::vector<double>& values) {
  DenseVector_SetLength(v, static_cast<std::int32_t>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) DenseVector_Array(v)[i] = values[i];
}

inline void Assign(IDenseVector* v, const std::vector<int>& values) {
  IDenseVector_SetLength(v, static_cast<std::int32_t>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) IDenseVector_Array(v)[i] = values[i];
}

// Dense copy (row-major) of a square sparse matrix over its columns.
inline std::vector<double> Dense(const SparseMatrix* J) {
  int n = SparseMatrix_Cols(J);
  std::vector<double> dense(static_cast<size_t>(n) * n, 0.0);
  for (int c = 1; c <= n; ++c) {
    int first = IDenseVector_Value(SparseMatrix_ColStart(J), c);
    for (int k = 0; k < IDenseVector_Value(SparseMatrix_ColLen(J), c); ++k) {
      int r = IDenseVector_Value(SparseMatrix_RowIndex(J), first + k);
      dense[(r - 1) * n + (c - 1)] += DenseVector_Value(SparseMatrix_Values(J), first + k);
    }
  }
  return dense;
}

// Every diagonal entry (j, j), j = 1..cols, is stored in column j.
inline bool StoresEveryDiagonal(const SparseMatrix* J) {
  for (int c = 1; c <= SparseMatrix_Cols(J); ++c) {
    bool seen = false;
    int first = IDenseVector_Value(SparseMatrix_ColStart(J), c);
    for (int k = 0; k < IDenseVector_Value(SparseMatrix_ColLen(J), c); ++k) {
      if (IDenseVector_Value(SparseMatrix_RowIndex(J), first + k) == c) seen = true;
    }
    if (!seen) return false;
  }
  return true;
}

// Central differences of g (m outputs) at x: column j of the result
// (row-major m x n) is (g(x + h e_j) - g(x - h e_j)) / 2h.
inline std::vector<double> FiniteDifferences(
    const std::function<std::vector<double>(const std::vector<double>&)>& g,
    const std::vector<double>& x, double h = 1e-6) {
  int n = static_cast<int>(x.size());
  std::vector<double> base = g(x);
  int m = static_cast<int>(base.size());
  std::vector<double> jac(static_cast<size_t>(m) * n, 0.0);
  for (int j = 0; j < n; ++j) {
    std::vector<double> plus = x;
    std::vector<double> minus = x;
    plus[j] += h;
    minus[j] -= h;
    std::vector<double> fp = g(plus);
    std::vector<double> fm = g(minus);
    for (int i = 0; i < m; ++i) jac[i * n + j] = (fp[i] - fm[i]) / (2.0 * h);
  }
  return jac;
}

// A caller of the non-parametric classes (CNS, QP) serving a System at
// t = 0; its static callbacks fit both interfaces and record every call.
struct FakeCaller {
  System system = Curved();
  int n_reported = 3;
  int nnz_reported = 9;
  std::vector<double> lower{-kInf, -kInf, -kInf}, upper{kInf, kInf, kInf}, start{0.5, 0.5, 0.5};
  std::vector<int> basis;  // empty: no basis slot
  std::vector<std::string> calls;
  std::vector<std::vector<double>> points;  // x at every evaluation
  std::vector<double> finished;
  std::function<bool(const double* x)> undefined;  // domain error at x
  static constexpr int kNoOverride = -1000000;
  int count_override = kNoOverride;  // else the count reported
  int bad_row = 0;                   // else written as the row of entry 1

  static FakeCaller* Self(void* d) { return static_cast<FakeCaller*>(d); }

  static void ProblemSize(void* d, int* n, int* nnz) {
    Self(d)->calls.push_back("problem_size");
    *n = Self(d)->n_reported;
    *nnz = Self(d)->nnz_reported;
  }
  static void Bounds(void* d, int n, double* x, double* l, double* u) {
    Self(d)->calls.push_back("bounds");
    for (int i = 0; i < n; ++i) {
      x[i] = Self(d)->start[i];
      l[i] = Self(d)->lower[i];
      u[i] = Self(d)->upper[i];
    }
  }
  static int Function(void* d, int n, const double* x, double* f) {
    FakeCaller* self = Self(d);
    self->calls.push_back("function");
    self->points.emplace_back(x, x + n);
    int errors = self->system.evaluate(x, 0.0, f, nullptr, nullptr);
    return errors + (self->undefined && self->undefined(x) ? 1 : 0);
  }
  static int Jacobian(void* d, int n, const double* x, int, double* f, int* nnz, int* start,
                      int* len, int* row, double* value) {
    FakeCaller* self = Self(d);
    self->calls.push_back("jacobian");
    self->points.emplace_back(x, x + n);
    std::vector<Triplet> entries;
    int errors = self->system.evaluate(x, 0.0, f, &entries, nullptr);
    int count = WriteExchange(n, entries, *nnz, start, len, row, value);
    if (self->bad_row != 0) row[0] = self->bad_row;
    *nnz = self->count_override != kNoOverride ? self->count_override : count;
    return errors + (self->undefined && self->undefined(x) ? 1 : 0);
  }
  static void Start(void* d) { Self(d)->calls.push_back("start"); }
  static void Finish(void* d, const double* x) {
    Self(d)->calls.push_back("finish");
    Self(d)->finished.assign(x, x + Self(d)->system.n);
  }
  static void Basis(void* d, int n, int* status) {
    Self(d)->calls.push_back("basis");
    for (int i = 0; i < n; ++i) status[i] = Self(d)->basis[i];
  }
};

}  // namespace class_tests
