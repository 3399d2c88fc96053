// Row blocks: the count of each row's entries that count toward a block,
// the queue of candidate rows, the gathering of a row's square linear block
// and the dispatch of each block to the rule for its size.
#include "presolve/rows/RowBlocks.hpp"

#include <cmath>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Output.hpp"
#include "core/Workspace.hpp"
#include "presolve/PresolveQueue.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowBlockOne.hpp"
#include "presolve/rows/RowBlockTwo.hpp"
#include "presolve/rows/RowCompare.hpp"
#include "presolve/rows/RowShared.hpp"
#include "presolve/rows/RowThree.hpp"

namespace {

// A row with this many counted entries or more is never a block row.
constexpr std::int32_t kBlockRowLimit = 5;
// The largest block gathered.
constexpr std::int32_t kBlockLimit = 4;

// blockCount: Workspace integer vector 6, element r at offset r - 1.
std::int32_t* BlockCounts() { return IDenseVector_Array(Workspace_IVector(6)); }

void QueueIfShort(std::int32_t r) {
  const std::int32_t* marks = IDenseVector_Array(Row_LinearMark());
  if (marks[r - 1] > 0 && !PresolveQueue_Queued(r) && BlockCounts()[r - 1] < kBlockRowLimit) {
    PresolveQueue_Append(r);
  }
}

// Position of variable c among rows[0..k-1], or -1.
std::int32_t Find(const std::int32_t* rows, std::int32_t k, std::int32_t c) {
  for (std::int32_t m = 0; m < k; ++m) {
    if (rows[m] == c) return m;
  }
  return -1;
}

void ClearBlock(std::int32_t* rows, double* lower, double* upper, double (*coef)[4],
                double* constant) {
  for (std::int32_t i = 0; i < kBlockLimit; ++i) {
    rows[i] = 0;
    lower[i] = 0.0;
    upper[i] = 0.0;
    constant[i] = 0.0;
    for (std::int32_t j = 0; j < kBlockLimit; ++j) coef[i][j] = 0.0;
  }
}

// Appends variable c as the k-th block variable.
void Append(const PresolveView& v, std::int32_t c, std::int32_t* rows, double* lower,
            double* upper, std::int32_t* k) {
  rows[*k] = c;
  lower[*k] = v.lower[c - 1];
  upper[*k] = v.upper[c - 1];
  *k += 1;
}

// Adds the counted entries of block row j to the block, appending new
// variables. Returns 0, or the GetBlock failure code.
int GatherRow(const PresolveView& v, std::int32_t j, double jactol, std::int32_t* rows,
              double* lower, double* upper, double (*coef)[4], std::int32_t* k) {
  const std::int32_t r = rows[j];
  for (std::int32_t e = v.RowBegin(r); e < v.RowEnd(r); ++e) {
    const std::int32_t p = v.row_entry[e] - 1;
    const std::int32_t c = v.entry_column[p];
    if (v.Fixed(c)) continue;
    // A linear-marked row has no nonlinear entry in an unfixed column.
    if (!Row_EntryLinear(v.entry_type[p])) return -3;
    const double a = v.value[p];
    if (std::fabs(a) <= jactol) continue;
    std::int32_t m = Find(rows, *k, c);
    if (m < 0) {
      if (*k == kBlockLimit) return -1;
      m = *k;
      Append(v, c, rows, lower, upper, k);
    }
    coef[j][m] = a;
  }
  return 0;
}

void TraceBlock(std::int32_t row, std::int32_t k, const std::int32_t* rows, const double* lower,
                const double* upper, const double (*coef)[4], const double* constant) {
  Output_Printf(OUTPUT_LOG, "GetBlock (%2d): %2d x %2d:\n", row, k, k);
  for (std::int32_t i = 0; i < k; ++i) {
    Output_Printf(OUTPUT_LOG, "     % 2.1e <= x[%2d] <= % 2.1e  perp", lower[i], rows[i],
                  upper[i]);
    for (std::int32_t m = 0; m < k; ++m) {
      Output_Printf(OUTPUT_LOG, "  %+2.1e*x[%2d]", coef[i][m], rows[m]);
    }
    Output_Printf(OUTPUT_LOG, "  %+2.1e\n", constant[i]);
  }
}

}  // namespace

