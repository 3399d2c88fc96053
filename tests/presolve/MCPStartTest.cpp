// MCP start: callback order, bound checks, start point, fixed-variable
// split, free-variable transform, interrupts and the checks of what the
// callbacks return.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/Interrupt.hpp"
#include "core/Options.hpp"
#include "presolve/MCP_Finish.hpp"
#include "presolve/MCP_Start.hpp"
#include "presolve/Presolve.hpp"
#include "problems/MCPFixture.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Calls = std::vector<std::string>;

class MCPStartTest : public MCPFixture {};

TEST_F(MCPStartTest, CallsBackInOrderAndSetsUpTheReducedProblem) {
  FakeMCP fake(3, 3, ShiftedIdentity({1.0, 2.0, 3.0}));
  fake.basis = {0, 0, 0};
  MCP* mcp = Make(fake, 3);
  MCP_PresolveInterface hooks = fake.PresolveHooks();
  MCP_SetPresolveInterface(mcp, &hooks);
  MCP_SecondFunctionInterface second{};
  second.data = &fake;
  second.start = [](void* d) { static_cast<FakeMCP*>(d)->calls.push_back("second_start"); };
  MCP_SetSecondFunctionInterface(mcp, &second);
  MCP_SetPresolve(mcp, 1);

  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_EQ(fake.calls, (Calls{"start", "second_start", "problem_size", "bounds", "basis",
                               "jacobian", "after_start", "jacobian_types", "constraint_types",
                               "after_presolve"}));
  EXPECT_EQ(MCP_Variables(mcp), 3);
  EXPECT_EQ(MCP_Nonzeros(mcp), 6);  // min(nnz + n_r, n_r^2)
  // The presolve left only its bottom record behind.
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp)), 1);
}

TEST_F(MCPStartTest, PresolveRunsOnlyWhenAllowedAndSwitchedOn) {
  struct Case {
    int allowed;
    int option;
    bool runs;
  };
  for (const Case& c : {Case{0, 1, false}, Case{1, 0, false}, Case{1, 1, true}}) {
    FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
    MCP* mcp = Make(fake, 2);
    MCP_PresolveInterface hooks = fake.PresolveHooks();
    MCP_SetPresolveInterface(mcp, &hooks);
    MCP_SetPresolve(mcp, c.allowed);
    Presolve_OptionTable[PRESOLVE].bool_value = c.option;
    ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
    bool ran =
        std::find(fake.calls.begin(), fake.calls.end(), "jacobian_types") != fake.calls.end();
    EXPECT_EQ(ran, c.runs) << c.allowed << c.option;
    EXPECT_EQ(MCP_PresolveMade(mcp) != 0, c.runs);
  }
}

