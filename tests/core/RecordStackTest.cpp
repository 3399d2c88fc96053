// RecordStack: LIFO order across chunk boundaries, chunk allocation and the
// empty stack.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "core/RecordStack.hpp"
#include "support/TestSupport.hpp"
#include "VectorFixtures.hpp"

namespace {

class RecordStackTest : public LibraryTest {};

// A record whose every byte depends on k, NaN payloads and -0.0 included,
// so that a copy that is not byte-exact shows.
PresolveRecord Numbered(int k) {
  PresolveRecord record;
  std::memset(&record, 0xA5, sizeof record);
  record.old_lower = k % 7 == 0 ? -0.0 : -1.0 * k;
  record.old_upper = k % 5 == 0 ? std::numeric_limits<double>::infinity() : 0.5 * k;
  std::uint64_t bits = 0x7FF8000000000000ull | static_cast<std::uint64_t>(k);
  if (k % 3 == 0) {
    std::memcpy(&record.value, &bits, sizeof bits);  // a NaN carrying k
  } else {
    record.value = k + 0.25;
  }
  record.second_index = -k;
  record.variable_index = k;
  record.level = k / RECORDSTACK_CHUNK_SIZE;
  record.kind = k % 11;
  return record;
}

bool SameBytes(const PresolveRecord& a, const PresolveRecord& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(RecordStackTest, ChunkBoundary) {
  CountingMemory memory;
  RecordStack* stack = RecordStack_Create();
  EXPECT_EQ(memory.live(), 1);
  for (int k = 1; k <= 102; ++k) RecordStack_Push(stack, Numbered(k));
  EXPECT_EQ(memory.live(), 2);  // one chunk holds 102 records
  RecordStack_Chunk* first = stack->chunk;
  const PresolveRecord* slot_101 = &first->slots[101];

  RecordStack_Push(stack, Numbered(103));
  EXPECT_EQ(memory.live(), 3);  // the 103rd record opens a second chunk
  EXPECT_NE(stack->chunk, first);
  EXPECT_EQ(stack->chunk->next, first);
  EXPECT_EQ(stack->used, 1);
  EXPECT_TRUE(SameBytes(stack->chunk->slots[0], Numbered(103)));
  EXPECT_TRUE(SameBytes(*slot_101, Numbered(102)));  // stored records never move
  EXPECT_EQ(RecordStack_Count(stack), 103);

  PresolveRecord out;
  RecordStack_Pop(stack, out);
  EXPECT_TRUE(SameBytes(out, Numbered(103)));
  EXPECT_EQ(memory.live(), 3);  // the emptied chunk stays for now
  EXPECT_EQ(stack->used, 0);
  RecordStack_Top(stack, out);  // slot 101 of the older chunk
  EXPECT_TRUE(SameBytes(out, Numbered(102)));
  EXPECT_EQ(RecordStack_Count(stack), 102);

  RecordStack_Pop(stack, out);  // frees the empty chunk
  EXPECT_TRUE(SameBytes(out, Numbered(102)));
  EXPECT_EQ(memory.live(), 2);
  EXPECT_EQ(stack->chunk, first);
  EXPECT_EQ(stack->used, 101);

  RecordStack_Destroy(stack);
  EXPECT_EQ(memory.live(), 0);
}

TEST_F(RecordStackTest, PushOntoAnEmptiedChunkReusesIt) {
  CountingMemory memory;
  RecordStack* stack = RecordStack_Create();
  for (int k = 1; k <= 103; ++k) RecordStack_Push(stack, Numbered(k));
  PresolveRecord out;
  RecordStack_Pop(stack, out);
  RecordStack_Chunk* emptied = stack->chunk;
  RecordStack_Push(stack, Numbered(500));
  EXPECT_EQ(stack->chunk, emptied);
  EXPECT_EQ(memory.allocations, 3);
  RecordStack_Top(stack, out);
  EXPECT_TRUE(SameBytes(out, Numbered(500)));
  RecordStack_Destroy(stack);
  EXPECT_EQ(memory.live(), 0);
}

TEST_F(RecordStackTest, RecordsComeBackInReverseOrderByteForByte) {
  CountingMemory memory;
  RecordStack* stack = RecordStack_Create();
  for (int round = 0; round < 2; ++round) {
    const int total = 3 * RECORDSTACK_CHUNK_SIZE + 5;
    for (int k = 1; k <= total; ++k) {
      RecordStack_Push(stack, Numbered(k));
      PresolveRecord top;
      RecordStack_Top(stack, top);
      ASSERT_TRUE(SameBytes(top, Numbered(k))) << k;
    }
    EXPECT_EQ(memory.live(), 1 + 4);  // header and four chunks
    for (int k = total; k >= 1; --k) {
      PresolveRecord out;
      RecordStack_Pop(stack, out);
      ASSERT_TRUE(SameBytes(out, Numbered(k))) << k;
      EXPECT_EQ(RecordStack_Count(stack), k - 1);
    }
    // Back in the created state: no chunk at all.
    EXPECT_EQ(stack->chunk, nullptr);
    EXPECT_EQ(stack->count, 0);
    EXPECT_EQ(stack->used, 0);
    EXPECT_EQ(memory.live(), 1);
  }
  RecordStack_Destroy(stack);
  EXPECT_EQ(memory.live(), 0);
}

TEST_F(RecordStackTest, DestroyFreesWhatItStillHolds) {
  CountingMemory memory;
  RecordStack* stack = RecordStack_Create();
  for (int k = 1; k <= 250; ++k) RecordStack_Push(stack, Numbered(k));
  RecordStack_Destroy(stack);
  EXPECT_EQ(memory.live(), 0);
  RecordStack_Destroy(nullptr);
}

TEST_F(RecordStackTest, EmptyStackIsASolverError) {
  RecordStack* stack = RecordStack_Create();
  PresolveRecord out = Numbered(9);
  EXPECT_SOLVER_ERROR(RecordStack_Pop(stack, out), "): Pop: stack is empty\n");
  EXPECT_SOLVER_ERROR(RecordStack_Top(stack, out), "): Top: stack is empty\n");
  EXPECT_NE(output()->status().find("RecordStack("), std::string::npos);
  EXPECT_TRUE(SameBytes(out, Numbered(9)));
  EXPECT_EQ(stack->chunk, nullptr);
  EXPECT_EQ(stack->count, 0);
  // Still usable afterwards, also after it was emptied by pops.
  RecordStack_Push(stack, Numbered(1));
  RecordStack_Pop(stack, out);
  EXPECT_SOLVER_ERROR(RecordStack_Pop(stack, out), "stack is empty");
  RecordStack_Push(stack, Numbered(2));
  EXPECT_EQ(RecordStack_Count(stack), 1);
  RecordStack_Destroy(stack);
}

TEST_F(RecordStackTest, FailedChunkAllocationKeepsTheStack) {
  CountingMemory memory;
  RecordStack* stack = RecordStack_Create();
  for (int k = 1; k <= 102; ++k) RecordStack_Push(stack, Numbered(k));
  memory.fail = true;
  EXPECT_SOLVER_ERROR(RecordStack_Push(stack, Numbered(103)), "allocation failed");
  memory.fail = false;
  EXPECT_EQ(RecordStack_Count(stack), 102);
  PresolveRecord out;
  RecordStack_Top(stack, out);
  EXPECT_TRUE(SameBytes(out, Numbered(102)));
  RecordStack_Destroy(stack);
  EXPECT_EQ(memory.live(), 0);
}

}  // namespace
