// The initial and final reports: sections under their switches, the limits
// on the zero-column and zero-row lines, and the streams written.
#include "solver/Report.hpp"
#include "tests/solver/DriverFixture.hpp"

using namespace driver_test;

namespace {

// F_1 = x_1 - 1 and F_i = 0 otherwise: columns and rows 2..n are empty.
NonlinearProblem MostlyEmpty(int n) {
  NonlinearProblem p;
  p.name = "mostly empty";
  p.n = n;
  p.lower.assign(n, -kInf);
  p.upper.assign(n, kInf);
  p.start.assign(n, 0.0);
  p.evaluate = [n](const double* x, double* f, std::vector<Triplet>* jac) {
    for (int i = 0; i < n; ++i) f[i] = 0.0;
    f[0] = x[0] - 1.0;
    if (jac) *jac = {{0, 0, 1.0}};
    return true;
  };
  return p;
}

}  // namespace

struct ZeroCase {
  int log_limit;
  int listing_limit;
  int in_log;      // lines of each kind in the log stream
  int in_listing;  // lines of each kind in the listing stream
};

TEST_F(DriverTest, ZeroColumnAndRowLinesAreLimited) {
  const ZeroCase cases[] = {
      {10, 12, 10, 12}, {10, 1000, 10, 13}, {0, 0, 0, 0}, {20, 5, 13, 13}, {-1, 3, 0, 3},
  };
  for (const ZeroCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.log_limit) + " " + std::to_string(c.listing_limit));
    Options_Default(options());
    NoCrash();
    Set("major_iteration_limit 0");
    Set("output_initial_statistics yes");
    Set("output_final_statistics no");
    Set(("output_maximum_zero_log " + std::to_string(c.log_limit)).c_str());
    Set(("output_maximum_zero_listing " + std::to_string(c.listing_limit)).c_str());
    output()->Clear();
    ProblemAdapter adapter(MostlyEmpty(14));
    Information info;
    EXPECT_EQ(Solve(adapter, &info), TERMINATION_MAJOR_ITERATION_LIMIT);
    for (const char* kind : {"Zero column of order ", "Zero row of order "}) {
      EXPECT_EQ(Count(output()->log(), kind), c.in_log) << kind;
      EXPECT_EQ(Count(output()->listing(), kind), c.in_listing) << kind;
      EXPECT_EQ(Count(output()->status(), kind), 0) << kind;
    }
    // The lines name the empty column and row in order.
    if (c.in_log > 0) {
      EXPECT_NE(output()->log().find("Zero column of order 2 (x[    2])\n"), std::string::npos);
      EXPECT_NE(output()->log().find("Zero row of order 2 (f[    2])\n"), std::string::npos);
    }
    EXPECT_NE(output()->log().find("Zero columns. . . . . . . 13\n"), std::string::npos);
  }
}

TEST_F(DriverTest, SectionsFollowTheirSwitchesAndTheMask) {
  struct Case {
    const char* line;
    const char* title;
  } cases[] = {
      {"output_initial_point", "\nInitial Point\n"},
      {"output_initial_statistics", "\nInitial Model Statistics\n"},
      {"output_initial_point_statistics", "\nInitial Point Statistics\n"},
      {"output_initial_scaling_statistics", "\nInitial Scaling Statistics\n"},
      {"output_final_point", "\nFinal Point\n"},
      {"output_final_statistics", "\nFinal Model Statistics\n"},
      {"output_final_point_statistics", "\nFinal Point Statistics\n"},
      {"output_final_scaling_statistics", "\nFinal Scaling Statistics\n"},
      {"output_final_degeneracy_statistics", "\nFinal Degeneracy Statistics\n"},
  };
  for (bool on : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.line) + (on ? " yes" : " no"));
      Options_Default(options());
      NoCrash();
      Set((std::string(c.line) + (on ? " yes" : " no")).c_str());
      output()->Clear();
      ProblemAdapter adapter(LinearSystem({0.0, 0.0}));
      Information info;
      ASSERT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
      EXPECT_EQ(Count(output()->log(), c.title), on ? 1 : 0);
      EXPECT_EQ(Count(output()->listing(), c.title), on ? 1 : 0);
      EXPECT_EQ(Count(output()->status(), c.title), 0);
    }
  }
  // A mask without log and listing suppresses every section; the exit
  // message still reaches the status stream.
  Options_Default(options());
  NoCrash();
  Set("output_final_point yes");
  output()->Clear();
  ProblemAdapter adapter(LinearSystem({0.0, 0.0}));
  Information info{};
  info.output_mask = 2;
  ASSERT_EQ(Sarn_Solve(adapter.mcp(), &info), TERMINATION_SOLVED);
  EXPECT_EQ(info.streams_written, 2);
  EXPECT_EQ(Count(output()->log(), "Final Point"), 0);
  EXPECT_EQ(Count(output()->status(), "\n ** EXIT - solution found.\n"), 1);
  // Everything allowed: reports on log and listing, exit on log and status.
  output()->Clear();
  EXPECT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  EXPECT_EQ(info.streams_written, 7);
}

TEST_F(DriverTest, FinalPointListsEveryVariable) {
  NoCrash();
  Set("output_final_point yes");
  ProblemAdapter adapter(MixedBoxes());
  Information info;
  ASSERT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
  const std::string& log = output()->log();
  const size_t at = log.find("\nFinal Point\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(log.find("    3 x[    3]        -1.00000000e+00 -1.00000000e+00  1.00000000e+00"
                     "  1.00000000e+00\n",
                     at),
            std::string::npos)
      << log.substr(at, 400);
}
