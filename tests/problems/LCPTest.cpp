// LCP record: capacities, start (bounds, fixed variables folded into q,
// added diagonals, checks of what the callbacks return), finish, basis
// repair, evaluation and names.
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "core/Options.hpp"
#include "problems/LCP.hpp"
#include "problems/MCP.hpp"
#include "fixtures/Problems.hpp"
#include "support/TestSupport.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A caller of the LCP record: M given column by column (0-based), q, the
// start point and bounds; records the calls and the finished point.
struct FakeLCP {
  int n = 0;
  int nnz_bound = 0;
  std::vector<Triplet> m;  // sorted by column
  std::vector<double> q, z0, lower, upper;
  std::vector<int> basis;
  std::vector<double> start_f;  // non-empty: the start-function slot is set
  std::vector<std::string> calls;
  std::vector<double> finished;
  int count_override = -1000000;

  LCP_Interface Interface() {
    LCP_Interface in{};
    in.data = this;
    in.problem_size = [](void* d, int* n, int* nnz) {
      Self(d)->calls.push_back("problem_size");
      *n = Self(d)->n;
      *nnz = Self(d)->nnz_bound;
    };
    in.bounds = [](void* d, int n, double* z, double* l, double* u) {
      Self(d)->calls.push_back("bounds");
      for (int i = 0; i < n; ++i) {
        z[i] = Self(d)->z0[i];
        l[i] = Self(d)->lower[i];
        u[i] = Self(d)->upper[i];
      }
    };
    in.matrix = [](void* d, int n, int* nnz, int* start, int* len, int* row, double* value,
                   double* q) {
      FakeLCP* self = Self(d);
      self->calls.push_back("matrix");
      int count = 0;
      for (int j = 0; j < n; ++j) {
        start[j] = count + 1;
        len[j] = 0;
        for (const Triplet& t : self->m) {
          if (t.col != j) continue;
          row[count] = t.row + 1;
          value[count] = t.value;
          ++count;
          ++len[j];
        }
      }
      for (int i = 0; i < n; ++i) q[i] = self->q[i];
      *nnz = self->count_override != -1000000 ? self->count_override : count;
    };
    in.start = [](void* d) { Self(d)->calls.push_back("start"); };
    in.finish = [](void* d, const double* z) {
      Self(d)->calls.push_back("finish");
      Self(d)->finished.assign(z, z + Self(d)->n);
    };
    if (!basis.empty()) {
      in.basis = [](void* d, int n, int* status) {
        Self(d)->calls.push_back("basis");
        for (int i = 0; i < n; ++i) status[i] = Self(d)->basis[i];
      };
    }
    if (!start_f.empty()) {
      in.start_function = [](void* d, int n, double* f) {
        Self(d)->calls.push_back("start_function");
        for (int i = 0; i < n; ++i) f[i] = Self(d)->start_f[i];
      };
    }
    return in;
  }

  static FakeLCP* Self(void* d) { return static_cast<FakeLCP*>(d); }
};

// M = [2 1 0; 1 3 1; 4 0 5], q = (1, -2, 3), start (0.5, 1, 2), z >= 0.
FakeLCP ThreeByThree() {
  FakeLCP fake;
  fake.n = 3;
  fake.nnz_bound = 7;
  fake.m = {{0, 0, 2.0}, {1, 0, 1.0}, {2, 0, 4.0}, {0, 1, 1.0},
            {1, 1, 3.0}, {1, 2, 1.0}, {2, 2, 5.0}};
  fake.q = {1.0, -2.0, 3.0};
  fake.z0 = {0.5, 1.0, 2.0};
  fake.lower = {0.0, 0.0, 0.0};
  fake.upper = {kInf, kInf, kInf};
  return fake;
}

std::vector<double> Values(const DenseVector* v) {
  return std::vector<double>(DenseVector_Array(v), DenseVector_Array(v) + DenseVector_Length(v));
}
std::vector<int> Values(const IDenseVector* v) {
  return std::vector<int>(IDenseVector_Array(v), IDenseVector_Array(v) + IDenseVector_Length(v));
}

class LCPTest : public LibraryTest {
 protected:
  void TearDown() override {
    for (LCP* lcp : records_) LCP_Destroy(lcp);
    for (DenseVector* v : vectors_) DenseVector_Destroy(v);
    for (IDenseVector* v : ivectors_) IDenseVector_Destroy(v);
    if (pair_ != nullptr) FunctionJacobian_Destroy(pair_);
    LCP_SetInterface(nullptr);
    LibraryTest::TearDown();
  }

