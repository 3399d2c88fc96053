// RecordStack: the stack of presolve reduction records. The presolve pushes
// one PresolveRecord per reduction; the postsolve reads them back in
// reverse order. Records are kept in chunks of 102, so a push never moves
// a stored record and at most one chunk is allocated or freed per 102
// operations.
#pragma once

#include <cstdint>
#include <type_traits>

// One reduction: the bounds of a variable before the reduction, its value,
// and four integers (a second index, the variable's index, the presolve
// level, the kind of reduction; kind -1 marks the bottom record). The stack
// copies it whole and never interprets it.
struct PresolveRecord {
  double old_lower;
  double old_upper;
  double value;
  std::int32_t second_index;
  std::int32_t variable_index;
  std::int32_t level;
  std::int32_t kind;
};
static_assert(sizeof(PresolveRecord) == 40, "PresolveRecord must stay 40 bytes");
static_assert(std::is_trivially_copyable<PresolveRecord>::value,
              "PresolveRecord is copied as plain bytes");

constexpr std::int32_t RECORDSTACK_CHUNK_SIZE = 102;

// Chunk of RECORDSTACK_CHUNK_SIZE records, filled from slot 0 upwards.
struct RecordStack_Chunk {
  RecordStack_Chunk* next;  // the next older chunk, or nullptr
  PresolveRecord slots[RECORDSTACK_CHUNK_SIZE];
};

// Invariants: count is the sum of the used slots of all chunks; every chunk
// but the newest is full; the newest may be empty after a pop while older
// chunks hold records; count 0 means no chunk.
struct RecordStack {
  RecordStack_Chunk* chunk;  // the newest chunk, or nullptr
  std::int32_t count;        // records on the stack
  std::int32_t used;         // slots in use in the newest chunk (0..102)
};

// New empty stack (no chunk).
RecordStack* RecordStack_Create();

// Frees every chunk, newest first, then the header. nullptr is ignored.
void RecordStack_Destroy(RecordStack* stack);

// Number of records on the stack.
std::int32_t RecordStack_Count(const RecordStack* stack);

// Copies record onto the stack (a new chunk when the newest is full).
void RecordStack_Push(RecordStack* stack, const PresolveRecord& record);

// Copies the top record into record and removes it. An empty stack is the
// solver error "stack is empty" and changes nothing.
void RecordStack_Pop(RecordStack* stack, PresolveRecord& record);

// Copies the top record into record; the stack is unchanged. An empty stack
// is the solver error "stack is empty".
void RecordStack_Top(const RecordStack* stack, PresolveRecord& record);
