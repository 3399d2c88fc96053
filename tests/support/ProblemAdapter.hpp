// An MCP record built from a NonlinearProblem of tests/support/Problems.hpp:
// the MCP_Interface callbacks evaluate the problem, count the calls and can
// run a hook before each evaluation (to send an interrupt, for instance).
#pragma once

#include <functional>
#include <vector>

#include "problems/MCP.hpp"
#include "support/Problems.hpp"

class ProblemAdapter {
 public:
  // nnz: the room for Jacobian entries; 0 picks n * n for small problems and
  // the entry count at the start point plus n otherwise.
  explicit ProblemAdapter(NonlinearProblem problem, int nnz = 0);
  ~ProblemAdapter();
  ProblemAdapter(const ProblemAdapter&) = delete;
  ProblemAdapter& operator=(const ProblemAdapter&) = delete;

  MCP* mcp() { return mcp_; }
  const NonlinearProblem& problem() const { return problem_; }

  // The full point after the solve (MCP_XArray), n values.
  std::vector<double> Point();
  // F recomputed by the problem at z.
  std::vector<double> FunctionAt(const std::vector<double>& z) const;

  int function_calls = 0;  // function_evaluation callbacks
  int jacobian_calls = 0;  // jacobian_evaluation callbacks
  int finish_calls = 0;
  // Called before each evaluation with the calls made so far of each kind,
  // this one included.
  std::function<void(int function_calls, int jacobian_calls)> before_evaluation;

 private:
  static void ProblemSize(void* data, int* n, int* nnz);
  static void Bounds(void* data, int n, double* x, double* lower, double* upper);
  static int Function(void* data, int n, const double* x, double* f);
  static int Jacobian(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                      int* col_start, int* col_len, int* row, double* value);
  static void Finish(void* data, const double* x);
  void Before();

  NonlinearProblem problem_;
  int nnz_ = 0;
  MCP* mcp_ = nullptr;
};
