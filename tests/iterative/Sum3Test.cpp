// Ordered sum of three terms: the order of addition chosen by signs and
// sizes, and the same result for every order of the arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "iterative/Sum3.hpp"

namespace {

TEST(Sum3Test, CancelsOppositeTermsFirst) {
  const struct {
    double a, b, c, sum;
  } cases[] = {
      {1e16, 1.0, -1e16, 1.0},                      // the large pair cancels exactly
      {1e16, 1.0, 1.0, 1e16 + 2.0},                 // non-negative: smallest first
      {-1e16, -1.0, -1.0, -1e16 - 2.0},             // non-positive: nearest zero first
      {1.0, 1e-16, -1.0, 1e-16},                    // two positive, one negative
      {-1.0, -1e-16, 1.0, -1e-16},                  // one positive, two negative
      {3.0, 0.0, -2.0, 1.0},                        // a zero middle term
      {0.0, 0.0, 0.0, 0.0},
      {2.0, 2.0, -1.0, 3.0},                        // equal partial sums: either pairing
      {1.0, 0x1p-53, 0x1p-53, 1.0 + 0x1p-52},       // the small terms meet first
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sum3(c.a, c.b, c.c), c.sum) << c.a << " " << c.b << " " << c.c;
  }
}

TEST(Sum3Test, EveryOrderOfTheArgumentsGivesTheSameBits) {
  const std::array<double, 3> triples[] = {
      {1e16, 1.0, -1e16}, {0.1, 0.2, -0.3},   {-0.1, -0.2, 0.3},  {1e308, 1e308, -1e308},
      {5.0, -3.0, -2.0},  {1e-300, -1e-300, 0.5}, {0.0, -0.0, 1.0}, {7.0, 7.0, -7.0},
  };
  for (auto t : triples) {
    const double first = Sum3(t[0], t[1], t[2]);
    std::sort(t.begin(), t.end());
    do {
      EXPECT_EQ(std::signbit(Sum3(t[0], t[1], t[2])), std::signbit(first));
      EXPECT_EQ(Sum3(t[0], t[1], t[2]), first) << t[0] << " " << t[1] << " " << t[2];
    } while (std::next_permutation(t.begin(), t.end()));
  }
}

}  // namespace
