// Classic complementarity problems with known answers, and the solution
// check that every solver test applies: for each variable
//   l - tol <= z <= u + tol  and  |z - mid(l, u, z - F(z))| <= tol,
// with F recomputed from the problem, never taken from the solver.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Infinite bound as the tests write it.
constexpr double kInf = 1e20;

// One Jacobian entry, 0-based.
struct Triplet {
  int row;
  int col;
  double value;
};

// A nonlinear MCP in the caller's numbering (0-based vectors).
struct NonlinearProblem {
  std::string name;
  int n = 0;
  std::vector<double> lower, upper, start;
  // Evaluates F at x (n entries) and, when jacobian is not null, the
  // Jacobian entries (cleared first). Returns false when F is undefined at x.
  std::function<bool(const double* x, double* f, std::vector<Triplet>* jacobian)> evaluate;
  // Known solutions (any one of them is acceptable); empty when not unique.
  std::vector<std::vector<double>> solutions;
};

// Compressed-column matrix, 0-based, as the tests build it.
struct ColumnMatrix {
  int rows = 0, cols = 0;
  std::vector<int> start;   // cols + 1 entries
  std::vector<int> index;   // row of each entry
  std::vector<double> value;
  static ColumnMatrix FromTriplets(int rows, int cols, std::vector<Triplet> entries);
  static ColumnMatrix FromDense(int rows, int cols, const std::vector<double>& row_major);
  // y := A x
  std::vector<double> Multiply(const std::vector<double>& x) const;
  int nnz() const { return static_cast<int>(index.size()); }
};

// A linear MCP: F(z) = M z + q with bounds.
struct LinearProblem {
  std::string name;
  int n = 0;
  ColumnMatrix M;
  std::vector<double> q, lower, upper;
  std::vector<double> solution;  // empty when not known or not unique
  bool solvable = true;          // false: no solution exists
  std::vector<double> F(const std::vector<double>& z) const;
};

// Nonlinear problems.
NonlinearProblem KojimaShindo(double start_value);  // start 0 or 1
NonlinearProblem Josephy();
NonlinearProblem NashCournot();
NonlinearProblem DomainErrors();
NonlinearProblem BroydenTridiagonal(int n);
NonlinearProblem MixedBoxes();
// Any linear problem as a nonlinear one (for the Newton driver).
NonlinearProblem AsNonlinear(const LinearProblem& lcp);

// Linear problems.
LinearProblem ConvexQP();
LinearProblem DegenerateCyclic();
LinearProblem Exponential(int n);
LinearProblem Obstacle(int m);
LinearProblem PlantedMonotone(int n, std::uint32_t seed);
LinearProblem NoSolution();

// The solution check. Returns the largest violation of the two conditions
// over all variables (0 when z solves the problem exactly); infinite bounds
// are those at or beyond 1e20 in magnitude.
double ComplementarityViolation(const std::vector<double>& lower, const std::vector<double>& upper,
                                const std::vector<double>& z, const std::vector<double>& f);
double ComplementarityViolation(const NonlinearProblem& problem, const std::vector<double>& z);
double ComplementarityViolation(const LinearProblem& problem, const std::vector<double>& z);
