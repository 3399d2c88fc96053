// Presolve option group: the switches and tolerances of the presolve and the
// trace level of the row presolve. The presolve code reads the values
// straight from Presolve_OptionTable.
#pragma once

#include "core/Options.hpp"

// Positions in Presolve_OptionTable (from 0).
enum PresolveOptionIndex : int {
  PRESOLVE = 0,
  PRESOLVE_IMPLIED = 1,
  PRESOLVE_PROJECT_IMPLIED = 2,
  PRESOLVE_TIGHTEN = 3,
  PRESOLVE_RECURSIVE = 4,
  PRESOLVE_JACOBIAN_TOLERANCE = 5,
  PRESOLVE_ZERO_TOLERANCE = 6,
  OUTPUT_PRESOLVE_LEVEL = 7,
  PRESOLVE_OPTION_COUNT = 8,
};

// The group's table (process-wide) and its record.
extern Option Presolve_OptionTable[PRESOLVE_OPTION_COUNT];
extern OptionGroup Presolve_OptionGroup;

inline bool Presolve_OptionBool(int index) { return Presolve_OptionTable[index].bool_value != 0; }
inline int Presolve_OptionInt(int index) { return Presolve_OptionTable[index].int_value; }
inline double Presolve_OptionDouble(int index) {
  return Presolve_OptionTable[index].double_value;
}

// Adds the group to options with Options_Add (Sarn_CreateOptions adds it
// right after the factorization group, so the group is number 2 there).
void Presolve_AddOptions(Options* options);

// Writes the eight defaults in table order and returns 1.
int Presolve_Defaults();

// The group's on_common_change hook: output switched off from an option line
// sets output_presolve_level to 0 (switched off by name it stays);
// cumulative_iteration_limit set to 0 switches presolve off. Any other
// change does nothing.
void Presolve_CommonOptionChanged(int index);
