// Test helpers for the basis back-ends: owning handles, a dense picture of
// the basis B = A(:, cols), residual and rank checks computed from that
// picture, and a driver that runs random factor / replace / solve / solveT
// sequences through the timed Basis wrappers and checks every answer
// against B itself.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Memory.hpp"
#include "core/SparseMatrix.hpp"
#include "core/SparseTestSupport.hpp"
#include "factorization/Basis.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "support/TestSupport.hpp"

namespace basis_test {

// A library test that starts and ends with the factorization options at
// their defaults.
class FactorizationDefaultsTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    Factorization_Defaults();
  }
  void TearDown() override {
    Factorization_Defaults();
    LibraryTest::TearDown();
  }
};

using sparse_test::Dense;
using sparse_test::Entry;

struct MatrixDeleter {
  void operator()(SparseMatrix* A) const { SparseMatrix_Destroy(A); }
};
struct VectorDeleter {
  void operator()(DenseVector* v) const { DenseVector_Destroy(v); }
};
struct IVectorDeleter {
  void operator()(IDenseVector* v) const { IDenseVector_Destroy(v); }
};
struct BasisDeleter {
  void operator()(Basis* b) const { Basis_Destroy(b); }
};
using MatrixPtr = std::unique_ptr<SparseMatrix, MatrixDeleter>;
using VectorPtr = std::unique_ptr<DenseVector, VectorDeleter>;
using IVectorPtr = std::unique_ptr<IDenseVector, IVectorDeleter>;
using BasisPtr = std::unique_ptr<Basis, BasisDeleter>;

// A matrix with its dense picture; stored in the scattered layout so that
// the back-ends are exercised on unpacked storage.
struct Matrix {
  MatrixPtr A;
  Dense dense;
};

inline Matrix MakeMatrix(int rows, int cols, const std::vector<Entry>& entries,
                         sparse_test::Layout layout = sparse_test::Layout::kScattered) {
  Matrix m;
  m.A.reset(sparse_test::Build(rows, cols, entries, layout));
  m.dense = sparse_test::FromEntries(rows, cols, entries);
  return m;
}

// Dense column-major matrix used by the checks.
struct Square {
  int n = 0;
  std::vector<double> a;  // a[(j - 1) * n + (i - 1)] = B(i, j)
  double& at(int i, int j) { return a[size_t(j - 1) * n + (i - 1)]; }
  double at(int i, int j) const { return a[size_t(j - 1) * n + (i - 1)]; }
};

// B(:, k) = A(:, cols[k]).
inline Square BasisOf(const Dense& A, const std::vector<int>& cols) {
  Square B;
  B.n = int(cols.size());
  B.a.assign(size_t(B.n) * B.n, 0.0);
  for (int k = 1; k <= B.n; ++k) {
    for (int i = 1; i <= std::min(A.rows, B.n); ++i) B.at(i, k) = A.at(i, cols[k - 1]);
  }
  return B;
}

// Relative residual max_i |(B x - b)_i| / (max|B| max|x| + max|b|), or with
// B' in place of B.
inline double Residual(const Square& B, const std::vector<double>& x,
                       const std::vector<double>& b, bool transpose) {
  double bmax = 0.0, xmax = 0.0, amax = 0.0, rmax = 0.0;
  for (double v : B.a) amax = std::max(amax, std::fabs(v));
  for (double v : x) xmax = std::max(xmax, std::fabs(v));
  for (double v : b) bmax = std::max(bmax, std::fabs(v));
  for (int i = 1; i <= B.n; ++i) {
    double s = -b[i - 1];
    for (int j = 1; j <= B.n; ++j) s += (transpose ? B.at(j, i) : B.at(i, j)) * x[j - 1];
    rmax = std::max(rmax, std::fabs(s));
  }
  return rmax / (amax * xmax + bmax);
}

// Smallest pivot of Gaussian elimination with complete pivoting divided by
// the largest entry: 0 for an exactly singular matrix, near 0 when close.
inline double PivotRatio(Square B) {
  const int n = B.n;
  double amax = 0.0;
  for (double v : B.a) amax = std::max(amax, std::fabs(v));
  if (amax == 0.0) return 0.0;
  std::vector<int> rows(n), cols(n);
  for (int i = 0; i < n; ++i) rows[i] = cols[i] = i + 1;
  double smallest = amax;
  for (int k = 0; k < n; ++k) {
    int pr = k, pc = k;
    double best = -1.0;
    for (int r = k; r < n; ++r)
      for (int c = k; c < n; ++c)
        if (std::fabs(B.at(rows[r], cols[c])) > best) {
          best = std::fabs(B.at(rows[r], cols[c]));
          pr = r;
          pc = c;
        }
    std::swap(rows[k], rows[pr]);
    std::swap(cols[k], cols[pc]);
    const double pivot = B.at(rows[k], cols[k]);
    smallest = std::min(smallest, std::fabs(pivot));
    if (pivot == 0.0) return 0.0;
    for (int r = k + 1; r < n; ++r) {
      const double f = B.at(rows[r], cols[k]) / pivot;
      for (int c = k; c < n; ++c) B.at(rows[r], cols[c]) -= f * B.at(rows[k], cols[c]);
    }
  }
  return smallest / amax;
}

