// Basis: the current back-end table and the timed wrappers around it.
#include "factorization/Basis.hpp"

#include <type_traits>

#include "core/Error.hpp"
#include "core/Memory.hpp"
#include "core/Timer.hpp"

namespace {

const Basis_Interface empty_table = {};
const Basis_Interface* current = &empty_table;
// Work done through every Basis of the process since the latest reset.
BasisCounters counters = {};

// Adds the time of one back-end call to the Basis: the timer is restarted
// right before the call and read right after it.
template <class Call>
auto Timed(Basis* basis, Call call) -> decltype(call()) {
  Timer_Start(basis->timer);
  if constexpr (std::is_void_v<decltype(call())>) {
    call();
    basis->seconds += Timer_Query(basis->timer);
  } else {
    auto result = call();
    basis->seconds += Timer_Query(basis->timer);
    return result;
  }
}

// The Basis's own table, with the named slot present.
template <class Slot>
Slot Require(const Basis* basis, Slot Basis_Interface::*slot, const char* message) {
  if (basis == nullptr || basis->table == nullptr || basis->table->*slot == nullptr) {
    Error_SolverError("%s", message);
  }
  return basis->table->*slot;
}

}  // namespace

void Basis_SetInterface(const Basis_Interface* table) {
  if (table == nullptr) Error_Report("Basis", __LINE__, "SetInterface", "null argument");
  current = table;
}

const Basis_Interface* Basis_GetInterface() { return current; }

void Basis_ForgetState() { current = &empty_table; }

bool Basis_StateAtRest() { return current == &empty_table; }

Basis* Basis_Create(std::int32_t m, std::int32_t n, std::int32_t nnz) {
  const Basis_Interface* table = current;
  if (table == nullptr || table->create == nullptr) {
    Error_SolverError("No basis create routine.\n");
  }
  auto* basis = Memory_AllocateArray<Basis>(1);
  basis->table = table;
  basis->handle = nullptr;
  basis->timer = nullptr;
  basis->seconds = 0.0;
  try {
    basis->timer = Timer_Create();
    Timer_Start(basis->timer);
    basis->handle = table->create(m, n, nnz);
    basis->seconds = Timer_Query(basis->timer);
  } catch (...) {
    // A failure left by exception: release what was made.
    if (basis->timer != nullptr) Timer_Destroy(basis->timer);
    Memory_Free(basis);
    throw;
  }
  return basis;
}

void Basis_Destroy(Basis* basis) {
  if (basis == nullptr) return;
  auto destroy = Require(basis, &Basis_Interface::destroy, "No basis destroy routine.\n");
  destroy(basis->handle);
  Timer_Destroy(basis->timer);
  Memory_Free(basis);
}

void Basis_Size(Basis* basis, std::int32_t m, std::int32_t n, std::int32_t nnz) {
  auto size = Require(basis, &Basis_Interface::size, "No basis size routine.\n");
  Timed(basis, [&] { size(basis->handle, m, n, nnz); });
}

int Basis_Factor(Basis* basis, SparseMatrix* A, IDenseVector* cols) {
  auto factor = Require(basis, &Basis_Interface::factor, "No basis factor routine.\n");
  const int status = Timed(basis, [&] { return factor(basis->handle, A, cols); });
  counters.factorizations += 1;
  return status;
}

int Basis_Replace(Basis* basis, SparseMatrix* A, IDenseVector* cols, std::int32_t k) {
  auto replace = Require(basis, &Basis_Interface::replace, "No basis replace routine.\n");
  const int status = Timed(basis, [&] { return replace(basis->handle, A, cols, k); });
  if (status == BASIS_UPDATED) {
    counters.updates += 1;
  } else {
    counters.factorizations += 1;
  }
  return status;
}

BasisCounters Basis_GetCounters() { return counters; }

void Basis_ResetCounters() { counters = BasisCounters{}; }

int Basis_Solve(Basis* basis, DenseVector* x, DenseVector* b) {
  auto solve = Require(basis, &Basis_Interface::solve, "No basis solve routine.\n");
  return Timed(basis, [&] { return solve(basis->handle, x, b); });
}

int Basis_SolveT(Basis* basis, DenseVector* x, DenseVector* b) {
  auto solveT = Require(basis, &Basis_Interface::solveT, "No basis solveT routine.\n");
  return Timed(basis, [&] { return solveT(basis->handle, x, b); });
}

int Basis_NumSingular(Basis* basis) {
  auto num_singular =
      Require(basis, &Basis_Interface::num_singular, "No basis num_singular routine.\n");
  return Timed(basis, [&] { return num_singular(basis->handle); });
}

void Basis_GetSingular(Basis* basis, std::int32_t k, std::int32_t* row, std::int32_t* column) {
  auto get_singular =
      Require(basis, &Basis_Interface::get_singular, "No basis get_singular routine.\n");
  Timed(basis, [&] { get_singular(basis->handle, k, row, column); });
}

int Basis_Banner(std::int32_t line, char* buffer, std::int32_t size) {
  if (current == nullptr || current->banner == nullptr) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
  }
  return current->banner(line, buffer, size);
}
