// Widening of the crash's free set along a moving front, on a chain of
// variables (F_i depends on x_{i-1}, x_i, x_{i+1}): the depth doubles while
// the front moves one way, stops when it turns or the widening overshot,
// and waits while the factors could take the rule's own step as updates
// (after a correction or a short step);
// an overshoot correction gives back exactly the widened variables beyond
// a bound, the first one starts the doubling again and a later one stops
// the widening, and a retraction restores the rule's own memberships.
#include "solver/CrashFront.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DenseVector.hpp"
#include "core/IDenseVector.hpp"
#include "core/SparseMatrix.hpp"
#include "core/SparseTestSupport.hpp"
#include "problems/MCP.hpp"

namespace {

constexpr int kN = 40;

// "F" free, "L" held at the lower bound, one letter per variable.
std::vector<int> Codes(const std::string& letters) {
  std::vector<int> codes;
  for (char c : letters) codes.push_back(c == 'F' ? BASIS_BASIC : BASIS_LOWER);
  return codes;
}

// The first free count variables, the rest held.
std::string FreeFirst(int count) { return std::string(count, 'F') + std::string(kN - count, 'L'); }

class CrashFrontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<sparse_test::Entry> entries;
    for (int j = 1; j <= kN; ++j) {
      for (int i = j - 1; i <= j + 1; ++i) {
        if (i >= 1 && i <= kN) entries.push_back({i, j, i == j ? 2.0 : -1.0});
      }
    }
    J_ = sparse_test::Build(kN, kN, entries, sparse_test::Layout::kPacked);
    for (IDenseVector*& v : vectors_) {
      v = IDenseVector_Create(kN);
      IDenseVector_SetLength(v, kN);
    }
    front_ = CrashFront_Start(vectors_[0], vectors_[1], vectors_[2]);
  }
  void TearDown() override {
    SparseMatrix_Destroy(J_);
    for (IDenseVector* v : vectors_) IDenseVector_Destroy(v);
  }

  // Sets status to the rule's memberships and widens; returns the widened
  // memberships as letters.
  std::string Widen(const std::string& rule, bool full_step = true, int room = 0) {
    const std::vector<int> codes = Codes(rule);
    for (int i = 0; i < kN; ++i) IDenseVector_SetValue(status(), i + 1, codes[i]);
    CrashFront_Widen(&front_, J_, status(), full_step, room);
    return Letters();
  }
  std::string Letters() const {
    std::string letters;
    for (int i = 0; i < kN; ++i) {
      letters += IDenseVector_Value(vectors_[3], i + 1) == BASIS_BASIC ? 'F' : 'L';
    }
    return letters;
  }
  IDenseVector* status() { return vectors_[3]; }

  // Corrects the latest widening for a direction that takes every variable
  // below its lower bound 0 except variable inside (1-based; 0: none).
  int OvershootAllBut(int inside) {
    DenseVector* v[3];
    for (DenseVector*& d : v) {
      d = DenseVector_Create(kN);
      DenseVector_SetLength(d, kN);
    }
    DenseVector* target = v[0];
    DenseVector* lower = v[1];
    DenseVector* upper = v[2];
    for (int i = 1; i <= kN; ++i) {
      DenseVector_SetValue(lower, i, 0.0);
      DenseVector_SetValue(upper, i, 1e20);
      DenseVector_SetValue(target, i, i == inside ? 0.5 : -1.0);
    }
    const int held = CrashFront_Overshoot(&front_, target, lower, upper, status());
    for (DenseVector* d : v) DenseVector_Destroy(d);
    return held;
  }

  SparseMatrix* J_ = nullptr;
  IDenseVector* vectors_[4] = {};
  CrashFront front_{};
};

TEST_F(CrashFrontTest, DepthDoublesWhileTheFrontMovesOneWay) {
  EXPECT_EQ(Widen(FreeFirst(5)), FreeFirst(5));  // first memberships: nothing to compare
  EXPECT_EQ(Widen(FreeFirst(6)), FreeFirst(7));  // depth 1
  EXPECT_EQ(front_.count, 1);
  EXPECT_EQ(Widen(FreeFirst(8)), FreeFirst(10));  // depth 2 from the newly freed 7 and 8
  EXPECT_EQ(Widen(FreeFirst(11)), FreeFirst(15));  // depth 4
  EXPECT_EQ(front_.depth, 4);
}

