// Preconditioner record: the constructors that fill its slots and the
// process-wide settings of the kinds.
#include "iterative/Precond.hpp"

#include "core/Workspace.hpp"
#include "iterative/Precond_internal.hpp"

namespace precond_internal {
std::int32_t band_width = 1;
int ilu_factor_ready = 0;
int ilu_exponent = 0;
}  // namespace precond_internal

using namespace precond_internal;

Preconditioner* Precond_Clear(Preconditioner* record) {
  *record = Preconditioner{};
  record->side = PRECOND_LEFT;
  return record;
}

Preconditioner* Precond_CreateBand(Preconditioner* record, std::int32_t b) {
  Precond_Clear(record);
  // A width below 1 has no meaning (and would index before the storage);
  // above the storage's width the widest band is used.
  const std::int32_t widest = Workspace_PreconditionerBand();
  band_width = b < 1 ? 1 : (b > widest ? widest : b);
  if (band_width == 1) {
    record->setup = Precond_DiagonalSetup;
    record->finish = Precond_DiagonalFinish;
    record->left_apply = Precond_DiagonalApply;
  } else if (band_width == 2) {
    record->setup = Precond_TridiagonalSetup;
    record->finish = Precond_TridiagonalFinish;
    record->left_apply = Precond_TridiagonalApply;
  } else {
    record->setup = Precond_BandSetup;
    record->finish = Precond_BandFinish;
    record->left_apply = Precond_BandApply;
  }
  // M = L D L' is symmetric: its transpose solve is the solve itself.
  record->left_apply_transpose = record->left_apply;
  return record;
}

namespace {

Preconditioner* CreateILU(Preconditioner* record, Precond_Side side) {
  Precond_Clear(record);
  record->side = side;
  record->setup = Precond_ILUSetup;
  record->finish = Precond_ILUFinish;
  // On both sides the whole factor B^-1 is applied on each side (the basis
  // layer offers no separate L and U solves), so the operator becomes
  // B^-1 A B^-1 rather than a split of B.
  if (side != PRECOND_RIGHT) {
    record->left_apply = Precond_ILUApply;
    record->left_apply_transpose = Precond_ILUApplyT;
  }
  if (side != PRECOND_LEFT) {
    record->right_apply = Precond_ILUApply;
    record->right_apply_transpose = Precond_ILUApplyT;
  }
  return record;
}

}  // namespace

Preconditioner* Precond_CreateILULeft(Preconditioner* record) {
  return CreateILU(record, PRECOND_LEFT);
}
Preconditioner* Precond_CreateILURight(Preconditioner* record) {
  return CreateILU(record, PRECOND_RIGHT);
}
Preconditioner* Precond_CreateILUBoth(Preconditioner* record) {
  return CreateILU(record, PRECOND_BOTH);
}

std::int32_t Precond_BandWidth() { return band_width; }

void Precond_ForgetState() {
  band_width = 1;
  ilu_factor_ready = 0;
  ilu_exponent = 0;
}

bool Precond_StateAtRest() {
  return band_width == 1 && ilu_factor_ready == 0 && ilu_exponent == 0;
}
