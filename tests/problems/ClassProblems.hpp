// Test helpers shared by the tests of the problem classes and adapters: a
// smooth system F(x, t) with its Jacobian and parameter column, the writer
// of the sparse exchange form, dense views of sparse results, finite
// differences, and fake callers of every class that record each call.
#pragma once

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/FunctionJacobian.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "problems/CNS.hpp"
#include "problems/MCP.hpp"
#include "problems/PLCP.hpp"
#include "problems/PMCP.hpp"
#include "problems/QP.hpp"
#include "fixtures/Problems.hpp"

namespace class_tests {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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

  // Every slot of a bounded nonlinear system, this record as the data.
  SystemCallbacks Callbacks();
};

// The slots of a bounded nonlinear system served by a caller's static
// functions (all but start), the caller as the data.
template <class Caller>
SystemCallbacks CallbacksOf(Caller* caller) {
  SystemCallbacks in{};
  in.data = caller;
  in.problem_size = &Caller::ProblemSize;
  in.bounds = &Caller::Bounds;
  in.function_evaluation = &Caller::Function;
  in.jacobian_evaluation = &Caller::Jacobian;
  in.finish = &Caller::Finish;
  return in;
}

inline SystemCallbacks FakeCaller::Callbacks() {
  SystemCallbacks in = CallbacksOf(this);
  in.start = &Start;
  return in;
}

// The fake's interface for each class; the CNS's basis slot only when the
// fake has codes.
inline QP_Interface QPInterface(FakeCaller& fake) { return QP_Interface{fake.Callbacks()}; }
inline CNS_Interface CNSInterface(FakeCaller& fake) {
  return CNS_Interface{fake.Callbacks(), fake.basis.empty() ? nullptr : &FakeCaller::Basis};
}

// The CNS seen through the operations both systems offer. The record keeps
// its own copy of the interface.
struct CNSClass {
  using Record = CNS;
  static constexpr int kStarted = CNS_CONTINUE;
  static constexpr int kSolved = CNS_SOLVED;
  static constexpr int kBoundError = CNS_BOUND_ERROR;
  static constexpr int kUndefined = CNS_UNDEFINED;
  static constexpr bool kHasCodes = true;
  static constexpr int kFullNWhenEmpty = 0;  // a failed start leaves no user n
  static constexpr const char* kCreateTooLarge = "Create: problem size too large";
  static constexpr const char* kSizeTooLarge = "Size: problem size too large";

  static CNS* Create(int n, int nnz) { return CNS_Create(n, nnz); }
  void Install(CNS* r, FakeCaller& fake) {
    CNS_Interface in = CNSInterface(fake);
    CNS_SetInterface(r, &in);
  }
  void DropJacobianSlot(CNS* r) {
    CNS_Interface in;
    CNS_GetInterface(r, &in);
    in.jacobian_evaluation = nullptr;
    CNS_SetInterface(r, &in);
  }
  void SetVariableName(CNS* r, int (*slot)(void*, int, char*, int)) {
    CNS_Interface in;
    CNS_GetInterface(r, &in);
    in.variable_name = slot;
    CNS_SetInterface(r, &in);
  }
  static void Destroy(CNS* r) { CNS_Destroy(r); }
  static int Start(CNS* r) { return CNS_Start(r); }
  static int Function(CNS* r, DenseVector* x, FunctionJacobian* p) { return CNS_Function(r, x, p); }
  static int Jacobian(CNS* r, DenseVector* x, FunctionJacobian* p) { return CNS_Jacobian(r, x, p); }
  static void Finish(CNS* r, DenseVector* x) { CNS_Finish(r, 1, x, nullptr); }
  static void Size(CNS* r, int n, int nnz) { CNS_Size(r, n, nnz); }
  static void Copy(CNS* dst, const CNS* src) { CNS_Copy(dst, src); }
  static int VariableName(CNS* r, int i, char* b, int n) { return CNS_VariableName(r, i, b, n); }
  static int ConstraintName(CNS* r, int i, char* b, int n) {
    return CNS_ConstraintName(r, i, b, n);
  }
  static void SetTag(CNS* r, int tag) { CNS_SetTag(r, tag); }
  static int Tag(CNS* r) { return CNS_Tag(r); }
  static int Variables(CNS* r) { return CNS_Variables(r); }
  static int Nonzeros(CNS* r) { return CNS_Nonzeros(r); }
  static int MaxVariables(CNS* r) { return CNS_MaxVariables(r); }
  static int MaxNonzeros(CNS* r) { return CNS_MaxNonzeros(r); }
  static int FullN(CNS* r) { return r->size.full_n; }
  static DenseVector* X(CNS* r) { return CNS_X(r); }
  static DenseVector* Lower(CNS* r) { return CNS_Lower(r); }
  static DenseVector* Upper(CNS* r) { return CNS_Upper(r); }
  static DenseVector* FullX(CNS* r) { return CNS_UserX(r); }
  static DenseVector* FullLower(CNS* r) { return CNS_UserLower(r); }
  static DenseVector* FullUpper(CNS* r) { return CNS_UserUpper(r); }
  static std::vector<int> Codes(CNS* r) { return Values(CNS_Basis(r)); }
  static std::vector<int> FullCodes(CNS* r) { return Values(CNS_UserBasis(r)); }
  static DenseVector* OwnF(CNS* r) { return CNS_EvaluationF(r); }
  static SparseMatrix* OwnJ(CNS* r) { return CNS_EvaluationJ(r); }
};

