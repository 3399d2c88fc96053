// QP record, what only it does: the start point is projected onto the
// bounds whatever the option project_start says. What it shares with the
// CNS is checked on both in ProblemClassesTest.cpp.
#include <vector>

#include "core/Options.hpp"
#include "problems/ClassProblems.hpp"
#include "problems/QP.hpp"
#include "support/TestSupport.hpp"

namespace {

using namespace class_tests;

class QPTest : public LibraryTest {};

TEST_F(QPTest, StartIsAlwaysProjected) {
  Options_CommonTable[COMMON_PROJECT_START].bool_value = 0;
  FakeCaller fake;
  fake.lower = {0.0, -kInf, -1.0};
  fake.upper = {1.0, 2.0, kInf};
  fake.start = {3.0, 5.0, -4.0};
  QP_Interface in = QPInterface(fake);
  QP_SetInterface(&in);
  QP* q = QP_Create(3, 9);
  ASSERT_EQ(QP_Start(q), QP_READY);
  ASSERT_EQ(fake.points.size(), 1u);
  EXPECT_EQ(fake.points[0], (std::vector<double>{1.0, 2.0, -1.0}));
  EXPECT_EQ(Values(QP_X(q)), (std::vector<double>{1.0, 2.0, -1.0}));
  QP_Destroy(q);
  QP_SetInterface(nullptr);
}

}  // namespace
