// Forcing rows: each case of a linear row (bounds of F_i over the box, rows
// without or with one counted entry, ranges implied through a partner row,
// infeasible rows) with what it fixes, bounds or reports, the counts and F
// it keeps, and whole solves whose answer must solve the caller's problem.
#include <cstdio>
#include <string>
#include <vector>

#include "fixtures/BoxLCP.hpp"
#include "presolve/PresolveRecord.hpp"
#include "presolve/RowForceTestRig.hpp"
#include "presolve/rows/RowForceReduce.hpp"

namespace {

class RowForceTest : public RowForceRig {};

struct ForceCase {
  const char* what;
  LinearProblem p;
  std::vector<int> nonlinear;  // rows declared nonlinear (left out of the sweeps)
  int status;
  int fix;                     // variables fixed or bounded (status 13 only)
  std::vector<double> lower;   // bounds afterwards (empty: unchanged)
  std::vector<double> upper;
  std::vector<std::string> lines;  // in the log at trace level 2
};

// Row 1 reads F1 = d x1 + a2 x2 + a3 x3 + q1 over x1 in [l1, u1]; x2 and x3
// lie in [0, 1] (free with free23) and their rows (2 x_k - 1) are declared
// nonlinear, so the sweeps look at row 1 alone. with_col1 puts x1 into row
// 2 as well.
ForceCase Row1(const char* what, double d, double a2, double a3, double q1, double l1, double u1,
               bool with_col1 = false, bool free23 = false) {
  ForceCase c;
  c.what = what;
  const double l23 = free23 ? -kInf : 0;
  const double u23 = free23 ? kInf : 1;
  c.p = Lcp({{d, a2, a3}, {with_col1 ? 1.0 : 0.0, 2, 0}, {0, 0, 2}}, {q1, -1, -1},
            {l1, l23, l23}, {u1, u23, u23});
  c.nonlinear = {2, 3};
  return c;
}

ForceCase Expect(ForceCase c, int status, int fix, std::vector<double> lower,
                 std::vector<double> upper, std::vector<std::string> lines) {
  c.status = status;
  c.fix = fix;
  c.lower = std::move(lower);
  c.upper = std::move(upper);
  c.lines = std::move(lines);
  return c;
}

// x1 fixed at v, x2 and x3 untouched.
std::vector<double> Fixed1(double v) { return {v, 0, 0}; }
std::vector<double> Upper1(double v) { return {v, 1, 1}; }

std::string Fixes(const char* label, int var, const char* value, int row) {
  char text[200];
  std::snprintf(text, sizeof text, "%s Fixes Variables\n     x[%5d] = %s (f[%5d])\n", label, var,
                value, row);
  return text;
}

std::string Implies(const char* label, int var, const char* value, int row) {
  char text[200];
  std::snprintf(text, sizeof text, "%s Implies Variables\n     x[%5d] = %s (f[%5d])\n", label,
                var, value, row);
  return text;
}

std::string Bounds(const char* label, int var, const char* lb, const char* ub, int row) {
  char text[200];
  std::snprintf(text, sizeof text, "%s Bounds Variables\n     x[%5d] lb = %s ub = %s (f[%5d])\n",
                label, var, lb, ub, row);
  return text;
}

std::string Infeasible(const char* label, const char* reason, int row) {
  char text[200];
  std::snprintf(text, sizeof text, "%s%s\n     f[%5d]\n", label, reason, row);
  return text;
}

constexpr int kGo = ROW_CONTINUE;
constexpr int kNo = ROW_INFEASIBLE;
const std::vector<double> kSame;

std::vector<ForceCase> Cases() {
  const char* zero = " 0.0000e+00";
  const char* one = " 1.0000e+00";
  return {
      // F1 = x2 + x3 + q1 lies in [q1, q1 + 2].
      Expect(Row1("F1 above 0 over the box", 0, 1, 1, 1, 0, kInf), kGo, 1, Fixed1(0), Upper1(0),
             {Fixes("Force Row Lower", 1, zero, 1), "Force Lev:  1 Pas:  1 Fix:    1\n"}),
      Expect(Row1("F1 below 0 over the box", 0, 1, 1, -3, 0, 4), kGo, 1, Fixed1(4), Upper1(4),
             {Fixes("Force Row Upper", 1, " 4.0000e+00", 1)}),
      Expect(Row1("F1 above 0, x1 free", 0, 1, 1, 1, -kInf, kInf), kNo, 0, kSame, kSame,
             {Infeasible("Force Row Lower", " Infinite Value", 1)}),
      Expect(Row1("least value 2e-12 above 0", 0, 1, 1, 2e-12, 0, kInf), kGo, 1, Fixed1(0),
             Upper1(0), {Fixes("Force Row Lower", 1, zero, 1)}),
      Expect(Row1("least value 0.5e-12 counts as 0", 0, 1, 1, 0.5e-12, 0, kInf), kGo, 1,
             Fixed1(0), Upper1(0), {Fixes("Force Row ZeroCol Lower", 1, zero, 1)}),
      // An extreme within the point tolerance of 0 may be rounding (a bound
      // of x2 solved from another row): with x1 in row 2 as well, a zero
      // extreme would leave x1 free, so the bound is not forced on it.
      Expect(Row1("least value 2e-11 above 0, x1 in row 2", 0, 1, 1, 2e-11, 0, kInf, true), kGo,
             0, kSame, kSame, {}),
      Expect(Row1("greatest value 2e-11 below 0, x1 in row 2", 0, 1, 1, -2 - 2e-11, 0, 5, true),
             kGo, 0, kSame, kSame, {}),
      Expect(Row1("least value 2e-8 above 0, x1 in row 2", 0, 1, 1, 2e-8, 0, kInf, true), kGo, 1,
             Fixed1(0), Upper1(0), {Fixes("Force Row Lower", 1, zero, 1)}),
      // Least value 0 with x1 in the row.
      Expect(Row1("least value 0, rising in x1", 1, 1, 1, 0, 0, 5), kGo, 1, Fixed1(0), Upper1(0),
             {Fixes("Force Row Monotone Lower", 1, zero, 1)}),
      Expect(Row1("least value 0, falling in x1", -1, 1, 1, 5, 0, 5), kGo, 1, Fixed1(0),
             Upper1(0), {Fixes("Force Row OneCol Lower", 1, zero, 1)}),
      Expect(Row1("least value 0, falling in x1, x1 in row 2", -1, 1, 1, 5, 0, 5, true), kGo, 0,
             kSame, kSame, {}),
      Expect(Row1("least value 0, x1 unbounded below", -1, 1, 1, 5, -kInf, 5), kGo, 0, kSame,
             kSame,
             {Implies("Force Row Lower", 1, " 5.0000e+00", 1), Implies("Force Row Lower", 2, zero, 1),
              Implies("Force Row Lower", 3, zero, 1)}),
      // Greatest value 0.
      Expect(Row1("greatest value 0, rising in x1", 1, 1, 1, -7, 0, 5), kGo, 1, Fixed1(5),
             Upper1(5), {Fixes("Force Row Monotone Upper", 1, " 5.0000e+00", 1)}),
      Expect(Row1("greatest value 0, falling in x1", -1, 1, 1, -2, 0, 5), kGo, 1, Fixed1(5),
             Upper1(5), {Fixes("Force Row OneCol Upper", 1, " 5.0000e+00", 1)}),
      Expect(Row1("greatest value 0, no x1", 0, 1, 1, -2, 0, 5), kGo, 1, Fixed1(5), Upper1(5),
             {Fixes("Force Row ZeroCol Upper", 1, " 5.0000e+00", 1)}),
      Expect(Row1("greatest value 0, x1 unbounded above", -1, 1, 1, -2, 0, kInf), kGo, 0, kSame,
             kSame,
             {Implies("Force Row Upper", 1, zero, 1), Implies("Force Row Upper", 2, one, 1),
              Implies("Force Row Upper", 3, one, 1)}),
      Expect(Row1("two infinite terms on each side", 0, 1, 1, 0, 0, kInf, false, true), kGo, 0,
             kSame, kSame, {}),
      // Rows without a counted entry.
      Expect(Row1("constant 1, x1 <= 0 unbounded below", 0, 0, 0, 1, -kInf, 0), kNo, 0, kSame,
             kSame, {Infeasible("Force Row Zero", " Infeasible", 1)}),
      Expect(Row1("constant 0, column 1 empty", 0, 0, 0, 0, 2, 5), kGo, 1, Fixed1(2), Upper1(2),
             {Fixes("Force Row Zero", 1, " 2.0000e+00", 1)}),
      Expect(Row1("constant 0, x1 in row 2", 0, 0, 0, 0, 2, 5, true), kGo, 0, kSame, kSame, {}),
      // A constant within rounding of 0 may stand for a row that vanishes.
      Expect(Row1("constant -3e-12, x1 in row 2", 0, 0, 0, -3e-12, 2, 5, true), kGo, 0, kSame,
             kSame, {}),
      Expect(Row1("constant -1e-6, x1 in row 2", 0, 0, 0, -1e-6, 2, 5, true), kGo, 1, Fixed1(5),
             Upper1(5), {Fixes("Force Row Zero", 1, " 5.0000e+00", 1)}),
      // Rows in x1 alone.
      Expect(Row1("2 x1 - 2", 2, 0, 0, -2, 0, 5), kGo, 1, Fixed1(1), Upper1(1),
             {Fixes("Force Row One", 1, one, 1)}),
      Expect(Row1("-x1 - 1 over x1 >= 0", -1, 0, 0, -1, 0, kInf), kNo, 0, kSame, kSame,
             {Infeasible("Force Row One", " Infeasible", 1)}),
      Expect(Row1("-x1 + 1 over x1 >= 0, x1 in row 2", -1, 0, 0, 1, 0, kInf, true), kGo, 1,
             Fixed1(0), Upper1(1), {Bounds("Force Row One UB Inf", 1, zero, one, 1)}),
      Expect(Row1("-x1 + 1 over x1 <= 3, x1 in row 2", -1, 0, 0, 1, -kInf, 3, true), kGo, 1,
             {1, 0, 0}, Upper1(3), {Bounds("Force Row One LB Inf", 1, one, " 3.0000e+00", 1)}),
      Expect(Row1("-x1 + 1 over x1 >= 0, x1 in row 1 alone", -1, 0, 0, 1, 0, kInf), kGo, 1,
             Fixed1(0), Upper1(0), {Fixes("Force Row One", 1, zero, 1)}),
      // Rows in one other variable.
      Expect(Row1("x1 free, 2 x2 - 2", 0, 2, 0, -2, -kInf, kInf), kGo, 0, kSame, kSame,
             {Implies("Force Row One", 2, one, 1), Implies("Force Row Upper", 2, one, 1)}),
      Expect(Row1("x1 free, 2 x2 - 4", 0, 2, 0, -4, -kInf, kInf), kNo, 0, kSame, kSame,
             {Infeasible("Force Row One", " Infeasible", 1)}),
  };
}

// x1 >= 0 makes F1 = x2 - c1 >= 0, so x2 >= c1; row 2 is F2 = d2 x2 + q2
// over [0, u2].
ForceCase Partner(const char* what, double c1, double d2, double q2, double u2) {
  ForceCase c;
  c.what = what;
  c.p = Lcp({{0, 1}, {0, d2}}, {-c1, q2}, {0, 0}, {kInf, u2});
  return c;
}

std::vector<ForceCase> PartnerCases() {
  return {
      // Row 2 has solutions {0, 3, 5}; x2 >= 1 keeps {3, 5}.
      Expect(Partner("range keeps two solutions", 1, -1, 3, 5), kGo, 3, {0, 3}, {0, 3},
             {Bounds("Force Imply One", 2, " 3.0000e+00", " 5.0000e+00", 1),
              "Force Lev:  1 Pas:  1 Fix:    1\n", Fixes("Force Row Lower", 1, " 0.0000e+00", 1),
              Fixes("Force Row One", 2, " 3.0000e+00", 2), "Force Lev:  1 Pas:  2 Fix:    2\n"}),
      // Row 2 has solutions {0, 3}; x2 >= 1 keeps 3.
      Expect(Partner("range keeps one solution", 1, -1, 3, 3), kGo, 2, {0, 3}, {0, 3},
             {Fixes("Force Row Imply One", 2, " 3.0000e+00", 1),
              Fixes("Force Row Zero", 1, " 0.0000e+00", 1)}),
      Expect(Partner("range keeps no solution", 4, -1, 3, 3), kNo, 0, kSame, kSame,
             {Infeasible("Force Imply One", " Infeasible", 2)}),
      // Row 2 vanishes: x2 may lie anywhere in [1, 5].
      Expect(Partner("partner row zero", 1, 0, 0, 5), kGo, 3, {0, 1}, {0, 1},
             {Bounds("Force Imply Zer", 2, " 1.0000e+00", " 5.0000e+00", 1),
              Fixes("Force Row ZeroCol Lower", 1, " 0.0000e+00", 1),
              Fixes("Force Row Zero", 2, " 1.0000e+00", 2)}),
      // A rising partner row is left to other rules.
      Expect(Partner("partner row rising", 1, 1, -3, 5), kGo, 2, {0, 3}, {0, 3},
             {Fixes("Force Row One", 2, " 3.0000e+00", 2)}),
  };
}

TEST_F(RowForceTest, EachRowCaseFixesBoundsReportsOrFindsInfeasibility) {
  std::vector<ForceCase> all = Cases();
  for (const ForceCase& c : PartnerCases()) all.push_back(c);
  SetTrace(2);
  for (const ForceCase& c : all) {
    SCOPED_TRACE(c.what);
    MCP* mcp = Prepare(c.p);
    MarkNonlinear(mcp, c.nonlinear);
    std::int32_t fix = 0;
    EXPECT_EQ(Force(mcp, &fix), c.status);
    if (c.status == ROW_CONTINUE) {
      EXPECT_EQ(fix, c.fix);
      ExpectWorkingState(mcp, c.p);
    }
    EXPECT_EQ(Lower(mcp), c.lower.empty() ? c.p.lower : c.lower);
    EXPECT_EQ(Upper(mcp), c.upper.empty() ? c.p.upper : c.upper);
    for (const std::string& line : c.lines) {
      EXPECT_TRUE(Logged(line)) << line << "\nlog:\n" << Log();
    }
    if (c.lines.empty()) {
      EXPECT_EQ(Log(), "");
    }
  }
}

// The same problems solved whole with the presolve on: a problem with a
// solution (exact enumeration decides; the two with tiny constants have
// one) ends solved at a point that solves it with its own bounds, one
// without ends infeasible.
TEST_F(RowForceTest, WholeSolvesAnswerTheCallersProblem) {
  std::vector<ForceCase> all = Cases();
  for (const ForceCase& c : PartnerCases()) all.push_back(c);
  for (const ForceCase& c : all) {
    SCOPED_TRACE(c.what);
    std::vector<double> z;
    const int code = SolveWhole(c.p, &z);
    if (EnumerateBoxLCP(c.p).verdict == BoxLCPVerdict::kInfeasible) {
      EXPECT_EQ(code, TERMINATION_INFEASIBLE_BOUNDS);
    } else {
      EXPECT_EQ(code, TERMINATION_SOLVED);
      EXPECT_LE(ComplementarityViolation(c.p, z), 1e-8);
    }
    EXPECT_EQ(Lower(adapter().mcp()), c.p.lower);
    EXPECT_EQ(Upper(adapter().mcp()), c.p.upper);
  }
}

// Random box LCPs through the row pass until it changes nothing: it never
// meets a row it cannot handle, calls a problem infeasible only when it is,
// and every solution of the problem it leaves (the caller's M and q over
// the tightened bounds) solves the caller's problem.
TEST_F(RowForceTest, RandomProblemsKeepTheirSolutions) {
  SetTrace(-1);
  int changed_problems = 0;
  int checked = 0;
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    const LinearProblem p = RandomBoxLCP(seed);
    SCOPED_TRACE(p.name);
    if (p.lower == p.upper) continue;  // nothing left to start
    MCP* mcp = Prepare(p);
    std::int32_t level = 1;
    std::int32_t changed = 1;
    int status = MCP_CONTINUE;
    for (int calls = 0; changed != 0 && status == MCP_CONTINUE && calls < 50; ++calls) {
      status = MCPR(mcp, &level, &changed);
    }
    ASSERT_NE(status, MCP_OTHER_FAILURE);
    const BoxLCPVerdict verdict = EnumerateBoxLCP(p).verdict;
    if (status == MCP_INFEASIBLE) {
      EXPECT_NE(verdict, BoxLCPVerdict::kSolvable);
      continue;
    }
    ASSERT_EQ(status, MCP_CONTINUE);
    changed_problems += level > 1;
    LinearProblem reduced = p;
    reduced.lower = Lower(mcp);
    reduced.upper = Upper(mcp);
    const BoxLCPEnumeration e = EnumerateBoxLCP(reduced);
    if (e.verdict == BoxLCPVerdict::kUndecided) continue;
    checked += 1;
    if (verdict == BoxLCPVerdict::kSolvable) {
      EXPECT_EQ(e.verdict, BoxLCPVerdict::kSolvable);
    }
    if (!e.witness.empty()) {
      EXPECT_LE(ComplementarityViolation(p, e.witness), 1e-9);
    }
  }
  EXPECT_GT(changed_problems, 50);
  EXPECT_GT(checked, 150);
}

}  // namespace
