// The row pass: levels of forcing rows, row blocks and duplicate rows, with
// the recount, the linear marks, the summaries and the new evaluation of F
// after every level that changed the problem.
#include "presolve/RowPass.hpp"

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/Interrupt.hpp"
#include "core/Output.hpp"
#include "presolve/Presolve.hpp"
#include "presolve/PresolveOptions.hpp"
#include "presolve/Presolve_internal.hpp"
#include "presolve/rows/RowBlocks.hpp"
#include "presolve/rows/RowDuplicates.hpp"
#include "presolve/rows/RowForce.hpp"
#include "presolve/rows/RowShared.hpp"
#include "problems/MCP.hpp"

namespace {

// What the forcing rows and the row blocks reduced in one round.
struct RoundCounts {
  std::int32_t one = 0;
  std::int32_t two = 0;
  std::int32_t thr = 0;
  std::int32_t qua = 0;
  std::int32_t wbd = 0;
  std::int32_t fix = 0;
  std::int32_t ifx = 0;

  std::int32_t Blocks() const { return one + two + thr + qua; }
  std::int32_t Reduced() const { return Blocks() + wbd + fix; }
};

void PrintRound(const RoundCounts& c) {
  Output_Printf(OUTPUT_LOG,
                "MCPR: One: %4d Two: %4d Thr: %4d Qua: %4d WBd: %4d Fix: %4d IFx: %4d\n", c.one,
                c.two, c.thr, c.qua, c.wbd, c.fix, c.ifx);
}

void PrintLevel(std::int32_t level, std::int32_t linear) {
  if (Row_TraceLevel() >= 2) {
    Output_Printf(OUTPUT_LOG, "MCPR: Level: %2d Linear Rows: %4d\n", level, linear);
  }
}

int Blocks(MCP* mcp, std::int32_t level, RoundCounts* c) {
  Interrupt_Check();
  Row_CountBlockEntries(mcp);
  Row_FillQueue(mcp);
  return Row_Blocks(mcp, level, &c->one, &c->two, &c->thr, &c->qua, &c->wbd);
}

// The forcing rows, then the row blocks. The blocks run only when forcing
// fixed something, unless always_blocks (the first round of a level).
int Round(MCP* mcp, std::int32_t level, bool always_blocks, RoundCounts* c) {
  Interrupt_Check();
  int status = Row_ForceRows(mcp, level, &c->fix, &c->ifx);
  if (status != ROW_CONTINUE) return status;
  if (always_blocks || c->fix != 0) return Blocks(mcp, level, c);
  c->one = c->two = c->thr = c->qua = c->wbd = 0;
  return ROW_CONTINUE;
}

// The linear marks clamped to 0 and 1; returns how many rows are marked.
std::int32_t ClampMarks() {
  IDenseVector* marks = Row_LinearMark();
  IDenseVector_MinScalar(marks, marks, 1);
  IDenseVector_MaxScalar(marks, marks, 0);
  return static_cast<std::int32_t>(IDenseVector_Sum(marks));
}

// The rules of one level; *changed tells whether they reduced anything.
int Level(MCP* mcp, std::int32_t level, bool* changed) {
  Row_CountActive(mcp);
  std::int32_t linear = Row_MarkLinear(mcp);
  if (linear == 0) return ROW_CONTINUE;
  PrintLevel(level, linear);

  RoundCounts c;
  int status = Round(mcp, level, true, &c);
  if (status != ROW_CONTINUE) return status;
  *changed = c.Reduced() != 0;
  if (c.Reduced() + c.ifx != 0) PrintRound(c);
  // Blocks that fixed variables may have made other rows forcing: forcing
  // and blocks again, on the counts and marks the fixings kept current.
  while (c.Blocks() != 0) {
    Interrupt_Check();
    linear = ClampMarks();
    if (linear == 0) return ROW_CONTINUE;
    PrintLevel(level, linear);
    status = Round(mcp, level, false, &c);
    if (status != ROW_CONTINUE) return status;
    if (c.fix != 0) PrintRound(c);
  }

  Interrupt_Check();
  std::int32_t dup = 0;
  std::int32_t dbd = 0;
  status = Row_Duplicates(mcp, level, &dup, &dbd);
  if (status != ROW_CONTINUE) return status;
  if (dup + dbd != 0) {
    *changed = true;
    Output_Printf(OUTPUT_LOG, "MCPR: Imp: %4d IBd: %4d Dup: %4d DBd: %4d\n", 0, 0, dup, dbd);
  }
  return ROW_CONTINUE;
}

// After a changed level: x takes the working point (or, with
// presolve_project_implied off, keeps its values projected onto the new
// bounds) and F is evaluated there.
int NewPoint(MCP* mcp) {
  if (Presolve_OptionBool(PRESOLVE_PROJECT_IMPLIED)) {
    DenseVector_CloneFull(MCP_FullX(mcp), MCP_PresolveSavedX(mcp));
  } else {
    DenseVector_Mid(MCP_FullX(mcp), MCP_FullX(mcp), MCP_FullLower(mcp), MCP_FullUpper(mcp));
  }
  if (MCP_EvaluateFullFunction(mcp) != 0) {
    Output_Printf(OUTPUT_LOG, "Function undefined.\n");
    return ROW_UNDEFINED;
  }
  Presolve_MarkEvaluated(mcp);
  return ROW_CONTINUE;
}

}  // namespace

int MCPR(MCP* mcp, std::int32_t* level, std::int32_t* changed) {
  *changed = 0;
  for (;;) {
    DenseVector_CloneFull(MCP_PresolveSavedX(mcp), MCP_FullX(mcp));
    Interrupt_Check();
    bool level_changed = false;
    int status = Level(mcp, *level, &level_changed);
    if (status != ROW_CONTINUE) return status;
    if (!level_changed) return ROW_CONTINUE;
    *level += 1;
    status = NewPoint(mcp);
    if (status != ROW_CONTINUE) return status;
    *changed = 1;
  }
}

void Row_CountActive(MCP* mcp) { MCP_CountActive(mcp); }

std::int32_t Row_MarkLinear(MCP* mcp) {
  const PresolveView v = Presolve_View(mcp);
  IDenseVector* marks = Row_LinearMark();
  IDenseVector_FillOne(marks, v.n);
  std::int32_t* mark = IDenseVector_Array(marks);
  std::int32_t linear = 0;
  for (std::int32_t i = 1; i <= v.n; ++i) {
    if (v.Fixed(i)) {
      mark[i - 1] = 0;
      continue;
    }
    for (std::int32_t k = v.RowBegin(i); k < v.RowEnd(i); ++k) {
      const std::int32_t p = v.row_entry[k] - 1;
      if (!Row_EntryLinear(v.entry_type[p]) && !v.Fixed(v.entry_column[p])) {
        mark[i - 1] = 0;
        break;
      }
    }
    linear += mark[i - 1];
  }
  return linear;
}