inline VectorPtr MakeVector(const std::vector<double>& values, int capacity = 0) {
  return VectorPtr(sparse_test::Vector(values, capacity));
}
inline IVectorPtr MakeIVector(const std::vector<int>& values) {
  return IVectorPtr(sparse_test::IVector(values));
}
inline std::vector<double> Values(const DenseVector* v) { return sparse_test::Values(v); }

// Writes cols into the IDenseVector the back-end reads.
inline void StoreColumns(IDenseVector* target, const std::vector<int>& cols) {
  for (size_t k = 0; k < cols.size(); ++k) IDenseVector_Array(target)[k] = cols[k];
  IDenseVector_SetLength(target, int(cols.size()));
}

// A = [I | M] with a random sparse n x n block M (about `density` of its
// entries set, values uniform in [-1, 1]): the shape of the pivoting
// method's bases, unit columns first.
inline Matrix RandomUnitAndBlock(int n, double density, std::mt19937* rng) {
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  std::vector<Entry> entries;
  for (int i = 1; i <= n; ++i) entries.push_back({i, i, 1.0});
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= n; ++i) {
      if (coin(*rng) < density || i == j) entries.push_back({i, n + j, value(*rng)});
    }
  }
  return MakeMatrix(n, 2 * n, entries);
}

// Solves B x = b and B' y = b through the Basis for a random b and checks
// both against the dense picture of B. Returns true when both hold.
inline bool CheckSolves(Basis* basis, const Square& B, std::mt19937* rng, const char* where) {
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  std::vector<double> rhs(B.n);
  for (double& v : rhs) v = value(*rng);
  VectorPtr b = MakeVector(rhs);
  VectorPtr x = MakeVector({}, B.n);
  bool ok = true;
  EXPECT_EQ(Basis_Solve(basis, x.get(), b.get()), 0);
  if (DenseVector_Length(x.get()) != B.n) {
    ADD_FAILURE() << where << " solve: length " << DenseVector_Length(x.get());
    return false;
  }
  const double forward = Residual(B, Values(x.get()), rhs, false);
  EXPECT_LT(forward, 1e-10) << where << " solve";
  EXPECT_EQ(Values(b.get()), rhs) << where << " solve changed its right-hand side";
  ok = ok && forward < 1e-10 && Values(b.get()) == rhs;
  EXPECT_EQ(Basis_SolveT(basis, x.get(), b.get()), 0);
  if (DenseVector_Length(x.get()) != B.n) {
    ADD_FAILURE() << where << " solveT: length " << DenseVector_Length(x.get());
    return false;
  }
  const double transposed = Residual(B, Values(x.get()), rhs, true);
  EXPECT_LT(transposed, 1e-10) << where << " solveT";
  return ok && transposed < 1e-10;
}

// Checks a sequence of replace statuses against the update limit: an
// update (2) may follow at most `limit` updates since the latest rebuild
// (1), and the replace after `limit` updates must rebuild. Returns the
// number of rebuilds that the limit forced.
inline int CheckUpdateLimit(const std::vector<int>& statuses, int limit) {
  int since = 0, forced = 0;
  for (size_t step = 0; step < statuses.size(); ++step) {
    if (since >= limit) {
      EXPECT_EQ(statuses[step], BASIS_REBUILT) << "replace " << step + 1 << " after " << since
                                               << " updates";
      ++forced;
    }
    since = statuses[step] == BASIS_UPDATED ? since + 1 : 0;
  }
  return forced;
}

