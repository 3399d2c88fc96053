// The presolve's row queue over Workspace integer vectors 1 and 2.
#include "presolve/PresolveQueue.hpp"

#include "core/Error.hpp"
#include "core/IDenseVector.hpp"
#include "core/Workspace.hpp"

namespace {

std::int32_t queue_size = 0;  // n of the last reset
std::int32_t queue_head = 1;
std::int32_t queue_count = 0;

std::int32_t* Slots() { return IDenseVector_Array(Workspace_IVector(1)); }
std::int32_t* Flags() { return IDenseVector_Array(Workspace_IVector(2)); }

void CheckIndex(std::int32_t i) {
  if (i < 1 || i > queue_size) Error_Report("PresolveQueue", __LINE__, "Append", "index out of range");
}

}  // namespace

void PresolveQueue_Reset(std::int32_t n) {
  queue_size = n;
  queue_head = 1;
  queue_count = 0;
  IDenseVector_FillZero(Workspace_IVector(1), n);
  IDenseVector_FillZero(Workspace_IVector(2), n);
}

void PresolveQueue_Append(std::int32_t i) {
  CheckIndex(i);
  std::int32_t* flags = Flags();
  if (flags[i - 1] != 0) return;
  std::int32_t slot = queue_head + queue_count;
  if (slot > queue_size) slot -= queue_size;
  Slots()[slot - 1] = i;
  flags[i - 1] = 1;
  queue_count += 1;
}

std::int32_t PresolveQueue_Take() {
  if (queue_count <= 0) return 0;
  std::int32_t i = Slots()[queue_head - 1];
  Flags()[i - 1] = 0;
  queue_head += 1;
  if (queue_head > queue_size) queue_head = 1;
  queue_count -= 1;
  return i;
}

int PresolveQueue_Queued(std::int32_t i) {
  if (i < 1 || i > queue_size) return 0;
  return Flags()[i - 1];
}

std::int32_t PresolveQueue_Head() { return queue_head; }
std::int32_t PresolveQueue_Count() { return queue_count; }

bool PresolveQueue_AtRest() { return queue_size == 0 && queue_head == 1 && queue_count == 0; }

void PresolveQueue_Forget() {
  queue_size = 0;
  queue_head = 1;
  queue_count = 0;
}