TEST_F(MCPStartTest, FixedVariablesLeaveTheReducedProblem) {
  FakeMCP fake(3, 3, ShiftedIdentity({0.0, 0.0, 0.0}));
  fake.start = {0.5, 7.0, 2.5};
  fake.lower = {0.0, 1.0, -kInf};
  fake.upper = {kInf, 1.0, kInf};
  MCP* mcp = Make(fake, 3);

  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_EQ(MCP_Variables(mcp), 2);
  EXPECT_EQ(MCP_FixedCount(mcp), 1);
  EXPECT_EQ(Values(MCP_FullToReduced(mcp)), (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(Values(MCP_ReducedToFull(mcp)), (std::vector<int>{1, 3}));
  EXPECT_EQ(Values(MCP_X(mcp)), (std::vector<double>{0.5, 2.5}));
  EXPECT_EQ(Values(MCP_Lower(mcp)), (std::vector<double>{0.0, -kInf}));
  EXPECT_EQ(DenseVector_Value(MCP_FullX(mcp), 2), 1.0);  // the fixed value
  EXPECT_EQ(MCP_Nonzeros(mcp), 4);
  EXPECT_NE(output()->log().find("Preprocessed size   : 2\n"), std::string::npos);
}

TEST_F(MCPStartTest, NoPreprocessedLineWithoutFixedVariables) {
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  MCP* mcp = Make(fake, 2);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_EQ(output()->log().find("Preprocessed size"), std::string::npos);
}

TEST_F(MCPStartTest, StartPointIsProjectedOrBuiltFromTheBounds) {
  struct Case {
    double lower, upper, start;
    bool project, use_start;
    double expected;
  };
  const Case cases[] = {
      {2.0, 5.0, 7.0, true, true, 5.0},     // projected onto the box
      {2.0, 5.0, 7.0, false, true, 7.0},    // taken as given
      {2.0, 5.0, 3.0, true, false, 2.0},    // calculated: the lower bound
      {-kInf, 3.0, 1.0, true, false, 3.0},  // calculated: the upper bound
      {-kInf, kInf, 4.0, true, false, 0.0}, // calculated: zero when free
  };
  for (const Case& c : cases) {
    Options_CommonTable[COMMON_PROJECT_START].bool_value = c.project;
    Options_CommonTable[COMMON_NONLINEAR_MODEL_USE_START].bool_value = c.use_start;
    FakeMCP fake(1, 1, ShiftedIdentity({0.0}));
    fake.lower = {c.lower};
    fake.upper = {c.upper};
    fake.start = {c.start};
    MCP* mcp = Make(fake, 1);
    ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
    EXPECT_EQ(DenseVector_Value(MCP_X(mcp), 1), c.expected) << c.lower << " " << c.start;
    ASSERT_EQ(fake.points.size(), 1u);
    EXPECT_EQ(fake.points[0][0], c.expected);  // the evaluation saw that point
  }
}

TEST_F(MCPStartTest, UndefinedModelStartFallsBackToTheCalculatedStart) {
  // F is undefined away from the lower bounds.
  FakeMCP fake(2, 2, [](const double* x, double* f, std::vector<Triplet>* j) {
    f[0] = x[0];
    f[1] = x[1];
    if (j) *j = {{0, 0, 1.0}, {1, 1, 1.0}};
    return (x[0] == 1.0 && x[1] == -2.0) ? 0 : 2;
  });
  fake.lower = {1.0, -kInf};
  fake.upper = {4.0, -2.0};
  fake.start = {3.0, -5.0};
  MCP* mcp = Make(fake, 2);

  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_NE(output()->status().find("F or dF/dx undefined at model start.\n"), std::string::npos);
  EXPECT_FALSE(Options_CommonBool(COMMON_NONLINEAR_MODEL_USE_START));
  ASSERT_EQ(fake.points.size(), 2u);
  EXPECT_EQ(fake.points[1], (std::vector<double>{1.0, -2.0}));
  EXPECT_EQ(Values(MCP_X(mcp)), (std::vector<double>{1.0, -2.0}));
}

TEST_F(MCPStartTest, UndefinedCalculatedStartEndsTheStart) {
  FakeMCP fake(2, 2, [](const double*, double* f, std::vector<Triplet>* j) {
    f[0] = f[1] = 0.0;
    if (j) j->clear();
    return 1;
  });
  MCP* mcp = Make(fake, 2);

  EXPECT_EQ(MCP_Start(mcp), MCP_UNDEFINED);
  EXPECT_NE(output()->status().find("F or dF/dx undefined at model start.\n"), std::string::npos);
  EXPECT_NE(output()->status().find("F or dF/dx undefined at calculated start.\n"),
            std::string::npos);
  EXPECT_EQ(MCP_FullVariables(mcp), 0);
  EXPECT_EQ(MCP_Variables(mcp), 0);
}

TEST_F(MCPStartTest, BoundErrorsStopTheStartWithStatusSeven) {
  struct Case {
    const char* what;
    double lower, upper;
  };
  const Case cases[] = {
      {"crossed finite bounds", 3.0, 1.0},
      {"lower bound at +infinity", kInf, kInf},
      {"upper bound at -infinity", -kInf, -kInf},
      {"lower bound beyond +infinity", 1e30, 1e30},
      {"NaN lower bound", kNaN, 1.0},
      {"NaN upper bound", 0.0, kNaN},
  };
  for (const Case& c : cases) {
    output()->Clear();
    FakeMCP fake(2, 2, ShiftedIdentity({0.0, 0.0}));
    fake.lower = {0.0, c.lower};
    fake.upper = {1.0, c.upper};
    MCP* mcp = Make(fake, 2);
    EXPECT_EQ(MCP_Start(mcp), MCP_BOUND_ERROR) << c.what;
    EXPECT_EQ(MCP_FullVariables(mcp), 0) << c.what;
    EXPECT_EQ(MCP_Variables(mcp), 0) << c.what;
    EXPECT_NE(output()->status().find("x[    2]: lb = "), std::string::npos) << c.what;
    EXPECT_NE(output()->status().find("Found: 1 bound errors.\n"), std::string::npos) << c.what;
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "jacobian"), 0) << c.what;
  }
  // The message shows both bounds.
  EXPECT_NE(output()->status().find("x[    2]: lb = 0.0000e+00 >   nan = ub\n"), std::string::npos)
      << output()->status();
}

