// MCP finish: the solution back in the caller's numbering, postsolve, the
// evaluation at the full point, the postsolved residual and the callbacks.
#include <string>
#include <vector>

#include "presolve/MCP_Finish.hpp"
#include "presolve/MCP_Start.hpp"
#include "presolve/Presolve.hpp"
#include "problems/MCPFixture.hpp"

namespace {

using Calls = std::vector<std::string>;

class MCPFinishTest : public MCPFixture {};

TEST_F(MCPFinishTest, MapsTheReducedSolutionBackExactly) {
  struct Case {
    const char* what;
    std::vector<double> lower, upper;
    bool transform;
    std::vector<double> x_r;
    std::vector<int> basis_r;
    std::vector<double> x;
    std::vector<int> basis;  // after the basis repair
  };
  const Case cases[] = {
      {"plain", {0.0, 0.0}, {9.0, 9.0}, false, {4.0, 0.0}, {1, 3}, {4.0, 0.0}, {1, 3}},
      {"fixed only",
       {0.0, 1.0, 0.0},
       {9.0, 1.0, 9.0},
       false,
       {4.0, 6.0},
       {1, 1},
       {4.0, 1.0, 6.0},
       {1, 5, 1}},
      {"transform", {-kInf, 0.0}, {kInf, 10.0}, true, {2.0, 5.0, 1.0}, {1, 1, 0}, {1.0, 5.0},
       {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int n = static_cast<int>(c.lower.size());
    FakeMCP fake(n, n, ShiftedIdentity(std::vector<double>(n, 0.0)));
    fake.lower = c.lower;
    fake.upper = c.upper;
    MCP* mcp = Make(fake, n);
    MCP_SetFreeVariableTransform(mcp, c.transform);
    ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
    MCP_Finish(mcp, 1, Vector(c.x_r), IVector(c.basis_r));
    EXPECT_EQ(fake.finished, c.x);
    EXPECT_EQ(std::vector<double>(MCP_XArray(mcp), MCP_XArray(mcp) + n), c.x);
    EXPECT_EQ(std::vector<int>(MCP_BasisArray(mcp), MCP_BasisArray(mcp) + n), c.basis);
    // F delivered at the solution: F = x here.
    EXPECT_EQ(std::vector<double>(MCP_FArray(mcp), MCP_FArray(mcp) + n), c.x);
  }
}

TEST_F(MCPFinishTest, WithoutABasisTheReducedCodesAreZero) {
  FakeMCP fake(3, 3, ShiftedIdentity({0.0, 0.0, 0.0}));
  fake.lower = {0.0, 2.0, 0.0};
  fake.upper = {9.0, 2.0, 9.0};
  fake.basis = {3, 0, 4};
  MCP* mcp = Make(fake, 3);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  MCP_Finish(mcp, 1, Vector({4.0, 6.0}), nullptr);
  EXPECT_EQ(std::vector<int>(MCP_BasisArray(mcp), MCP_BasisArray(mcp) + 3),
            (std::vector<int>{0, 5, 0}));
}

TEST_F(MCPFinishTest, CallbackOrderAndTheFullEvaluation) {
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  MCP* mcp = Make(fake, 2);
  MCP_PresolveInterface hooks = fake.PresolveHooks();
  MCP_SetPresolveInterface(mcp, &hooks);
  MCP_SecondFunctionInterface second{};
  second.data = &fake;
  second.finish = [](void* d, const double*) {
    static_cast<FakeMCP*>(d)->calls.push_back("second_finish");
  };
  MCP_SetSecondFunctionInterface(mcp, &second);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  fake.calls.clear();

  MCP_Finish(mcp, 1, Vector({1.0, 2.0}), IVector({1, 1}));
  EXPECT_EQ(fake.calls,
            (Calls{"before_postsolve", "after_postsolve", "jacobian", "second_finish", "finish"}));
  int nnz = 0;
  int *start, *length, *row;
  double* value;
  MCP_JacobianArrays(mcp, &nnz, &start, &length, &row, &value);
  EXPECT_EQ(nnz, 2);
  EXPECT_EQ(std::vector<int>(start, start + 2), (std::vector<int>{1, 2}));
  EXPECT_EQ(std::vector<int>(row, row + 2), (std::vector<int>{1, 2}));
  // Neither fixed variables nor presolve reductions: no residual line.
  EXPECT_EQ(output()->log().find("Postsolved residual"), std::string::npos);
}

TEST_F(MCPFinishTest, AfterAFailedStartOnlyTheFinishCallbacksRun) {
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  fake.lower = {3.0, 0.0};
  fake.upper = {1.0, 1.0};
  MCP* mcp = Make(fake, 2);
  MCP_PresolveInterface hooks = fake.PresolveHooks();
  MCP_SetPresolveInterface(mcp, &hooks);
  ASSERT_EQ(MCP_Start(mcp), MCP_BOUND_ERROR);
  fake.calls.clear();
  MCP_Finish(mcp, MCP_BOUND_ERROR, MCP_FullX(mcp), MCP_FullBasis(mcp));
  EXPECT_EQ(fake.calls, (Calls{"finish"}));
}

TEST_F(MCPFinishTest, EverythingFixedIsEvaluatedAndItsResidualReported) {
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  fake.lower = {1.0, 5.0};
  fake.upper = {1.0, 5.0};
  MCP* mcp = Make(fake, 2);
  ASSERT_EQ(MCP_Start(mcp), MCP_SOLVED);
  fake.calls.clear();
  MCP_Finish(mcp, MCP_SOLVED, MCP_FullX(mcp), MCP_FullBasis(mcp));
  EXPECT_EQ(fake.calls, (Calls{"jacobian", "finish"}));
  EXPECT_EQ(fake.finished, (std::vector<double>{1.0, 5.0}));
  // Fixed variables: the residual of the full problem is zero.
  EXPECT_NE(output()->log().find("Postsolved residual: 0.0000e+00\n"), std::string::npos);
  EXPECT_EQ(std::vector<int>(MCP_BasisArray(mcp), MCP_BasisArray(mcp) + 2),
            (std::vector<int>{5, 5}));
}

TEST_F(MCPFinishTest, LargePostsolvedResidualIsWarned) {
  // x2 fixed at 0 although its F would need it elsewhere: F = (x1 - 1, 3).
  FakeMCP fake(2, 2, [](const double* x, double* f, std::vector<Triplet>* j) {
    f[0] = x[0] - 1.0;
    f[1] = 3.0;
    if (j) *j = {{0, 0, 1.0}};
    return 0;
  });
  fake.lower = {-kInf, 0.0};
  fake.upper = {kInf, 0.0};
  MCP* mcp = Make(fake, 2);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  // A poor solution x1 = 4: residual |F1| = 3 on the free variable.
  MCP_Finish(mcp, 2, Vector({4.0}), IVector({1}));
  EXPECT_NE(output()->log().find("Postsolved residual: 3.0000e+00\n"), std::string::npos);
  EXPECT_NE(output()->status().find("Postsolved residual large.\n"), std::string::npos);
}

TEST_F(MCPFinishTest, PostsolveUndoesThePresolveOfThisStartOnly) {
  FakeMCP fake(2, 2, ShiftedIdentity({1.0, 2.0}));
  MCP* mcp = Make(fake, 2);
  MCP_SetPresolve(mcp, 1);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  // A reduction as a presolve rule would leave it.
  PresolveRecord reduction = {0.0, 1.0, 0.0, 0, 1, 1, 1};
  RecordStack_Push(MCP_PresolveStack(mcp), reduction);
  MCP_Finish(mcp, 1, Vector({1.0, 2.0}), IVector({1, 1}));
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp)), 0);
  // Variables were removed by the presolve: the residual is reported.
  EXPECT_NE(output()->log().find("Postsolved residual: 0.0000e+00\n"), std::string::npos);

  // The next start without presolve runs no postsolve over older records.
  RecordStack_Push(MCP_PresolveStack(mcp), reduction);
  MCP_SetPresolve(mcp, 0);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  MCP_Finish(mcp, 1, Vector({1.0, 2.0}), IVector({1, 1}));
  EXPECT_EQ(RecordStack_Count(MCP_PresolveStack(mcp)), 1);
}

TEST_F(MCPFinishTest, RefusesAReducedSolutionShorterThanTheProblem) {
  FakeMCP fake(3, 3, ShiftedIdentity({0.0, 0.0, 0.0}));
  MCP* mcp = Make(fake, 3);
  ASSERT_EQ(MCP_Start(mcp), MCP_CONTINUE);
  EXPECT_SOLVER_ERROR(MCP_Finish(mcp, 1, Vector({1.0, 2.0}), nullptr), "room for 3");
}

}  // namespace
