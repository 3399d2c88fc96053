// Harness of the row presolve tests: a small LCP record is set up for the
// presolve, the row pass (MCPR) runs to its fixed point, the problem it
// leaves (the caller's M and q over the tightened bounds) is solved by
// enumerating active sets, every solution found is carried back through
// the postsolve, and each point that comes back must solve the caller's
// ORIGINAL problem, with the caller's bounds restored bit for bit and the
// record stack emptied. A problem the pass calls infeasible must have no
// solution (exact enumeration decides); "cannot handle" (status 10) must
// never come back.
//
// Vectors here are 0-based; the library's are 1-based.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fixtures/BoxLCP.hpp"
#include "fixtures/Problems.hpp"
#include "presolve/PresolveRig.hpp"
#include "presolve/RowPass.hpp"

// The solutions of the box LCP F(z) = M z + q over the bounds l, u (which
// may differ from the problem's own), enumerated in doubles with the face
// places tried when the plain ones find none: a variable with l == u sits
// at l, variables between their bounds that the equations leave
// undetermined are set to 0, a point counts when its complementarity
// violation is at most 1e-7, and points within 1e-7 of each other are one.
struct EnumeratedSolutions {
  bool decided = false;                      // false: too many unfixed variables
  std::vector<std::vector<double>> points;   // distinct solutions, at most the limit asked
};
EnumeratedSolutions EnumerateSolutions(const LinearProblem& p, const std::vector<double>& lower,
                                       const std::vector<double>& upper, int limit,
                                       int max_unfixed = 10);

// Whether p has a solution: exact rational enumeration when its rows scale
// to integer data by powers of two, else EnumerateSolutions.
BoxLCPVerdict VerdictOf(const LinearProblem& p);

// The problem with its variables renumbered: variable k of the result is
// variable perm[k] of p (M -> P M P', q, bounds and solution alike).
LinearProblem PermuteProblem(const LinearProblem& p, const std::vector<int>& perm);

// A random box LCP of at most max_n variables with integer data, made of
// independent square blocks of 1, 2 and 3 rows (P-matrix or arbitrary),
// a coupled part of up to 2 rows that reaches into the blocks' columns,
// mixed bounds (free, one-sided, boxed, fixed), q planted around a chosen
// solution or drawn freely, duplicate rows (and proportional columns)
// injected, variables shuffled. The name records the seed.
LinearProblem RandomRowBlockLCP(std::uint32_t seed, int max_n = 8);

// What one run of the harness saw.
struct RowRun {
  int status = 0;          // the row pass's last status
  int calls = 0;           // MCPR calls until one reported no change
  int levels = 0;          // how far the level counter rose
  int unfixed = 0;         // variables the pass left unfixed
  int reduced_solutions = 0;  // solutions of the reduced problem carried back
  std::string log;         // everything the row pass printed
  std::vector<double> lower, upper;            // bounds the pass left
  std::vector<std::vector<double>> postsolved; // one point per reduced solution
  std::vector<std::string> faults;             // pass conditions that failed
};

// The row pass the harness runs (MCPR; the harness's own tests put faulty
// passes here).
using RowPassFunction = int (*)(MCP* mcp, std::int32_t* level, std::int32_t* changed);

struct RowSettings {
  RowPassFunction pass = &MCPR;
  int trace_level = 2;          // output_presolve_level
  bool project_implied = true;  // presolve_project_implied
  std::vector<double> start;    // start point (empty: 0), projected onto the bounds
  int solutions = 4;            // reduced solutions carried back, each on a fresh run
};

class RowHarness : public PresolveRig {
 protected:
  // The whole harness on p; the faults list what failed.
  RowRun RunRows(const LinearProblem& p, const RowSettings& settings = RowSettings());

 private:
  // Sets up a record of p and runs the row pass on it until a call changes
  // nothing; fills the status, counts, bounds and log of *run.
  MCP* PassToFixedPoint(const LinearProblem& p, const RowSettings& settings, RowRun* run);
  // Puts z into the record, runs the postsolve, checks that the bounds
  // and the stack come back and, with check_point, that the point solves
  // the original problem.
  void PostsolveAndCheck(MCP* mcp, const LinearProblem& p, const std::vector<double>& z,
                         bool check_point, RowRun* run);
  // The checks of a status 9: no solution may exist.
  void CheckInfeasible(const LinearProblem& p, RowRun* run);
};

// "status 9 ... " style summary of a run for failure messages.
std::string Describe(const RowRun& run);