// The QP: its interface is the module's, held here by pointer.
struct QPClass {
  using Record = QP;
  static constexpr int kStarted = QP_READY;
  static constexpr int kSolved = QP_SOLVED;
  static constexpr int kBoundError = QP_BOUND_ERROR;
  static constexpr int kUndefined = QP_UNDEFINED;
  static constexpr bool kHasCodes = false;
  static constexpr int kFullNWhenEmpty = 1;  // max(1, n) whatever the start did
  static constexpr const char* kCreateTooLarge = "Problem size too large.\n";
  static constexpr const char* kSizeTooLarge = "Problem size too large.\n";

  QP_Interface interface{};

  // The module keeps no pointer to a record that is gone.
  ~QPClass() {
    if (QP_GetInterface() == &interface) QP_SetInterface(nullptr);
  }
  static QP* Create(int n, int nnz) { return QP_Create(n, nnz); }
  void Install(QP*, FakeCaller& fake) {
    interface = QPInterface(fake);
    QP_SetInterface(&interface);
  }
  void DropJacobianSlot(QP*) { interface.jacobian_evaluation = nullptr; }
  void SetVariableName(QP*, int (*slot)(void*, int, char*, int)) {
    QP_SetInterface(&interface);
    interface.variable_name = slot;
  }
  static void Destroy(QP* r) { QP_Destroy(r); }
  static int Start(QP* r) { return QP_Start(r); }
  static int Function(QP* r, DenseVector* x, FunctionJacobian* p) { return QP_Function(r, x, p); }
  static int Jacobian(QP* r, DenseVector* x, FunctionJacobian* p) { return QP_Jacobian(r, x, p); }
  static void Finish(QP* r, DenseVector* x) { QP_Finish(r, 7, x); }
  static void Size(QP* r, int n, int nnz) { QP_Size(r, n, nnz); }
  static void Copy(QP* dst, const QP* src) { QP_Copy(dst, src); }
  static int VariableName(QP* r, int i, char* b, int n) { return QP_VariableName(r, i, b, n); }
  static int ConstraintName(QP* r, int i, char* b, int n) { return QP_ConstraintName(r, i, b, n); }
  static void SetTag(QP* r, int tag) { QP_SetTag(r, tag); }
  static int Tag(QP* r) { return QP_Tag(r); }
  static int Variables(QP* r) { return QP_Variables(r); }
  static int Nonzeros(QP* r) { return QP_Nonzeros(r); }
  static int MaxVariables(QP* r) { return QP_MaxVariables(r); }
  static int MaxNonzeros(QP* r) { return QP_MaxNonzeros(r); }
  static int FullN(QP* r) { return r->size.full_n; }
  static DenseVector* X(QP* r) { return QP_X(r); }
  static DenseVector* Lower(QP* r) { return QP_Lower(r); }
  static DenseVector* Upper(QP* r) { return QP_Upper(r); }
  static DenseVector* FullX(QP* r) { return QP_FullX(r); }
  static DenseVector* FullLower(QP* r) { return QP_FullLower(r); }
  static DenseVector* FullUpper(QP* r) { return QP_FullUpper(r); }
  static std::vector<int> Codes(QP*) { return {}; }
  static std::vector<int> FullCodes(QP*) { return {}; }
  static DenseVector* OwnF(QP* r) { return r->F; }
  static SparseMatrix* OwnJ(QP* r) { return r->J; }
};

