// What every benchmark program shares: a wall clock, a library that reports
// errors by exception and writes no files, and the library's own form of a
// fixture matrix.
#pragma once

#include "fixtures/Problems.hpp"

struct SparseMatrix;

// Seconds on the steady clock (nanosecond resolution) since an arbitrary
// fixed point; only differences mean anything.
double Bench_Now();

// Processor seconds of this process since an arbitrary fixed point: less
// sensitive than the wall clock to other work on a busy machine.
double Bench_ProcessorNow();

// Solver errors throw (the message in the exception), and the log, status
// and listing files are closed: the programs print their own tables.
void Bench_QuietLibrary();

// A new library matrix with the entries of a (0-based compressed columns,
// rows sorted within each column, no duplicates): starts and rows from 1,
// packed. The caller destroys it with SparseMatrix_Destroy.
SparseMatrix* Bench_LibraryMatrix(const ColumnMatrix& a);
