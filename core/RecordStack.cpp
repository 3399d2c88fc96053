// RecordStack: a LIFO of PresolveRecords in chunks of 102.
#include "core/RecordStack.hpp"

#include "core/Error.hpp"
#include "core/Memory.hpp"

namespace {

RecordStack_Chunk* NewChunk(RecordStack_Chunk* next) {
  auto* chunk = static_cast<RecordStack_Chunk*>(Memory_Allocate(sizeof(RecordStack_Chunk)));
  chunk->next = next;
  return chunk;
}

}  // namespace

RecordStack* RecordStack_Create() {
  auto* stack = static_cast<RecordStack*>(Memory_Allocate(sizeof(RecordStack)));
  stack->chunk = nullptr;
  stack->count = 0;
  stack->used = 0;
  return stack;
}

void RecordStack_Destroy(RecordStack* stack) {
  if (stack == nullptr) return;
  RecordStack_Chunk* chunk = stack->chunk;
  while (chunk != nullptr) {
    RecordStack_Chunk* older = chunk->next;
    Memory_Free(chunk);
    chunk = older;
  }
  Memory_Free(stack);
}

std::int32_t RecordStack_Count(const RecordStack* stack) { return stack->count; }

void RecordStack_Push(RecordStack* stack, const PresolveRecord& record) {
  if (stack->chunk == nullptr) {
    stack->chunk = NewChunk(nullptr);
    stack->count = 0;
    stack->used = 0;
  } else if (stack->used == RECORDSTACK_CHUNK_SIZE) {
    stack->chunk = NewChunk(stack->chunk);
    stack->used = 0;
  }
  stack->chunk->slots[stack->used] = record;
  stack->used += 1;
  stack->count += 1;
}

void RecordStack_Pop(RecordStack* stack, PresolveRecord& record) {
  if (stack->count <= 0) Error_Report("RecordStack", __LINE__, "Pop", "stack is empty");
  stack->used -= 1;
  stack->count -= 1;
  if (stack->used < 0) {
    // The newest chunk was emptied by an earlier pop: drop it and continue
    // in the full chunk below it.
    RecordStack_Chunk* empty = stack->chunk;
    stack->chunk = empty->next;
    Memory_Free(empty);
    stack->used = RECORDSTACK_CHUNK_SIZE - 1;
  }
  record = stack->chunk->slots[stack->used];
  if (stack->count == 0) {
    Memory_Free(stack->chunk);
    stack->chunk = nullptr;
    stack->used = 0;
  }
}

void RecordStack_Top(const RecordStack* stack, PresolveRecord& record) {
  if (stack->count <= 0) Error_Report("RecordStack", __LINE__, "Top", "stack is empty");
  if (stack->used > 0) {
    record = stack->chunk->slots[stack->used - 1];
  } else {
    record = stack->chunk->next->slots[RECORDSTACK_CHUNK_SIZE - 1];
  }
}