// The MCP function an adapter builds from a system at t = 0, computed from
// the problem: z holds x (n values) and the multipliers of the bounded
// variables (0-based, in order); the multiplier's row is F_i(x) and the
// variable's row is -y.
inline std::vector<double> PairedF(const System& system, const std::vector<int>& bounded,
                                   const std::vector<double>& z) {
  int n = system.n;
  std::vector<double> f(n);
  system.evaluate(z.data(), 0.0, f.data(), nullptr, nullptr);
  std::vector<double> out(z.size());
  for (int i = 0; i < n; ++i) out[i] = f[i];
  for (size_t j = 0; j < bounded.size(); ++j) {
    out[n + j] = f[bounded[j]];
    out[bounded[j]] = -z[n + j];
  }
  return out;
}

// The adapter record behind an MCP made by CNS_MCP_Create or QP_MCP_Create.
template <class Adapter>
Adapter* AdapterOf(MCP* mcp) {
  MCP_Interface in;
  MCP_GetInterface(mcp, &in);
  return static_cast<Adapter*>(in.data);
}

// A caller of the parametric classes (PMCP, PLCP): the slots both
// interfaces share, recording every call. Fill puts them into either
// interface with this record (as a ParametricCaller) as the data.
struct ParametricCaller {
  int n_reported = 3;
  int nnz_reported = 9;
  std::vector<double> lower{-kInf, -kInf, -kInf}, upper{kInf, kInf, kInf}, start{0.5, 0.5, 0.5};
  double t = 0.25, t_lower = -kInf, t_upper = kInf;
  std::vector<int> basis;  // empty: no basis slot
  int t_basis = 0;
  std::vector<std::string> calls;
  std::vector<double> finished;
  double finished_t = kNaN;
  static constexpr int kNoOverride = -1000000;
  int count_override = kNoOverride;  // else the entry count reported

  template <class Interface>
  void Fill(Interface& in) {
    in.data = this;
    in.problem_size = &ProblemSize;
    in.bounds = &Bounds;
    in.start = &Start;
    in.finish = &Finish;
    if (!basis.empty()) in.basis = &Basis;
  }
  int Count(int written) const { return count_override != kNoOverride ? count_override : written; }

  static ParametricCaller* Self(void* d) { return static_cast<ParametricCaller*>(d); }
  static void ProblemSize(void* d, int* n, int* nnz) {
    Self(d)->calls.push_back("problem_size");
    *n = Self(d)->n_reported;
    *nnz = Self(d)->nnz_reported;
  }
  static void Bounds(void* d, int n, double* x, double* l, double* u, double* t, double* tl,
                     double* tu) {
    ParametricCaller* self = Self(d);
    self->calls.push_back("bounds");
    for (int i = 0; i < n; ++i) {
      x[i] = self->start[i];
      l[i] = self->lower[i];
      u[i] = self->upper[i];
    }
    *t = self->t;
    *tl = self->t_lower;
    *tu = self->t_upper;
  }
  static void Start(void* d) { Self(d)->calls.push_back("start"); }
  static void Finish(void* d, const double* x, double t) {
    Self(d)->calls.push_back("finish");
    Self(d)->finished.assign(x, x + Self(d)->n_reported);
    Self(d)->finished_t = t;
  }
  static void Basis(void* d, int n, int* status, int* t_status) {
    Self(d)->calls.push_back("basis");
    for (int i = 0; i < n; ++i) status[i] = Self(d)->basis[i];
    *t_status = Self(d)->t_basis;
  }
};

