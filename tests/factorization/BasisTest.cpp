// Basis wrappers over a scripted back-end and a scripted clock: every timed
// slot adds exactly the time spent inside the back-end, missing slots give
// their messages, and a Basis stays with the table it was created with.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/Timer.hpp"
#include "factorization/Basis.hpp"
#include "support/TestSupport.hpp"

namespace {

// A clock that only moves when told to; timers read it.
struct FakeClock {
  double now = 0.0;
  int timers_alive = 0;
};
FakeClock clock_state;

void* ClockCreate(void*) {
  ++clock_state.timers_alive;
  return new double(clock_state.now);
}
void ClockDestroy(void*, void* handle) {
  --clock_state.timers_alive;
  delete static_cast<double*>(handle);
}
void ClockStart(void*, void* handle) { *static_cast<double*>(handle) = clock_state.now; }
double ClockQuery(void*, void* handle) { return clock_state.now - *static_cast<double*>(handle); }
Timer_Interface fake_timer = {nullptr, ClockCreate, ClockDestroy, ClockStart, ClockQuery};

// A back-end that logs its calls ("<table>:<slot>:<handle>") and spends a
// scripted amount of clock time in each.
struct FakeBackend {
  std::vector<std::string> calls;
  int next_handle = 1;
};
FakeBackend backend;

constexpr double kCost[] = {3.0, 100.0, 7.0, 5.0, 4.0, 1.0, 2.0, 0.5, 0.25, 1000.0};

struct Handle {
  char table;
  int id;
};

void Log(const Handle* h, const char* slot) {
  backend.calls.push_back(std::string(1, h->table) + ":" + slot + ":" + std::to_string(h->id));
}

template <char kTable>
struct Slots {
  static void* Create(std::int32_t, std::int32_t, std::int32_t) {
    clock_state.now += kCost[0];
    auto* h = new Handle{kTable, backend.next_handle++};
    Log(h, "create");
    return h;
  }
  static void Destroy(void* h) {
    clock_state.now += kCost[1];
    Log(static_cast<Handle*>(h), "destroy");
    delete static_cast<Handle*>(h);
  }
  static void Size(void* h, std::int32_t, std::int32_t, std::int32_t) {
    clock_state.now += kCost[2];
    Log(static_cast<Handle*>(h), "size");
  }
  static int Factor(void* h, SparseMatrix*, IDenseVector*) {
    clock_state.now += kCost[3];
    Log(static_cast<Handle*>(h), "factor");
    return BASIS_SINGULAR;
  }
  static int Replace(void* h, SparseMatrix*, IDenseVector*, std::int32_t k) {
    clock_state.now += kCost[4];
    Log(static_cast<Handle*>(h), ("replace" + std::to_string(k)).c_str());
    return k < 1 ? BASIS_REBUILT : BASIS_UPDATED;
  }
  static int Solve(void* h, DenseVector*, DenseVector*) {
    clock_state.now += kCost[5];
    Log(static_cast<Handle*>(h), "solve");
    return 0;
  }
  static int SolveT(void* h, DenseVector*, DenseVector*) {
    clock_state.now += kCost[6];
    Log(static_cast<Handle*>(h), "solveT");
    return 0;
  }
  static int NumSingular(void* h) {
    clock_state.now += kCost[7];
    Log(static_cast<Handle*>(h), "num_singular");
    return 2;
  }
  static void GetSingular(void* h, std::int32_t k, std::int32_t* row, std::int32_t* column) {
    clock_state.now += kCost[8];
    Log(static_cast<Handle*>(h), "get_singular");
    *row = 10 * k;
    *column = k;
  }
  static int Banner(std::int32_t line, char* buffer, std::int32_t size) {
    clock_state.now += kCost[9];
    std::snprintf(buffer, size, "%c banner %d", kTable, line);
    return 1;
  }
  static Basis_Interface Table() {
    return {Create, Destroy, Size, Factor, Replace, Solve, SolveT, NumSingular, GetSingular,
            Banner};
  }
};

class BasisTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    saved_ = Basis_GetInterface();
    clock_state = FakeClock{};
    backend = FakeBackend{};
    Timer_SetInterface(&fake_timer);
    table_a_ = Slots<'A'>::Table();
    table_b_ = Slots<'B'>::Table();
  }
  void TearDown() override {
    EXPECT_EQ(clock_state.timers_alive, 0);
    Timer_Reset();
    Basis_SetInterface(saved_);
    LibraryTest::TearDown();
  }
  const Basis_Interface* saved_ = nullptr;
  Basis_Interface table_a_{};
  Basis_Interface table_b_{};
};

