// One square sparse matrix factored by the library's LU engine (through the
// sparse basis back-end, with the storage a solve would give it) and by the
// reference factorizations, UMFPACK (symbolic + numeric; where the build
// found it) and LAPACK's dgetrf on the dense copy, each timed in the same
// run; and the bases of the crash phase's first step that the benchmarks
// factor. Matrices are the fixtures' 0-based compressed columns with sorted
// rows.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "fixtures/Problems.hpp"

struct Factorization;

// ---------------------------------------------------------------------------
// The bases of the crash's first step.

// The crash's first proximal term: 1% of the natural residual at the start
// point 0 projected onto the bounds, at most 10.
double LUReference_FirstProximalTerm(const LinearProblem& p);

// M + mu I of the problem, every variable free (M must store its diagonal).
ColumnMatrix LUReference_ShiftedBasis(const LinearProblem& p, double mu);

// ---------------------------------------------------------------------------
// The library's LU engine.

struct LUReference_Engine {
  double factor_first = 0;  // seconds of the first factorization
  long faults_first = 0;    // page faults (minor) during the first factorization
  std::uint64_t pivots = 0; // digest of the first factorization's pivot sequence
  std::int64_t written = 0; // storage positions the first factorization's files wrote
  double factor = 0;        // seconds of the same again with the storage left (best of 3)
  std::int64_t fill = 0;    // entries of L and U after the first
  std::int64_t storage = 0; // storage length after the first
  int restarts = 0, growths = 0, compressions = 0;
  int dense1 = 0, dense2 = 0;
  bool singular = false;    // the engine judged a the matrix singular
};

// Creates the sparse back-end with the storage a solve of a problem with
// problem_entries entries starts from, factors a, then factors it three
// times more. Returns the back-end, factored; the caller destroys it
// (Factorization_Destroy).
Factorization* LUReference_EngineFactor(const ColumnMatrix& a, std::int64_t problem_entries,
                                        LUReference_Engine* result);

// Loads a (all columns) into the back-end and factors it; a Basis_Status.
int LUReference_Refactor(Factorization* f, const ColumnMatrix& a);

// Entries of L and U in the back-end's factors.
std::int64_t LUReference_Fill(const Factorization* f);

// ---------------------------------------------------------------------------
// The references.

struct LUReference_Umfpack {
  bool available = false;   // built with UMFPACK and its factorization succeeded
  double first = 0;         // symbolic + numeric of the first run
  double symbolic = 0;      // best of 3
  double numeric = 0;       // best of 3
  double solve = 0;         // seconds per solve (average of `solves`)
  std::int64_t fill = 0;    // entries of L and U
  double Factor() const { return symbolic + numeric; }
};

// Factors a three times (reports the first and the best of each phase),
// then makes `solves` solves with random right-hand sides from rng.
LUReference_Umfpack LUReference_RunUmfpack(const ColumnMatrix& a, int solves, std::mt19937& rng);

// Best of 3 seconds of dgetrf on the dense copy of a.
double LUReference_RunDgetrf(const ColumnMatrix& a);

// ---------------------------------------------------------------------------
// Reports.

// "name: n = .., entries = .." and the engine's lines.
void LUReference_PrintEngine(const std::string& name, const ColumnMatrix& a,
                             const LUReference_Engine& e);

// UMFPACK's line and the ratios of the engine's factorizations to it
// (nothing when UMFPACK is not available). solve_ratio < 0: not printed.
void LUReference_PrintUmfpack(const LUReference_Umfpack& u, const LUReference_Engine& e,
                              double solve_ratio);

// The engine's first factorization of a against UMFPACK's: both printed.
void LUReference_Compare(const std::string& name, const ColumnMatrix& a,
                         std::int64_t problem_entries, std::mt19937& rng);

// The same for the first basis of the crash on p (M + mu I, mu the first
// proximal term), with the storage a solve of p starts from; the title is
// label, the problem's name and mu.
void LUReference_CompareCrashBasis(const std::string& label, const LinearProblem& p,
                                   std::mt19937& rng);