// A caller of the PMCP record serving a System.
struct FakePMCP : ParametricCaller {
  System system = Curved();
  std::vector<std::vector<double>> points;  // x at every evaluation
  std::vector<const double*> arrays;        // the x array of every evaluation
  bool undefined = false;

  PMCP_Interface Interface() {
    PMCP_Interface in{};
    Fill(in);
    in.function_evaluation = [](void* d, int n, const double* x, double t, double* f) {
      FakePMCP* self = Self(d);
      self->calls.push_back("function");
      self->Record(n, x);
      return self->system.evaluate(x, t, f, nullptr, nullptr) + (self->undefined ? 1 : 0);
    };
    in.jacobian_evaluation = [](void* d, int n, const double* x, double t, int, int* nnz,
                                int* start, int* len, int* row, double* value, double* f,
                                double* column) {
      FakePMCP* self = Self(d);
      self->calls.push_back("jacobian");
      self->Record(n, x);
      std::vector<Triplet> entries;
      int errors = self->system.evaluate(x, t, f, &entries, column);
      *nnz = self->Count(WriteExchange(n, entries, *nnz, start, len, row, value));
      return errors + (self->undefined ? 1 : 0);
    };
    return in;
  }

  void Record(int n, const double* x) {
    points.emplace_back(x, x + n);
    arrays.push_back(x);
  }

  // F of the full problem with variable `fixed` (0-based, -1: none) held at
  // value and the others from the reduced point xr.
  std::vector<double> ReducedF(const std::vector<double>& xr, double tt, int fixed,
                               double value) const {
    std::vector<double> x;
    for (int i = 0, k = 0; i < system.n; ++i) x.push_back(i == fixed ? value : xr[k++]);
    std::vector<double> f(system.n);
    system.evaluate(x.data(), tt, f.data(), nullptr, nullptr);
    std::vector<double> out;
    for (int i = 0; i < system.n; ++i) {
      if (i != fixed) out.push_back(f[i]);
    }
    return out;
  }

  static FakePMCP* Self(void* d) { return static_cast<FakePMCP*>(ParametricCaller::Self(d)); }
};

// A caller of the PLCP record. M (0-based triplets sorted by column) lacks
// the diagonal of column 2.
struct FakePLCP : ParametricCaller {
  std::vector<Triplet> m = {{0, 0, 2.0}, {2, 0, -1.0}, {0, 1, 1.0}, {1, 2, 3.0}, {2, 2, 4.0}};
  std::vector<double> q{1.0, -2.0, 0.5}, d{0.0, 1.0, -1.0};

  FakePLCP() {
    nnz_reported = 5;
    start = {0.0, 0.0, 0.0};
    t = 0.0;
  }

  PLCP_Interface Interface() {
    PLCP_Interface in{};
    Fill(in);
    in.matrix = [](void* data, int n, int* nnz, int* start, int* len, int* row, double* value,
                   double* q, double* dir) {
      FakePLCP* self = Self(data);
      self->calls.push_back("matrix");
      int count = WriteExchange(n, self->m, *nnz, start, len, row, value);
      for (int i = 0; i < n; ++i) {
        q[i] = self->q[i];
        dir[i] = self->d[i];
      }
      *nnz = self->Count(count);
    };
    return in;
  }

  // M x + q + t d from the triplets.
  std::vector<double> F(const std::vector<double>& x, double tt) const {
    std::vector<double> f(q.size());
    for (size_t i = 0; i < q.size(); ++i) f[i] = q[i] + tt * d[i];
    for (const Triplet& e : m) f[e.row] += e.value * x[e.col];
    return f;
  }

  static FakePLCP* Self(void* d) { return static_cast<FakePLCP*>(ParametricCaller::Self(d)); }
};

}  // namespace class_tests
