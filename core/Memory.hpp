// Memory service: every allocation of the library goes through it, so that a
// host can supply its own allocator. Two kinds: ordinary memory and factor
// storage (the large blocks of the sparse LU back-end).
#pragma once

#include <cstddef>
#include <cstdint>

struct Memory_Interface {
  void* context;
  void* (*allocate)(void* context, std::size_t size);
  void* (*allocate_factors)(void* context, std::size_t size);
  void (*free)(void* context, void* block);
  void (*free_factors)(void* context, void* block);
};

// Size 0 returns nullptr without calling the allocator. A failed allocation
// is the solver error "allocation failed" (never returns nullptr otherwise);
// so is a block larger than the machine's physical memory, refused without
// calling the allocator. Memory is not cleared.
void* Memory_Allocate(std::size_t size);
void* Memory_AllocateFactors(std::size_t size);

// nullptr is ignored.
void Memory_Free(void* block);
void Memory_FreeFactors(void* block);

// Requires the record and its four function slots ("null element").
void Memory_SetInterface(Memory_Interface* record);
void Memory_Reset();

// Allocates count elements of element_size bytes. The size arithmetic is
// done in 64 bits: a negative count, a count beyond the 32-bit range or a
// byte size beyond the allocator's range is the solver error
// "allocation failed". count 0 returns nullptr.
void* Memory_AllocateCount(std::int64_t count, std::size_t element_size);
void* Memory_AllocateFactorsCount(std::int64_t count, std::size_t element_size);

// A new record of type Record (value-initialised: every member pointer
// null), built by build(record). When build throws (a failed allocation, a
// solver error), free_record(record) gives back whatever build made, and the
// record itself, before the exception goes on; it must accept members that
// are still null.
template <class Record, class Build, class Free>
Record* Memory_NewRecord(Build&& build, Free&& free_record) {
  Record* record = static_cast<Record*>(Memory_Allocate(sizeof(Record)));
  *record = Record{};
  try {
    build(record);
  } catch (...) {
    free_record(record);
    throw;
  }
  return record;
}

template <class T>
inline T* Memory_AllocateArray(std::int64_t count) {
  return static_cast<T*>(Memory_AllocateCount(count, sizeof(T)));
}
template <class T>
inline T* Memory_AllocateFactorsArray(std::int64_t count) {
  return static_cast<T*>(Memory_AllocateFactorsCount(count, sizeof(T)));
}
