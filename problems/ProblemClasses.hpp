// Records shared by the problem classes offered to library callers (CNS, QP,
// PMCP, PLCP) and by their MCP adapters: the sizes and capacities of a class
// record, one block of bounds, point and basis codes, the scalar parameter
// of the parametric classes, the callbacks of a bounded nonlinear system and
// the pairing an adapter keeps between a class and the MCP it presents.
//
// Every class record holds two blocks: the full block as the caller
// delivered it and the working block the solver sees (CNS: the start copy;
// PMCP: the reduced problem without fixed variables). Indices are 1-based.
#pragma once

#include <cstdint>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"

struct MCP;

// Sizes and capacities of a class record. Counts are 0 until a start
// succeeds; capacities only grow.
struct ClassSizes {
  std::int32_t n;             // working variables
  std::int32_t nnz;           // working Jacobian entry bound
  std::int32_t max_n;         // capacities of the working block
  std::int32_t max_nnz;
  std::int32_t full_n;        // variables as delivered by the caller
  std::int32_t full_nnz;      // entries as announced by the caller
  std::int32_t max_full_n;    // capacities of the full block
  std::int32_t max_full_nnz;
};

// Bounds, point and BasisStatus codes of one block of variables.
struct ClassBlock {
  DenseVector* lower;
  DenseVector* upper;
  DenseVector* x;
  IDenseVector* basis;  // null in a class that keeps no codes (QP)
};

// The scalar parameter t of the parametric classes (PMCP, PLCP): its value,
// bounds and BasisStatus code.
struct ClassParameter {
  double value;
  double lower;
  double upper;
  std::int32_t basis;
};

// The callbacks that describe a bounded nonlinear system (the slots shared
// by CNS_Interface and QP_Interface, in their order). Arrays are plain
// (element 1 at offset 0); the Jacobian is in the sparse exchange form
// (starts and rows from 1).
struct SystemCallbacks {
  void* data;  // handed back as the first argument of every callback
  // Number of variables and a bound on the Jacobian entries.
  void (*problem_size)(void* data, int* n, int* nnz);
  // Start point and bounds, preset to 0, -inf, +inf.
  void (*bounds)(void* data, int n, double* x, double* lower, double* upper);
  // F at x into f; returns the number of domain errors.
  int (*function_evaluation)(void* data, int n, const double* x, double* f);
  // F (want_f is always 1) and J at x; *nnz holds the room on entry and
  // the entry count on return. Returns the number of domain errors.
  int (*jacobian_evaluation)(void* data, int n, const double* x, int want_f, double* f, int* nnz,
                             int* col_start, int* col_len, int* row, double* value);
  void (*start)(void* data);                    // first thing of a start
  void (*finish)(void* data, const double* x);  // last thing of a finish
  // Name of variable / row i into buffer of length characters; returns the
  // character count.
  int (*variable_name)(void* data, int i, char* buffer, int length);
  int (*constraint_name)(void* data, int i, char* buffer, int length);
};

// The pairing behind an MCP adapter. Every class variable i (1..n) with a
// finite bound gets a free multiplier variable p = n + j of the MCP; F_i
// moves to MCP row p and row i becomes -y_j. map (length n + k) is its own
// inverse: map_i = i for an unpaired variable, map_i = p and map_p = i for
// a pair.
struct MultiplierPairing {
  IDenseVector* map;
  MCP* mcp;           // the record built on the pairing
  std::int32_t n;     // class variables after its start
  std::int32_t nnz;   // class entry bound after its start
  std::int32_t k;     // multiplier variables
};