// Runs `steps` replaces on a random [I | M] problem of size n, starting from
// the unit basis, with the current back-end, and returns the statuses of the
// replaces. Each entering column keeps B well conditioned (checked on the
// dense picture). Between replaces the sequence solves with unrelated
// right-hand sides, so a back-end that relied on the latest solve for its
// update would go wrong. Every replace must return 1 or 2 and every solve
// must satisfy B x = b; the sequence stops at the first failure. The Basis
// is created for `room` times the entries of the problem.
inline std::vector<int> RunRandomSequence(int n, int steps, unsigned seed, int room = 1) {
  std::mt19937 rng(seed);
  Matrix problem = RandomUnitAndBlock(n, 0.3, &rng);
  std::vector<int> cols(n);
  for (int k = 0; k < n; ++k) cols[k] = k + 1;
  IVectorPtr basis_cols = MakeIVector(cols);
  BasisPtr basis(Basis_Create(n, n, room * problem.dense.count()));
  std::vector<int> statuses;
  EXPECT_EQ(Basis_Factor(basis.get(), problem.A.get(), basis_cols.get()), BASIS_FACTORED);
  if (!CheckSolves(basis.get(), BasisOf(problem.dense, cols), &rng, "after factor")) {
    return statuses;
  }

  std::uniform_int_distribution<int> position(1, n);
  std::uniform_int_distribution<int> column(1, 2 * n);
  for (int step = 1; step <= steps; ++step) {
    int k = 0, j = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
      k = position(rng);
      j = column(rng);
      if (std::find(cols.begin(), cols.end(), j) != cols.end()) continue;
      std::vector<int> trial = cols;
      trial[k - 1] = j;
      if (PivotRatio(BasisOf(problem.dense, trial)) > 1e-3) break;
      j = 0;
    }
    if (j == 0) {
      ADD_FAILURE() << "no well-conditioned exchange found at step " << step;
      return statuses;
    }
    cols[k - 1] = j;
    StoreColumns(basis_cols.get(), cols);
    const int status = Basis_Replace(basis.get(), problem.A.get(), basis_cols.get(), k);
    statuses.push_back(status);
    if (status != BASIS_UPDATED && status != BASIS_REBUILT) {
      ADD_FAILURE() << "replace " << step << " returned " << status;
      return statuses;
    }
    if (!CheckSolves(basis.get(), BasisOf(problem.dense, cols), &rng, "after replace")) {
      ADD_FAILURE() << "seed " << seed << " step " << step;
      return statuses;
    }
  }
  return statuses;
}

// Replace numbers (1-based) that returned `status`.
inline std::vector<int> StepsWith(const std::vector<int>& statuses, int status) {
  std::vector<int> steps;
  for (size_t k = 0; k < statuses.size(); ++k) {
    if (statuses[k] == status) steps.push_back(int(k) + 1);
  }
  return steps;
}


// A column with an infinite or NaN value makes B unusable: the current
// back-end reports B singular, whether the column is loaded by a factor or
// enters by a replace, and never takes it into its factors. Replacing it by
// a regular column gives factors of the new B that solve it (no trace of
// the value is left behind). With `pairs`, the singular pair names the
// column's position.
inline void CheckNonFiniteColumnsAreSingular(bool pairs) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  std::mt19937 rng(7);
  for (double bad : {nan, inf, -inf}) {
    // Columns 1..3 unit, 4 regular, 5 with `bad` beside its pivot, 6 with
    // `bad` as its only value.
    Matrix problem = MakeMatrix(3, 6, {{1, 1, 1.0}, {2, 2, 1.0}, {3, 3, 1.0}, {1, 4, 2.0},
                                       {3, 4, 1.0}, {1, 5, 4.0}, {2, 5, bad}, {3, 5, 1.0},
                                       {1, 6, bad}});
    for (int enter : {5, 6}) {
      SCOPED_TRACE("value " + std::to_string(bad) + " column " + std::to_string(enter));
      std::vector<int> order = {enter, 2, 3};
      IVectorPtr cols = MakeIVector(order);
      BasisPtr basis(Basis_Create(3, 3, 12));
      EXPECT_EQ(Basis_Factor(basis.get(), problem.A.get(), cols.get()), BASIS_SINGULAR);
      if (pairs) {
        int row = 0, column = 0;
        ASSERT_EQ(Basis_NumSingular(basis.get()), 1);
        Basis_GetSingular(basis.get(), 1, &row, &column);
        EXPECT_EQ(column, 1);
      }
      for (int leave : {4, 1}) {
        order[0] = leave;
        StoreColumns(cols.get(), order);
        const int status = Basis_Replace(basis.get(), problem.A.get(), cols.get(), 1);
        EXPECT_TRUE(status == BASIS_UPDATED || status == BASIS_REBUILT) << status;
        CheckSolves(basis.get(), BasisOf(problem.dense, order), &rng, "after the column left");
        order[0] = enter;
        StoreColumns(cols.get(), order);
        EXPECT_EQ(Basis_Replace(basis.get(), problem.A.get(), cols.get(), 1), BASIS_SINGULAR);
      }
    }
  }
}

