// Factorization option group: the tunable values of the basis layer (storage
// sizing and tolerances of the sparse back-end, the column-update limit of
// both back-ends, the choice of back-end, the layer's message switches).
//
// The back-ends read the values straight from Factorization_OptionTable at
// the moment of use, so a value set between two calls takes effect at the
// next call. Every option of the group is hidden from the default listing.
#pragma once

#include <cstdint>

#include "core/Options.hpp"

// Positions in Factorization_OptionTable (from 0).
enum FactorizationOptionIndex : int {
  FACTORIZATION_ELBOWROOM = 0,
  FACTORIZATION_VECTORROOM = 1,
  FACTORIZATION_LUROOM = 2,
  FACTORIZATION_UPDATE_LIMIT = 3,
  FACTORIZATION_UPDATE_RATIO = 4,
  FACTORIZATION_TOLERANCE = 5,
  FACTORIZATION_UPDATE_TOLERANCE = 6,
  FACTORIZATION_SMALL_TOLERANCE = 7,
  FACTORIZATION_PIVOT_TOLERANCE = 8,
  FACTORIZATION_ZERO_TOLERANCE = 9,
  FACTORIZATION_PIVOT_TYPE = 10,
  FACTORIZATION_METHOD = 11,
  OUTPUT_FACTORIZATION_UPDATES = 12,
  OUTPUT_FACTORIZATION_UPDATES_FREQUENCY = 13,
  OUTPUT_FACTORIZATION_SINGULARITIES = 14,
  OUTPUT_FACTORIZATION_INFORMATION = 15,
  OUTPUT_FACTORIZATION_DEBUG_INFORMATION = 16,
  FACTORIZATION_OPTION_COUNT = 17,
};

// Codes of factorization_method (the group's option type 3).
enum FactorizationMethod : int {
  FACTORIZATION_NO_BACKEND = -1,  // Factorization_SelectedBackend: none made current yet
  FACTORIZATION_DENSE = 0,
  FACTORIZATION_SPARSE = 1,
  FACTORIZATION_METHOD_COUNT = 2,
};

// Option type of factorization_method within the group.
constexpr int FACTORIZATION_TYPE_METHOD = 3;

// Keywords of factorization_method in code order: "dense", "sparse".
extern const OptionKeyword Factorization_MethodKeywords[FACTORIZATION_METHOD_COUNT];

// The group's table (process-wide; values persist until the next defaults)
// and its record.
extern Option Factorization_OptionTable[FACTORIZATION_OPTION_COUNT];
extern OptionGroup Factorization_OptionGroup;

inline bool Factorization_OptionBool(int index) {
  return Factorization_OptionTable[index].bool_value != 0;
}
inline int Factorization_OptionInt(int index) { return Factorization_OptionTable[index].int_value; }
inline double Factorization_OptionDouble(int index) {
  return Factorization_OptionTable[index].double_value;
}

// Adds the group to options with Options_Add (Sarn_CreateOptions adds it
// first, so the group is number 1 there).
void Factorization_AddOptions(Options* options);

// Writes the seventeen defaults (the two powers of 2^-52 computed with pow),
// then makes the sparse back-end current. No hook is called.
void Factorization_Defaults();

// The group's on_common_change hook: output switched off switches
// output_factorization_updates and output_factorization_singularities off;
// output_model_statistics switched on switches
// output_factorization_singularities on. Any other change does nothing.
void Factorization_CommonOptionChanged(int index);

// The group's on_change hook: factorization_method makes the back-end of its
// stored code current, so that a method set by name (Options_SetOther) takes
// effect as an option line does. Any other option does nothing.
void Factorization_OptionChanged(int index);

// Parser of factorization_method: compares the first three characters of
// text with "dense" and "sparse"; on a match stores the code in *value,
// makes that back-end current and returns 1. No match: returns 0, stores
// nothing and leaves the current back-end in place.
int Factorization_ParseMethod(const char* text, int* value);

// Printer of factorization_method: "%s %s\n" with the name of the option at
// index (position in the group's table) and its keyword, in mode.
void Factorization_PrintMethod(int mode, int index);

// Make the sparse or the dense back-end the current basis back-end. Defined
// by the basis layer.
void Factorization_Select();
void DenseBasis_Select();

// The back-end made current last: FACTORIZATION_DENSE, FACTORIZATION_SPARSE,
// or FACTORIZATION_NO_BACKEND when neither table is current.
int Factorization_SelectedBackend();