TEST_F(BasisTest, EveryTimedSlotAddsExactlyItsOwnTime) {
  Basis_SetInterface(&table_a_);
  clock_state.now = 50.0;
  Basis* basis = Basis_Create(4, 4, 10);
  EXPECT_EQ(Basis_Seconds(basis), kCost[0]);

  struct Step {
    const char* name;
    void (*run)(Basis*);
    double cost;
  };
  const Step steps[] = {
      {"size", [](Basis* b) { Basis_Size(b, 5, 5, 20); }, kCost[2]},
      {"factor", [](Basis* b) { EXPECT_EQ(Basis_Factor(b, nullptr, nullptr), BASIS_SINGULAR); }, kCost[3]},
      {"replace", [](Basis* b) { EXPECT_EQ(Basis_Replace(b, nullptr, nullptr, 3), BASIS_UPDATED); }, kCost[4]},
      {"solve", [](Basis* b) { EXPECT_EQ(Basis_Solve(b, nullptr, nullptr), 0); }, kCost[5]},
      {"solveT", [](Basis* b) { EXPECT_EQ(Basis_SolveT(b, nullptr, nullptr), 0); }, kCost[6]},
      {"num_singular", [](Basis* b) { EXPECT_EQ(Basis_NumSingular(b), 2); }, kCost[7]},
      {"get_singular",
       [](Basis* b) {
         std::int32_t row = 0;
         std::int32_t column = 0;
         Basis_GetSingular(b, 2, &row, &column);
         EXPECT_EQ(row, 20);
         EXPECT_EQ(column, 2);
       },
       kCost[8]},
  };
  double expected = kCost[0];
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    clock_state.now += 1000.0;  // time outside the back-end is not counted
    s.run(basis);
    expected += s.cost;
    EXPECT_EQ(Basis_Seconds(basis), expected);
  }
  // Work repeated accumulates.
  for (int k = 0; k < 3; ++k) Basis_Factor(basis, nullptr, nullptr);
  EXPECT_EQ(Basis_Seconds(basis), expected + 3 * kCost[3]);
  // The banner is not timed and goes to the current table.
  char line[80];
  EXPECT_EQ(Basis_Banner(2, line, sizeof line), 1);
  EXPECT_STREQ(line, "A banner 2");
  EXPECT_EQ(Basis_Seconds(basis), expected + 3 * kCost[3]);
  Basis_Destroy(basis);
  EXPECT_EQ(backend.calls.front(), "A:create:1");
  EXPECT_EQ(backend.calls.back(), "A:destroy:1");
}

// Factorizations from scratch (factor calls and replacements that rebuilt)
// and updates, over every Basis of the process, until the next reset.
TEST_F(BasisTest, CountersAddUpTheWorkOfEveryBasis) {
  Basis_SetInterface(&table_a_);
  Basis* first = Basis_Create(2, 2, 2);
  Basis* second = Basis_Create(2, 2, 2);
  Basis_ResetCounters();
  Basis_Factor(first, nullptr, nullptr);
  Basis_Factor(second, nullptr, nullptr);
  Basis_Replace(first, nullptr, nullptr, 1);
  Basis_Replace(second, nullptr, nullptr, 2);
  Basis_Replace(second, nullptr, nullptr, 0);  // rebuilt by the back-end
  Basis_Solve(first, nullptr, nullptr);
  BasisCounters c = Basis_GetCounters();
  EXPECT_EQ(c.factorizations, 3);
  EXPECT_EQ(c.updates, 2);
  Basis_ResetCounters();
  c = Basis_GetCounters();
  EXPECT_EQ(c.factorizations, 0);
  EXPECT_EQ(c.updates, 0);
  Basis_Destroy(first);
  Basis_Destroy(second);
}