// An allocator that lets `allowed` allocations through and fails the next
// ones, and remembers the blocks it handed out that are still live.
struct FailingAllocator {
  static int countdown;
  static std::set<void*>& Live() {
    static std::set<void*> live;
    return live;
  }
  static void* Allocate(void*, std::size_t size) {
    if (countdown == 0) return nullptr;
    countdown -= 1;
    void* block = std::malloc(size);
    Live().insert(block);
    return block;
  }
  static void Free(void*, void* block) {
    Live().erase(block);
    std::free(block);
  }
  Memory_Interface record{nullptr, &Allocate, &Allocate, &Free, &Free};
  explicit FailingAllocator(int allowed) {
    countdown = allowed;
    Live().clear();
    Memory_SetInterface(&record);
  }
  ~FailingAllocator() { Memory_Reset(); }
  // Allocations made so far when created with a large allowance.
  static int Used(int allowed) { return allowed - countdown; }
};
inline int FailingAllocator::countdown = -1;

// Solves of a factored n x n basis with a result or right-hand side one
// entry short are refused with module's "Solve:" / "SolveT:" errors instead
// of overrunning the vector.
inline void CheckShortVectorsAreRefused(Basis* basis, int n, const std::string& module) {
  VectorPtr x = MakeVector({}, n), b = MakeVector(std::vector<double>(n, 1.0));
  VectorPtr short_x = MakeVector({}, n - 1), short_b = MakeVector(std::vector<double>(n - 1, 1.0));
  EXPECT_SOLVER_ERROR(Basis_Solve(basis, short_x.get(), b.get()), module + ": Solve:");
  EXPECT_SOLVER_ERROR(Basis_Solve(basis, x.get(), short_b.get()), module + ": Solve:");
  EXPECT_SOLVER_ERROR(Basis_SolveT(basis, short_x.get(), b.get()), module + ": SolveT:");
  EXPECT_SOLVER_ERROR(Basis_SolveT(basis, x.get(), short_b.get()), module + ": SolveT:");
}

// Fails each allocation of Basis_Create in turn: the error is "allocation
// failed" and nothing stays allocated. Then fails each allocation of a
// Basis_Size that grows a basis made for `small` to the size of `large`:
// afterwards the Basis still factors and solves both (their first columns
// form regular bases).
inline void CheckFailedAllocations(const Matrix& small, const Matrix& large, std::mt19937* rng) {
  const int m = small.dense.rows, n = large.dense.rows;
  int creates = 0;
  {
    FailingAllocator counter(100000);
    Basis_Destroy(Basis_Create(m, m, 3 * m));
    creates = FailingAllocator::Used(100000);
  }
  ASSERT_GT(creates, 2);
  for (int allowed = 0; allowed < creates; ++allowed) {
    SCOPED_TRACE("create, allocation " + std::to_string(allowed + 1));
    FailingAllocator failing(allowed);
    EXPECT_SOLVER_ERROR(Basis_Create(m, m, 3 * m), "allocation failed");
    EXPECT_TRUE(FailingAllocator::Live().empty())
        << FailingAllocator::Live().size() << " blocks left";
  }

  int sizes = 0;
  {
    BasisPtr basis(Basis_Create(m, m, 3 * m));
    FailingAllocator counter(100000);
    Basis_Size(basis.get(), n, n, 4 * n * n);
    sizes = FailingAllocator::Used(100000);
  }
  ASSERT_GT(sizes, 1);
  for (int allowed = 0; allowed < sizes; ++allowed) {
    SCOPED_TRACE("size, allocation " + std::to_string(allowed + 1));
    BasisPtr basis(Basis_Create(m, m, 3 * m));
    {
      FailingAllocator failing(allowed);
      EXPECT_SOLVER_ERROR(Basis_Size(basis.get(), n, n, 4 * n * n), "allocation failed");
    }
    for (const Matrix* problem : {&small, &large}) {
      std::vector<int> order;
      for (int k = 1; k <= problem->dense.rows; ++k) order.push_back(k);
      IVectorPtr cols = MakeIVector(order);
      ASSERT_EQ(Basis_Factor(basis.get(), problem->A.get(), cols.get()), BASIS_FACTORED);
      CheckSolves(basis.get(), BasisOf(problem->dense, order), rng, "after a failed size");
    }
  }
}

}  // namespace basis_test