TEST_F(MCPStartTest, EveryVariableFixedEndsAsSolvedWithTheFullProblemKept) {
  FakeMCP fake(2, 2, ShiftedIdentity({0.0, 0.0}));
  fake.lower = {1.0, 2.0};
  fake.upper = {1.0, 2.0 + 1e-13};  // within the zero tolerance: fixed
  MCP* mcp = Make(fake, 2);
  MCP_PresolveInterface hooks = fake.PresolveHooks();
  MCP_SetPresolveInterface(mcp, &hooks);

  EXPECT_EQ(MCP_Start(mcp), MCP_SOLVED);
  EXPECT_EQ(MCP_FullVariables(mcp), 2);
  EXPECT_EQ(MCP_Variables(mcp), 0);
  EXPECT_EQ(fake.calls.back(), "after_presolve");
  EXPECT_NE(output()->status().find("Found: 2 fixed variables.\n"), std::string::npos);
  EXPECT_EQ(DenseVector_Value(MCP_FullUpper(mcp), 2), 2.0);
}

TEST_F(MCPStartTest, EmptyProblemAndEmptyJacobian) {
  FakeMCP none(0, 0, ShiftedIdentity({}));
  MCP* empty = Make(none, 1);
  EXPECT_EQ(MCP_Start(empty), MCP_SOLVED);
  EXPECT_EQ(MCP_FullVariables(empty), 0);
  EXPECT_EQ(none.calls, (Calls{"start", "problem_size"}));

  FakeMCP fake(1, 0, [](const double* x, double* f, std::vector<Triplet>* j) {
    f[0] = x[0];
    if (j) j->clear();
    return 0;
  });
  MCP* mcp = Make(fake, 0);
  EXPECT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_NE(output()->status().find("Empty jacobian.\n"), std::string::npos);
  EXPECT_EQ(MCP_FullNonzeros(mcp), 1);
}

TEST_F(MCPStartTest, RejectsNegativeSizesAndMissingCallbacks) {
  FakeMCP negative_n(-1, 2, ShiftedIdentity({}));
  EXPECT_SOLVER_ERROR(MCP_Start(Make(negative_n, 2)), "invalid problem size");
  FakeMCP negative_nnz(2, -5, ShiftedIdentity({0.0, 0.0}));
  EXPECT_SOLVER_ERROR(MCP_Start(Make(negative_nnz, 2)), "invalid problem size");

  MCP* bare = Record(2, 2);
  EXPECT_SOLVER_ERROR(MCP_Start(bare), "callbacks not installed");
}

