// Fixture of the tests that solve whole problems with the presolve on and
// off: a library test with the presolve's invariant check on throughout, one
// solve of a record through Sarn_Solve from the default options with the
// presolve's switches set, and what the log says the presolve reduced.
#pragma once

#include <string>
#include <vector>

#include "core/Options.hpp"
#include "fixtures/ProblemAdapter.hpp"
#include "presolve/PresolveDebug.hpp"
#include "presolve/PresolveOptions.hpp"
#include "solver/Information.hpp"
#include "solver/Sarn.hpp"
#include "support/TestSupport.hpp"

// The presolve's switches of one solve (the others at their defaults).
struct PresolveSwitches {
  bool presolve = true;
  bool implied = false;
  bool recursive = true;
  bool tighten = false;
};

// One solve: its code, the solver error it raised ("" when none), its log
// and the caller's point after it.
struct WholeSolve {
  int code = 0;
  std::string error;
  std::string log;
  std::vector<double> z;
};

// The log of a solve shows a reduction by one of the presolve's rounds.
inline bool PresolveReduced(const std::string& log) {
  for (const char* line : {"MCPR:", "Zero:", "Forced:", "Implied:"}) {
    if (log.find(line) != std::string::npos) return true;
  }
  return false;
}

class WholeSolveRig : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    PresolveDebug_SetChecks(1);
  }

  // Solves the adapter's record with the default options and the switches,
  // the log cleared first (and kept in output() as well after the solve).
  WholeSolve SolveRecord(ProblemAdapter* adapter, const PresolveSwitches& with) {
    Options_Default(options());
    Presolve_OptionTable[PRESOLVE].bool_value = with.presolve ? 1 : 0;
    Presolve_OptionTable[PRESOLVE_IMPLIED].bool_value = with.implied ? 1 : 0;
    Presolve_OptionTable[PRESOLVE_RECURSIVE].bool_value = with.recursive ? 1 : 0;
    Presolve_OptionTable[PRESOLVE_TIGHTEN].bool_value = with.tighten ? 1 : 0;
    output()->Clear();
    Information info{};
    info.output_mask = OUTPUT_LOG;
    WholeSolve out;
    try {
      out.code = Sarn_Solve(adapter->mcp(), &info);
      out.z = adapter->Point();
    } catch (const SolverErrorException& error) {
      out.error = error.what();
    }
    out.log = output()->log();
    return out;
  }
};