  LCP* Start(FakeLCP& fake, int add_diagonal = 0, int n = 1, int nnz = 1) {
    interface_ = fake.Interface();
    LCP_SetInterface(&interface_);
    LCP* lcp = LCP_Create(n, nnz);
    records_.push_back(lcp);
    EXPECT_EQ(LCP_Start(lcp, add_diagonal), LCP_STARTED);
    return lcp;
  }

  DenseVector* Vector(const std::vector<double>& values) {
    DenseVector* v = DenseVector_Create(static_cast<int>(values.size()));
    vectors_.push_back(v);
    DenseVector_SetLength(v, static_cast<int>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) DenseVector_SetValue(v, i + 1, values[i]);
    return v;
  }

  IDenseVector* IVector(const std::vector<int>& values) {
    IDenseVector* v = IDenseVector_Create(static_cast<int>(values.size()));
    ivectors_.push_back(v);
    IDenseVector_SetLength(v, static_cast<int>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) IDenseVector_SetValue(v, i + 1, values[i]);
    return v;
  }

  FunctionJacobian* Pair(int n, int nnz) {
    pair_ = FunctionJacobian_Create(n, nnz);
    return pair_;
  }

  std::vector<LCP*> records_;
  std::vector<DenseVector*> vectors_;
  std::vector<IDenseVector*> ivectors_;
  FunctionJacobian* pair_ = nullptr;
  LCP_Interface interface_{};
};

TEST_F(LCPTest, CapacitiesAtCreationAndGrowth) {
  struct Case {
    int n, nnz, max_nnz;
  };
  for (const Case& c : {Case{3, 2, 5}, Case{2, 10, 4}, Case{0, 0, 1}}) {
    LCP* lcp = LCP_Create(c.n, c.nnz);
    records_.push_back(lcp);
    EXPECT_EQ(LCP_MaxNonzeros(lcp), c.max_nnz) << c.n << " " << c.nnz;
  }
  EXPECT_SOLVER_ERROR(LCP_Create(100000, 2147483647), "Problem size too large.\n");

  LCP* lcp = records_.front();
  LCP_Size(lcp, 1, 1);
  EXPECT_EQ(LCP_MaxVariables(lcp), 3);
  EXPECT_EQ(LCP_MaxNonzeros(lcp), 5);
  LCP_Size(lcp, 4, 20);
  EXPECT_EQ(LCP_MaxVariables(lcp), 4);
  EXPECT_EQ(LCP_MaxNonzeros(lcp), 16);
  EXPECT_SOLVER_ERROR(LCP_Size(lcp, 100000, 2147483647), "Problem size too large.\n");
}

TEST_F(LCPTest, ReferencesAndTheLiveCount) {
  int before = LCP_LiveRecords();
  LCP* lcp = LCP_Create(2, 2);
  EXPECT_EQ(LCP_LiveRecords(), before + 1);
  EXPECT_EQ(LCP_Reference(lcp), 2);
  EXPECT_EQ(LCP_Destroy(lcp), 1);
  EXPECT_EQ(LCP_Destroy(lcp), 0);
  EXPECT_EQ(LCP_LiveRecords(), before);
}

TEST_F(LCPTest, ActiveBlockIsTheUserBlockWithoutChanges) {
  FakeLCP fake = ThreeByThree();
  LCP* lcp = Start(fake);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"start", "problem_size", "bounds", "matrix"}));
  EXPECT_EQ(LCP_Variables(lcp), 3);
  EXPECT_EQ(LCP_Nonzeros(lcp), 7);
  EXPECT_EQ(LCP_M(lcp), LCP_UserM(lcp));
  EXPECT_EQ(LCP_Q(lcp), LCP_UserQ(lcp));
  EXPECT_EQ(LCP_X(lcp), LCP_UserX(lcp));
  EXPECT_EQ(LCP_Basis(lcp), LCP_UserBasis(lcp));
  // Without the slot the start F is M z + q at the start point.
  EXPECT_EQ(Values(LCP_StartF(lcp)), (std::vector<double>{3.0, 3.5, 15.0}));
}