TEST_F(MCPStartTest, ChecksTheJacobianTheCallbackReturns) {
  struct Case {
    const char* what;
    int count_override;  // FakeMCP::kNoOverride: the true count
    int bad_row;    // row index written into the first entry (0: none)
    int bad_start;  // column start written into column 1 (0: none)
    int problem_nnz;
    const char* message;
  };
  const Case cases[] = {
      {"count beyond the room", 50, 0, 0, 2, "entry count 50"},
      {"negative count", -1, 0, 0, 2, "entry count -1"},
      {"row beyond n", FakeMCP::kNoOverride, 3, 0, 2, "row index 3"},
      {"row zero", FakeMCP::kNoOverride, 0, 0, 2, nullptr},
      {"column beyond the entries", FakeMCP::kNoOverride, 0, 5, 2, "column 1"},
      {"more entries than problem_size allows", FakeMCP::kNoOverride, 0, 0, 1,
       "at most 1 allowed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeMCP fake(2, c.problem_nnz, ShiftedIdentity({0.0, 0.0}));
    MCP* mcp = Make(fake, 4);
    fake.jacobian_count_override = c.count_override;
    if (std::string(c.what) == "row zero") {
      fake.corrupt = [](int*, int*, int* row) { row[1] = 0; };
    } else if (c.bad_row != 0) {
      fake.corrupt = [c](int*, int*, int* row) { row[0] = c.bad_row; };
    } else if (c.bad_start != 0) {
      fake.corrupt = [c](int* start, int*, int*) { start[0] = c.bad_start; };
    }
    EXPECT_SOLVER_ERROR(MCP_Start(mcp), c.message != nullptr ? c.message : "row index 0");
  }
}

TEST_F(MCPStartTest, FreeVariableTransformShiftsFreeVariablesAndAddsEta) {
  FakeMCP fake(3, 3, ShiftedIdentity({0.0, 0.0, 0.0}));
  fake.lower = {-kInf, -kInf, 1.0};
  fake.upper = {kInf, kInf, 9.0};
  fake.start = {-3.0, 4.0, 2.0};
  MCP* mcp = Make(fake, 3);
  MCP_SetFreeVariableTransform(mcp, 1);

  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_EQ(MCP_Variables(mcp), 4);
  EXPECT_EQ(MCP_FreeCount(mcp), 2);
  EXPECT_EQ(Values(MCP_X(mcp)), (std::vector<double>{0.0, 7.0, 2.0, 3.0}));
  EXPECT_EQ(Values(MCP_Lower(mcp)), (std::vector<double>{0.0, 0.0, 1.0, 0.0}));
  EXPECT_EQ(Values(MCP_Upper(mcp)), (std::vector<double>{kInf, kInf, 9.0, kInf}));
  EXPECT_EQ(IDenseVector_Value(MCP_Basis(mcp), 4), BASIS_NONE);
  // nnz_r: min(3 + 3, 9) = 6, then min(6 + 2 * 4 - 1, 16) = 13.
  EXPECT_EQ(MCP_Nonzeros(mcp), 13);
  char name[256];
  MCP_VariableName(mcp, 4, name, 256);
  EXPECT_STREQ(name, "eta");
}

TEST_F(MCPStartTest, FreeVariableTransformWithoutFreeVariablesAddsNothing) {
  FakeMCP fake(2, 2, ShiftedIdentity({0.0, 0.0}));
  fake.lower = {0.0, -kInf};
  fake.upper = {kInf, 3.0};
  MCP* mcp = Make(fake, 2);
  MCP_SetFreeVariableTransform(mcp, 1);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_EQ(MCP_Variables(mcp), 2);
  EXPECT_EQ(MCP_FreeCount(mcp), 0);
}

// An interrupt service whose check reports an interrupt once armed.
struct ArmedInterrupt {
  static int armed;
  static int Check(void*) { return armed; }
  static void Nothing(void*) {}
  Interrupt_Interface record{nullptr, &Nothing, &Nothing, &Check};
  ArmedInterrupt() {
    armed = 0;
    Interrupt_SetInterface(&record);
  }
  ~ArmedInterrupt() { Interrupt_Reset(); }
};
int ArmedInterrupt::armed = 0;

TEST_F(MCPStartTest, InterruptEndsTheStartWithStatusSixAndRestoresTheJumpPoint) {
  ArmedInterrupt interrupt;
  ArmedInterrupt::armed = 1;
  Interrupt_JumpPoint outer{0};
  Interrupt_SetJumpBuffer(&outer);

  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  MCP* mcp = Make(fake, 2);
  EXPECT_EQ(MCP_Start(mcp), MCP_INTERRUPTED);
  EXPECT_EQ(Interrupt_GetJumpBuffer(), &outer);
  EXPECT_EQ(MCP_FullVariables(mcp), 0);
  EXPECT_EQ(MCP_Variables(mcp), 0);

  // The finish after an interrupted start only runs the finish callback.
  fake.calls.clear();
  MCP_Finish(mcp, MCP_INTERRUPTED, MCP_FullX(mcp), MCP_FullBasis(mcp));
  EXPECT_EQ(fake.calls, (Calls{"finish"}));
  Interrupt_SetJumpBuffer(nullptr);
}

TEST_F(MCPStartTest, InterruptDuringPresolveLeavesNoStaleRecords) {
  ArmedInterrupt interrupt;
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  MCP* mcp = Make(fake, 2);
  MCP_PresolveInterface hooks = fake.PresolveHooks();
  MCP_SetPresolveInterface(mcp, &hooks);
  MCP_SetPresolve(mcp, 1);
  fake.on_jacobian_types = [] { ArmedInterrupt::armed = 1; };

  EXPECT_EQ(MCP_Start(mcp), MCP_INTERRUPTED);
  EXPECT_EQ(Interrupt_GetJumpBuffer(), nullptr);
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp)), 1);  // the bottom record

  ArmedInterrupt::armed = 0;
  fake.on_jacobian_types = nullptr;
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp)), 1);
  MCP_Finish(mcp, 1, MCP_X(mcp), MCP_Basis(mcp));
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp)), 0);
}

TEST_F(MCPStartTest, SolverErrorInsideTheStartRestoresTheJumpPoint) {
  Interrupt_JumpPoint outer{0};
  Interrupt_SetJumpBuffer(&outer);
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  fake.jacobian_count_override = 99;
  MCP* mcp = Make(fake, 2);
  EXPECT_SOLVER_ERROR(MCP_Start(mcp), "entry count 99");
  EXPECT_EQ(Interrupt_GetJumpBuffer(), &outer);
  Interrupt_SetJumpBuffer(nullptr);
}

}  // namespace
