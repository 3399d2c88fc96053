// Fixture of the options tests: the registry as a host builds it, and a
// snapshot of every option table to tell which options a step changed.
#pragma once

#include <string>
#include <vector>

#include "core/Options.hpp"
#include "factorization/FactorizationOptions.hpp"
#include "presolve/PresolveOptions.hpp"
#include "solver/LemkeOptions.hpp"
#include "solver/SarnOptions.hpp"
#include "support/TestSupport.hpp"

// Copies of every option table and the current back-end.
struct OptionsSnapshot {
  std::vector<Option> options;
  int backend;
};

inline OptionsSnapshot TakeSnapshot() {
  OptionsSnapshot s;
  auto add = [&s](const Option* table, int count) {
    s.options.insert(s.options.end(), table, table + count);
  };
  add(Options_CommonTable, COMMON_OPTION_COUNT);
  add(Factorization_OptionTable, FACTORIZATION_OPTION_COUNT);
  add(Presolve_OptionTable, PRESOLVE_OPTION_COUNT);
  add(Sarn_OptionTable, SARN_OPTION_COUNT);
  add(Lemke_OptionTable, LEMKE_OPTION_COUNT);
  s.backend = Factorization_SelectedBackend();
  return s;
}

// Names of the options whose value field differs between two snapshots, in
// table order, plus "backend" when the current back-end changed.
inline std::vector<std::string> ChangedOptions(const OptionsSnapshot& before,
                                               const OptionsSnapshot& after) {
  std::vector<std::string> changed;
  for (size_t k = 0; k < before.options.size(); ++k) {
    const Option& a = before.options[k];
    const Option& b = after.options[k];
    bool same;
    switch (a.type) {
      case OPTION_BOOLEAN: same = a.bool_value == b.bool_value; break;
      case OPTION_DOUBLE: same = a.double_value == b.double_value; break;
      default: same = a.int_value == b.int_value; break;
    }
    if (!same) changed.push_back(a.name);
  }
  if (before.backend != after.backend) changed.push_back("backend");
  return changed;
}

// The options object of a plug-in: the registry's own groups, the solver's
// two groups, every value at its default.
class HostOptionsTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    options_ = Sarn_CreateOptions();
    Sarn_AddOptions(options_);
    Options_Default(options_);
    output()->Clear();
  }
  void TearDown() override {
    Options_Destroy(options_);
    LibraryTest::TearDown();
  }
  Options* options_ = nullptr;
};
