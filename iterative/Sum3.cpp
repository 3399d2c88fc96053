// Ordered sum of three terms.
#include "iterative/Sum3.hpp"

#include <cmath>
#include <utility>

double Sum3(double a, double b, double c) {
  // Sort so that p >= q >= r (exchanging only on a strictly greater value).
  double p = a, q = b, r = c;
  if (q > p) std::swap(p, q);
  if (r > p) std::swap(p, r);
  if (r > q) std::swap(q, r);
  if (r >= 0.0) return (r + q) + p;  // no negative term: smallest first
  if (p <= 0.0) return (p + q) + r;  // no positive term: nearest zero first
  if (q > 0.0) {
    // Two positive terms and a negative one: the negative term cancels
    // against the positive term that leaves the smaller partial sum.
    const double s1 = p + r;
    const double s2 = q + r;
    return std::fabs(s2) <= std::fabs(s1) ? s2 + p : s1 + q;
  }
  if (q == 0.0) return p + r;
  // One positive and two negative terms.
  const double s1 = p + q;
  const double s2 = p + r;
  return std::fabs(s2) <= std::fabs(s1) ? s2 + q : s1 + r;
}