TEST_F(CrashFrontTest, ShortStepWidensOnlyForAStepFactoredAfresh) {
  Widen(FreeFirst(5));
  EXPECT_EQ(Widen(FreeFirst(6), false, 1), FreeFirst(6));  // one freed: an update takes it
  EXPECT_EQ(front_.count, 0);
  EXPECT_EQ(Widen(FreeFirst(8), false, 1), FreeFirst(9));  // two freed: depth 1
  EXPECT_EQ(front_.depth, 1);
  EXPECT_EQ(Widen(FreeFirst(11), true, 1), FreeFirst(13));  // a full step: depth 2
}

TEST_F(CrashFrontTest, StopsWhenTheFrontTurnsOrOvershot) {
  struct Case {
    const char* label;
    std::string after;  // the rule's memberships after the widened step
    bool full_step;
    int room;
  };
  const Case cases[] = {
      {"a variable went from free to held", "L" + FreeFirst(8).substr(1), true, 0},
      {"a widened variable came back held", FreeFirst(6).substr(0, kN - 1) + "F", true, 0},
      {"nothing moved", FreeFirst(6), true, 0},
      {"a short step whose freed variables the updates can take", FreeFirst(9), false, 3},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    Widen(FreeFirst(5));
    ASSERT_EQ(Widen(FreeFirst(6)), FreeFirst(7));
    EXPECT_EQ(Widen(c.after, c.full_step, c.room), c.after) << c.label;
    EXPECT_EQ(front_.count, 0) << c.label;
  }
}

TEST_F(CrashFrontTest, FirstOvershootGivesBackTheWidenedVariablesBeyondABound) {
  Widen(FreeFirst(5));
  Widen(FreeFirst(6));
  ASSERT_EQ(Widen(FreeFirst(8)), FreeFirst(10));  // 9 and 10 widened
  Widen(FreeFirst(11));
  ASSERT_EQ(front_.depth, 4);  // 12 to 15 widened
  // 12 is widened and inside its bounds: it stays free.
  EXPECT_EQ(OvershootAllBut(12), 3);
  EXPECT_EQ(Letters(), FreeFirst(12));  // 1-11 are the rule's own: untouched
  EXPECT_EQ(front_.count, 1);

  // The front is near: a step whose two changes the factors can take as
  // updates keeps to the rule's memberships.
  EXPECT_EQ(Widen(FreeFirst(13), true, 2), FreeFirst(13));
  // The front lies beyond the corrected set: the doubling starts again from
  // depth 1, up to a quarter of the depth that overshot.
  EXPECT_EQ(Widen(FreeFirst(15), true, 1), FreeFirst(16));
  EXPECT_EQ(Widen(FreeFirst(17), true, 1), FreeFirst(18));
  EXPECT_EQ(front_.depth, 1);

  // A later overshoot is corrected the same way and stops the widening.
  EXPECT_EQ(OvershootAllBut(12), 1);
  EXPECT_EQ(Letters(), FreeFirst(17));
  EXPECT_EQ(Widen(FreeFirst(19)), FreeFirst(19));
  EXPECT_EQ(front_.count, 0);
}

TEST_F(CrashFrontTest, RetractionRestoresTheRulesMemberships) {
  Widen(FreeFirst(5));
  Widen(FreeFirst(6));
  ASSERT_EQ(Widen(FreeFirst(8)), FreeFirst(10));
  CrashFront_Retract(&front_, status());
  EXPECT_EQ(Letters(), FreeFirst(8));
  EXPECT_EQ(front_.count, 0);
  // The next widening grows to half the depth that failed at most.
  EXPECT_EQ(Widen(FreeFirst(9)), FreeFirst(10));
  EXPECT_EQ(Widen(FreeFirst(11)), FreeFirst(12));

  // A corrected set that fails too: the retraction keeps the quarter the
  // correction allowed rather than half the depth that overshot.
  TearDown();
  SetUp();
  for (int count : {5, 6, 8, 11}) Widen(FreeFirst(count));
  ASSERT_EQ(front_.depth, 4);
  EXPECT_EQ(OvershootAllBut(13), 3);
  CrashFront_Retract(&front_, status());
  EXPECT_EQ(Widen(FreeFirst(12)), FreeFirst(13));  // depth 1 again
  EXPECT_EQ(Widen(FreeFirst(14)), FreeFirst(15));  // and no more
}

}  // namespace