TEST_F(LCPTest, FixedVariablesAreFoldedIntoQ) {
  FakeLCP fake = ThreeByThree();
  fake.lower[0] = fake.upper[0] = 2.0;
  fake.z0[0] = 0.5;
  LCP* lcp = Start(fake);
  EXPECT_NE(output()->status().find("LCP: Start: 1 fixed variables encountered.\n"),
            std::string::npos);
  EXPECT_EQ(LCP_Variables(lcp), 2);
  // Rows 2 and 3 of q + 2 * column 1: (-2 + 2, 3 + 8).
  EXPECT_EQ(Values(LCP_Q(lcp)), (std::vector<double>{0.0, 11.0}));
  EXPECT_EQ(Values(LCP_X(lcp)), (std::vector<double>{1.0, 2.0}));
  EXPECT_EQ(Values(LCP_UserX(lcp))[0], 2.0);
  // Working M: rows and columns 2 and 3.
  const SparseMatrix* M = LCP_M(lcp);
  EXPECT_EQ(SparseMatrix_Cols(M), 2);
  EXPECT_EQ(LCP_Nonzeros(lcp), 3);
  EXPECT_EQ(SparseMatrix_GetElement(M, 1, 1), 3.0);
  EXPECT_EQ(SparseMatrix_GetElement(M, 1, 2), 1.0);
  EXPECT_EQ(SparseMatrix_GetElement(M, 2, 2), 5.0);
  // The start F follows the fixed variable to its bound: M z + q at
  // z = (2, 1, 2).
  EXPECT_EQ(Values(LCP_UserStartF(lcp)), (std::vector<double>{6.0, 5.0, 21.0}));
  EXPECT_EQ(Values(LCP_StartF(lcp)), (std::vector<double>{5.0, 21.0}));

  // The solution comes back in the caller's numbering; the fixed variable
  // keeps its value and code 5.
  LCP_Finish(lcp, Vector({0.0, 3.0}), IVector({3, 1}));
  EXPECT_EQ(fake.finished, (std::vector<double>{2.0, 0.0, 3.0}));
  EXPECT_EQ(Values(LCP_UserBasis(lcp)), (std::vector<int>{5, 3, 1}));

  char name[256];
  LCP_VariableName(lcp, 1, name, 256);
  EXPECT_STREQ(name, "x[    2]");
  LCP_ConstraintName(lcp, 2, name, 256);
  EXPECT_STREQ(name, "f[    3]");
}

TEST_F(LCPTest, StartFunctionSlotIsFollowedToTheFixedBound) {
  FakeLCP fake = ThreeByThree();
  fake.start_f = {3.0, 3.5, 15.0};  // M z + q at the delivered point
  fake.lower[0] = fake.upper[0] = 2.0;
  LCP* lcp = Start(fake);
  EXPECT_EQ(Values(LCP_UserStartF(lcp)), (std::vector<double>{6.0, 5.0, 21.0}));
}

TEST_F(LCPTest, AddDiagonalStoresMissingDiagonalEntries) {
  FakeLCP fake = ThreeByThree();
  fake.m = {{0, 0, 2.0}, {2, 0, 4.0}, {0, 1, 1.0}, {1, 2, 1.0}, {2, 2, 5.0}};  // (2, 2) missing
  fake.nnz_bound = 5;
  LCP* lcp = Start(fake, 1);
  EXPECT_EQ(LCP_Variables(lcp), 3);
  EXPECT_NE(LCP_M(lcp), LCP_UserM(lcp));
  EXPECT_EQ(LCP_Nonzeros(lcp), 6);
  EXPECT_EQ(SparseMatrix_GetElement(LCP_M(lcp), 2, 2), 0.0);
  EXPECT_EQ(SparseMatrix_NNZ(LCP_UserM(lcp)), 5);
  LCP_Finish(lcp, Vector({1.0, 2.0, 3.0}), IVector({1, 1, 1}));
  EXPECT_EQ(fake.finished, (std::vector<double>{1.0, 2.0, 3.0}));

  // The Jacobian of the active problem carries the added diagonal too.
  FunctionJacobian* pair = Pair(3, 9);
  EXPECT_EQ(LCP_Jacobian(lcp, Vector({1.0, 1.0, 1.0}), pair), 1);
  EXPECT_EQ(FunctionJacobian_Nnz(pair), 6);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), (std::vector<double>{4.0, -1.0, 12.0}));
}

TEST_F(LCPTest, BoundsAreClampedAndCheckedAndTheBasisRepaired) {
  FakeLCP fake = ThreeByThree();
  fake.lower[1] = -1e30;
  fake.z0[1] = 1.0;
  fake.upper[1] = 4.0;
  fake.z0[0] = 0.0;
  fake.basis = {3, 3, 0};  // variable 2 lies strictly inside: becomes 1
  LCP* lcp = Start(fake);
  EXPECT_EQ(Values(LCP_UserLower(lcp))[1], -kInf);
  EXPECT_EQ(Values(LCP_UserBasis(lcp)), (std::vector<int>{3, 1, 0}));
  EXPECT_NE(output()->log().find("LCP modified basis.\n"), std::string::npos);
  EXPECT_EQ(output()->status().find("LCP modified basis.\n"), std::string::npos);
}

