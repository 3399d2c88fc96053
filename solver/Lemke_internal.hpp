// Helpers shared by the source files of the Lemke module (not part of its
// interface).
#pragma once

#include <cstdint>

#include "solver/Lemke.hpp"

// The process-wide workspace; a solver error when none exists (every caller
// runs between Lemke_Setup and Lemke_Finish).
LemkeWorkspace* Lemke_RequireWorkspace(const char* operation);

// Classes of the augmented columns.
enum LemkeColumnClass : int {
  LEMKE_COLUMN_Z = 0,
  LEMKE_COLUMN_W = 1,
  LEMKE_COLUMN_V = 2,
  LEMKE_COLUMN_ARTIFICIAL = 3,
  LEMKE_COLUMN_T = 4,
};

// Class of column c (1 .. 4n + 1) of a problem with n rows.
inline int Lemke_ColumnClass(int n, int c) {
  if (c <= n) return LEMKE_COLUMN_Z;
  if (c <= 2 * n) return LEMKE_COLUMN_W;
  if (c <= 3 * n) return LEMKE_COLUMN_V;
  if (c <= 4 * n) return LEMKE_COLUMN_ARTIFICIAL;
  return LEMKE_COLUMN_T;
}

// Row of column c: ((c - 1) mod n) + 1 for the z, w, v and artificial
// columns.
inline int Lemke_ColumnRow(int n, int c) { return (c - 1) % n + 1; }

// The common option infinity.
double Lemke_Infinity();

// Writes the label of column c ("z[   12]", "t", ...) into buffer.
void Lemke_ColumnLabel(const LemkeWorkspace* ws, int c, char* buffer, int size);

// Start vector setting of the gateways: the values (n doubles in basis
// position order) when set and of length n, else nullptr. Clearing forgets
// the setting.
const double* Lemke_StartValues(int n);
void Lemke_ClearStartValues();

// True while the random generator holds its state at load.
bool Lemke_RandomAtRest();

// 1 when the current factorization back-end reports its singular columns.
int Lemke_BasisReportsSingular(LemkeWorkspace* ws);

// Saves the current point, basis and pivot record as the best point.
void Lemke_SaveBest(LemkeWorkspace* ws, const LemkePivot* pivot);

// xB := the basic values that make A point + q + B xB = 0, where point holds
// the nonbasic values (basic columns 0) over the columns of A: one solve with
// the current factors. The workspace's dense column vector carries the
// right-hand side.
void Lemke_BasicValuesAt(LemkeWorkspace* ws, const DenseVector* point);

// Refactors the basis and recomputes the basic values (used by the rules'
// periodic resets). 1 to go on, or the LemkeCode of the failure.
int Lemke_Refactor(LemkeWorkspace* ws);