void Row_CountBlockEntries(MCP* mcp) {
  const PresolveView v = Presolve_View(mcp);
  const double jactol = RowTolerance_Current().jactol;
  IDenseVector_FillZero(Workspace_IVector(6), v.n);
  std::int32_t* counts = BlockCounts();
  for (std::int32_t c = 1; c <= v.n; ++c) {
    if (v.Fixed(c)) continue;
    for (std::int32_t p = v.ColBegin(c); p < v.ColEnd(c); ++p) {
      const std::int32_t r = v.row[p];
      if (!v.Fixed(r) && Row_EntryCounts(v.entry_type[p], v.value[p], jactol)) counts[r - 1] += 1;
    }
  }
}

void Row_FillQueue(MCP* mcp) {
  const std::int32_t n = MCP_FullVariables(mcp);
  PresolveQueue_Reset(n);
  for (std::int32_t r = 1; r <= n; ++r) QueueIfShort(r);
}

void Row_BlockEntryGone(std::int32_t r) {
  BlockCounts()[r - 1] -= 1;
  QueueIfShort(r);
}

void Row_BlockRowGone(std::int32_t r) { BlockCounts()[r - 1] = 0; }

int GetBlock(MCP* mcp, std::int32_t row, std::int32_t* rows, double* lower, double* upper,
             double (*coef)[4], double* constant, double* scale) {
  const PresolveView v = Presolve_View(mcp);
  const double jactol = RowTolerance_Current().jactol;
  const std::int32_t* counts = BlockCounts();
  ClearBlock(rows, lower, upper, coef, constant);
  std::int32_t k = 0;
  Append(v, row, rows, lower, upper, &k);
  for (std::int32_t j = 0; j < k; ++j) {
    if (v.mark[rows[j] - 1] == 0) return -2;
    if (counts[rows[j] - 1] > kBlockLimit) return -1;
    const int failure = GatherRow(v, j, jactol, rows, lower, upper, coef, &k);
    if (failure != 0) return failure;
  }
  const double* saved = DenseVector_Array(MCP_PresolveSavedX(mcp));
  for (std::int32_t i = 0; scale != nullptr && i < kBlockLimit; ++i) scale[i] = 0.0;
  for (std::int32_t i = 0; i < k; ++i) {
    RowSum sum = RowSum_StartRow(v, saved, rows[i]);
    for (std::int32_t m = 0; m < k; ++m) RowSum_Take(&sum, coef[i][m] * saved[rows[m] - 1]);
    constant[i] = RowSum_Value(sum);
    if (scale != nullptr) scale[i] = sum.scale;
  }
  if (Row_TraceLevel() >= 3) TraceBlock(row, k, rows, lower, upper, coef, constant);
  return k;
}

int Row_Blocks(MCP* mcp, std::int32_t level, std::int32_t* one, std::int32_t* two,
               std::int32_t* thr, std::int32_t* qua, std::int32_t* wbd) {
  *one = *two = *thr = *qua = *wbd = 0;
  const RowBlockRule rules[3] = {Row_OneBlock, Row_TwoBlock, Row_ThreeBlock};
  std::int32_t* counters[3] = {one, two, thr};
  const std::int32_t* marks = IDenseVector_Array(Row_LinearMark());
  RowBlock block;
  while (PresolveQueue_Count() > 0) {
    const std::int32_t row = PresolveQueue_Take();
    if (marks[row - 1] == 0) continue;
    const int k = GetBlock(mcp, row, block.rows, block.lower, block.upper, block.coef,
                           block.constant, block.scale);
    if (k == -3) return ROW_CANNOT;
    // Too large or not linear: skipped; four rows get no rule. Nor does a
    // block whose constants may move through terms that count as zero: its
    // solution sets would rest on their values at savedX.
    if (k < 1 || k > 3 || Row_RowsMayMove(mcp, block.rows, k)) continue;
    const int status = rules[k - 1](mcp, level, block.rows, block.lower, block.upper, block.coef,
                                    block.constant, counters[k - 1], wbd, block.scale);
    if (status == ROW_INFEASIBLE || status == ROW_CANNOT) return status;
  }
  return ROW_CONTINUE;
}