TEST_F(BasisTest, ABasisStaysWithTheTableItWasCreatedWith) {
  Basis_SetInterface(&table_a_);
  Basis* first = Basis_Create(2, 2, 2);
  Basis_SetInterface(&table_b_);
  Basis* second = Basis_Create(2, 2, 2);
  Basis_Factor(first, nullptr, nullptr);
  Basis_Solve(second, nullptr, nullptr);
  Basis_Replace(first, nullptr, nullptr, 1);
  EXPECT_EQ(Basis_Table(first), &table_a_);
  EXPECT_EQ(Basis_Table(second), &table_b_);
  Basis_Destroy(first);
  Basis_Destroy(second);
  const std::vector<std::string> want = {"A:create:1", "B:create:2", "A:factor:1",
                                         "B:solve:2",  "A:replace1:1", "A:destroy:1",
                                         "B:destroy:2"};
  EXPECT_EQ(backend.calls, want);
}

struct MissingSlotCase {
  const char* slot;
  void (*clear)(Basis_Interface*);
  void (*call)(Basis*);
  const char* message;
};

TEST_F(BasisTest, MissingSlotsAreReportedWithTheirOwnMessages) {
  const MissingSlotCase cases[] = {
      {"destroy", [](Basis_Interface* t) { t->destroy = nullptr; }, [](Basis* b) { Basis_Destroy(b); },
       "No basis destroy routine.\n"},
      {"size", [](Basis_Interface* t) { t->size = nullptr; }, [](Basis* b) { Basis_Size(b, 1, 1, 1); },
       "No basis size routine.\n"},
      {"factor", [](Basis_Interface* t) { t->factor = nullptr; },
       [](Basis* b) { Basis_Factor(b, nullptr, nullptr); }, "No basis factor routine.\n"},
      {"replace", [](Basis_Interface* t) { t->replace = nullptr; },
       [](Basis* b) { Basis_Replace(b, nullptr, nullptr, 1); }, "No basis replace routine.\n"},
      {"solve", [](Basis_Interface* t) { t->solve = nullptr; },
       [](Basis* b) { Basis_Solve(b, nullptr, nullptr); }, "No basis solve routine.\n"},
      {"solveT", [](Basis_Interface* t) { t->solveT = nullptr; },
       [](Basis* b) { Basis_SolveT(b, nullptr, nullptr); }, "No basis solveT routine.\n"},
      {"num_singular", [](Basis_Interface* t) { t->num_singular = nullptr; },
       [](Basis* b) { Basis_NumSingular(b); }, "No basis num_singular routine.\n"},
      {"get_singular", [](Basis_Interface* t) { t->get_singular = nullptr; },
       [](Basis* b) {
         std::int32_t r, c;
         Basis_GetSingular(b, 1, &r, &c);
       },
       "No basis get_singular routine.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slot);
    Basis_Interface table = Slots<'A'>::Table();
    Basis_SetInterface(&table);
    Basis* basis = Basis_Create(2, 2, 2);
    c.clear(&table);
    output()->Clear();
    try {
      c.call(basis);
      ADD_FAILURE() << "no solver error";
    } catch (const SolverErrorException& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(output()->status(), std::string("  ** SOLVER ERROR **\n") + c.message);
    table = Slots<'A'>::Table();
    Basis_Destroy(basis);
  }
}

TEST_F(BasisTest, WithoutABackEndCreateFailsAndTheBannerIsEmpty) {
  const Basis_Interface empty = {};
  Basis_SetInterface(&empty);
  try {
    Basis_Create(2, 2, 2);
    ADD_FAILURE() << "no solver error";
  } catch (const SolverErrorException& e) {
    EXPECT_STREQ(e.what(), "No basis create routine.\n");
  }
  EXPECT_EQ(clock_state.timers_alive, 0);  // nothing was made
  char line[80] = "old";
  EXPECT_EQ(Basis_Banner(1, line, sizeof line), 0);
  EXPECT_STREQ(line, "");
  EXPECT_SOLVER_ERROR(Basis_SetInterface(nullptr), "SetInterface: null argument");
  EXPECT_EQ(Basis_GetInterface(), &empty);
}

}  // namespace