TEST_F(LCPTest, BasisRepairRules) {
  struct Case {
    double l, u, z;
    int before, after;
  };
  const Case cases[] = {
      {1.0, 1.0, 1.0, 0, 5}, {0.0, 2.0, 0.0, 4, 3}, {0.0, 2.0, 0.0, 1, 1},
      {0.0, 2.0, 2.0, 5, 4}, {0.0, 2.0, 2.0, 1, 1}, {0.0, 2.0, 3.0, 5, 1},
      {0.0, 2.0, 3.0, 4, 4}, {0.0, 2.0, 1.0, 4, 1}, {0.0, 2.0, 1.0, 0, 0},
  };
  for (const Case& c : cases) {
    FakeLCP fake;
    fake.n = 2;
    fake.nnz_bound = 1;
    fake.m = {{1, 1, 1.0}};
    fake.q = {0.0, 0.0};
    fake.z0 = {c.z, 0.0};
    fake.lower = {c.l, 0.0};
    fake.upper = {c.u, 1.0};
    fake.basis = {c.before, 0};
    LCP* lcp = Start(fake);
    EXPECT_EQ(Values(LCP_UserBasis(lcp))[0], c.after) << c.l << " " << c.z << " " << c.before;
  }
}

TEST_F(LCPTest, RefusesBadProblems) {
  struct Case {
    const char* what;
    const char* message;
  };
  const Case cases[] = {
      {"empty", "LCP: Start: Empty model.\n"},
      {"negative nnz", "invalid problem size"},
      {"crossed", "LCP: Initialize: L > U.\n"},
      {"NaN bound", "LCP: Initialize: L > U.\n"},
      {"all fixed", "LCP: Start: all variables fixed.\n"},
      {"count beyond the room", "entry count"},
      {"row beyond n", "row index"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeLCP fake = ThreeByThree();
    std::string what = c.what;
    if (what == "empty") fake.n = 0;
    if (what == "negative nnz") fake.nnz_bound = -1;
    if (what == "crossed") fake.lower[2] = 7.0, fake.upper[2] = 6.0;
    if (what == "NaN bound") fake.upper[0] = kNaN;
    if (what == "all fixed") fake.lower = fake.upper = {1.0, 1.0, 1.0};
    if (what == "count beyond the room") fake.count_override = 100;
    if (what == "row beyond n") fake.m[0].row = 3;
    interface_ = fake.Interface();
    LCP_SetInterface(&interface_);
    LCP* lcp = LCP_Create(3, 7);
    records_.push_back(lcp);
    EXPECT_SOLVER_ERROR(LCP_Start(lcp, 0), c.message);
  }
  LCP_SetInterface(nullptr);
  EXPECT_SOLVER_ERROR(LCP_Start(records_.front(), 0), "callbacks not installed");
}

TEST_F(LCPTest, FunctionIsMzPlusQOfTheActiveProblem) {
  FakeLCP fake = ThreeByThree();
  LCP* lcp = Start(fake, 0, 3, 7);
  FunctionJacobian* pair = Pair(3, 7);
  EXPECT_EQ(LCP_Function(lcp, Vector({1.0, 0.0, -1.0}), pair), 1);
  EXPECT_EQ(Values(FunctionJacobian_Function(pair)), (std::vector<double>{3.0, -2.0, 2.0}));
  EXPECT_EQ(FunctionJacobian_N(pair), 3);
}

int Named(void*, int i, char* buffer, int length) {
  return std::snprintf(buffer, static_cast<std::size_t>(length), "z%d", i);
}

TEST_F(LCPTest, NamesFromTheCallbackOrBuiltIn) {
  FakeLCP fake = ThreeByThree();
  LCP* lcp = Start(fake);
  char name[256];
  EXPECT_EQ(LCP_VariableName(lcp, 7, name, 256), 8);
  EXPECT_STREQ(name, "x[    7]");
  interface_.variable_name = &Named;
  EXPECT_EQ(LCP_VariableName(lcp, 2, name, 256), 2);
  EXPECT_STREQ(name, "z2");
}

TEST_F(LCPTest, ForgetStateDropsTheInterfacePointer) {
  FakeLCP fake = ThreeByThree();
  interface_ = fake.Interface();
  LCP_SetInterface(&interface_);
  EXPECT_EQ(LCP_GetInterface(), &interface_);
  LCP_ForgetState();
  EXPECT_NE(LCP_GetInterface(), &interface_);
  EXPECT_EQ(LCP_GetInterface()->problem_size, nullptr);
}

}  // namespace
