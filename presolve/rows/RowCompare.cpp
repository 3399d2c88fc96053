// The tolerance record of the row presolve's exact small solves.
#include "presolve/rows/RowCompare.hpp"

#include "core/Options.hpp"
#include "presolve/PresolveOptions.hpp"

RowTolerance RowTolerance_Current() {
  RowTolerance tol;
  tol.zerotol = Presolve_OptionDouble(PRESOLVE_ZERO_TOLERANCE);
  tol.jactol = Presolve_OptionDouble(PRESOLVE_JACOBIAN_TOLERANCE);
  tol.infinity = Options_CommonDouble(COMMON_INFINITY);
  return tol;
}
