// The rules for queued rows with no or one active entry: constant rows and
// rows in their own variable alone, fixed where every solution agrees,
// chosen only where the choice touches no other row, infeasible where no
// value of the variable solves the row.
#include <cmath>
#include <limits>
#include <vector>

#include "presolve/PresolveRecord.hpp"
#include "presolve/PresolveRig.hpp"
#include "presolve/PresolveSkew.hpp"

namespace {

struct Case {
  const char* what;
  double a11, a12, a21;  // F1 = a11 z1 + a12 z2 + q1; row 2 holds a21 z1 + z2
  double q1;
  double l1, u1;
  int status;
  int count;
  double z1;  // NaN: left unfixed
  const char* line;
};

// z2 in [0, 1]; F2 = a21 z1 + z2 (a21 = 0: z1's column is row 1 alone).
LinearProblem TwoRows(const Case& c) {
  return Lcp({{c.a11, c.a12}, {c.a21, 1}}, {c.q1, 0}, {c.l1, 0}, {c.u1, 1});
}

class ShortRowsTest : public PresolveRig {
 protected:
  // The rule's status and count, z1 afterwards, F, the line.
  void Check(MCP* mcp, const Case& c, int status, int count) {
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(count, c.count);
    const bool fixed = Lower(mcp)[0] == Upper(mcp)[0];
    EXPECT_EQ(fixed, !std::isnan(c.z1));
    if (fixed) {
      EXPECT_DOUBLE_EQ(X(mcp)[0], c.z1);
    }
    ExpectFCurrent(mcp);
    if (c.line != nullptr) {
      EXPECT_TRUE(Logged(c.line)) << Log();
    }
  }
};

TEST_F(ShortRowsTest, OneEntryInItsOwnVariable) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      // a > 0: one solution, shared by all, fixed even though z1 is in row 2.
      {"unique inside", 2, 0, 1, -2, 0, 5, MCP_CONTINUE, 1, 1.0, nullptr},
      {"unique at a bound", 2, 0, 1, 4, 0, 5, MCP_CONTINUE, 1, 0.0, nullptr},
      // a < 0: z1 = 0, 1 and 5 all solve row 1.
      {"several, z1 in row 2", -1, 0, 1, 1, 0, 5, MCP_CONTINUE, 0, none, nullptr},
      {"several, z1 alone", -1, 0, 0, 1, 0, 5, MCP_CONTINUE, 1, 0.0, nullptr},
      // F1 = -z1 - 1 < 0 wants z1 at its infinite upper bound.
      {"none", -1, 0, 1, -1, 0, kInf, MCP_INFEASIBLE, 0, none,
       "GE inequality (f[    1]): infeasible: rhs: 1.0000e+00 lb: -1.0000e+20(-1.0000e+20) ub: "
       "0.0000e+00(-1.0000e+00)\n"},
      // The entry belongs to z2: left to the other rules.
      {"another column", 0, 1, 1, -1, -kInf, kInf, MCP_CONTINUE, 0, none, nullptr},
      {"two entries", 1, 1, 1, -1, 0, 5, MCP_CONTINUE, 0, none, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Prepare(TwoRows(c));
    int count = -1;
    const int status = Skew_OneRow(mcp, 1, 1, &count);
    Check(mcp, c, status, count);
    if (c.count == 1) {
      EXPECT_EQ(Top(mcp).kind, PRESOLVE_KIND_BOUND);
    }
  }
}

TEST_F(ShortRowsTest, NoEntriesAConstantRow) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"F > 0 pins z1 to its lower bound", 0, 0, 1, 2, 0, kInf, MCP_CONTINUE, 1, 0.0, nullptr},
      {"F > 0 with no lower bound", 0, 0, 1, 2, -kInf, 3, MCP_INFEASIBLE, 0, none,
       "LE inequality (f[    1]): infeasible: rhs: -2.0000e+00 lb: 0.0000e+00(2.0000e+00) ub: "
       "0.0000e+00(2.0000e+00)\n"},
      {"F = 0 on a free z1 in row 2", 0, 0, 1, 0, -kInf, kInf, MCP_CONTINUE, 0, none, nullptr},
      {"F = 0 on a free z1 alone", 0, 0, 0, 0, -kInf, kInf, MCP_CONTINUE, 1, 0.0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Prepare(TwoRows(c));
    int count = -1;
    const int status = Skew_ZeroRow(mcp, 1, 1, &count);
    Check(mcp, c, status, count);
  }
}

TEST_F(ShortRowsTest, TwoEntriesAreLeftToTheOtherRules) {
  MCP* mcp = Prepare(Lcp({{1, 1}, {1, 1}}, {-1, -1}, {0, 0}, {5, 5}));
  int count = -1;
  EXPECT_EQ(Skew_TwoRow(mcp, 1, 1, &count), MCP_CONTINUE);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Records(mcp), 1);
}

}  // namespace
