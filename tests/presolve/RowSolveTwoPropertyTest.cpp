// The two-variable solve against a brute-force enumeration of the two-
// variable box complementarity problem, over random small-integer data with
// finite and infinite box ends: the listed solutions are solutions, every
// solution is listed, and each is listed once.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "presolve/rows/RowSolve.hpp"
#include "support/TestSupport.hpp"

namespace {

constexpr double kInfBound = 1e20;  // the option infinity, as passed to the solve
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTol = 1e-7;
constexpr double kWindow = 1000.0;  // infinite ends are sampled up to here

struct Problem {
  double a, b, r, c, d, s, xl, xu, yl, yu;

  double F1(double x, double y) const { return a * x + b * y + r; }
  double F2(double x, double y) const { return c * x + d * y + s; }
  std::string Text() const {
    std::ostringstream out;
    out << "F1 = " << a << "x + " << b << "y + " << r << ", F2 = " << c << "x + " << d << "y + "
        << s << ", box [" << xl << ", " << xu << "] x [" << yl << ", " << yu << "]";
    return out.str();
  }
};

// Infinite values of the solve's record as IEEE infinities.
double Widen(double v) {
  if (v >= kInfBound) return kInf;
  if (v <= -kInfBound) return -kInf;
  return v;
}

struct Point {
  double x, y;
};

// A closed piece of a solution set.
//   POINT (x0, y0); VERTICAL x = x0, y0 <= y <= y1; HORIZONTAL y = y0,
//   x0 <= x <= x1; SLANT p*x + q*y + w = 0 (q != 0), x0 <= x <= x1;
//   BOX [x0, x1] x [y0, y1].
struct Piece {
  enum Kind { POINT, VERTICAL, HORIZONTAL, SLANT, BOX } kind;
  double x0, x1, y0, y1;
  double p, q, w;
};

Piece MakePoint(double x, double y) { return {Piece::POINT, x, x, y, y, 0, 0, 0}; }
Piece MakeVertical(double x, double y0, double y1) {
  return {Piece::VERTICAL, x, x, y0, y1, 0, 0, 0};
}
Piece MakeHorizontal(double y, double x0, double x1) {
  return {Piece::HORIZONTAL, x0, x1, y, y, 0, 0, 0};
}
Piece MakeSlant(double p, double q, double w, double x0, double x1) {
  return {Piece::SLANT, x0, x1, 0, 0, p, q, w};
}
Piece MakeBox(double x0, double x1, double y0, double y1) {
  return {Piece::BOX, x0, x1, y0, y1, 0, 0, 0};
}

// Sample values of [lo, hi] (clipped to the window), ends included.
std::vector<double> Spread(double lo, double hi) {
  lo = std::max(lo, -kWindow);
  hi = std::min(hi, kWindow);
  std::vector<double> values;
  for (double f : {0.0, 0.1, 0.25, 0.5, 0.75, 0.9, 1.0}) values.push_back(lo + f * (hi - lo));
  return values;
}

std::vector<Point> Samples(const Piece& piece) {
  std::vector<Point> points;
  switch (piece.kind) {
    case Piece::POINT:
      points.push_back({piece.x0, piece.y0});
      break;
    case Piece::VERTICAL:
      for (double y : Spread(piece.y0, piece.y1)) points.push_back({piece.x0, y});
      break;
    case Piece::HORIZONTAL:
      for (double x : Spread(piece.x0, piece.x1)) points.push_back({x, piece.y0});
      break;
    case Piece::SLANT:
      for (double x : Spread(piece.x0, piece.x1)) {
        points.push_back({x, -(piece.p * x + piece.w) / piece.q});
      }
      break;
    case Piece::BOX:
      for (double x : Spread(piece.x0, piece.x1)) {
        for (double y : Spread(piece.y0, piece.y1)) points.push_back({x, y});
      }
      break;
  }
  return points;
}

bool Within(double v, double lo, double hi) { return v >= lo - kTol && v <= hi + kTol; }

bool Contains(const Piece& piece, Point pt) {
  switch (piece.kind) {
    case Piece::POINT:
      return std::fabs(pt.x - piece.x0) <= kTol && std::fabs(pt.y - piece.y0) <= kTol;
    case Piece::VERTICAL:
      return std::fabs(pt.x - piece.x0) <= kTol && Within(pt.y, piece.y0, piece.y1);
    case Piece::HORIZONTAL:
      return std::fabs(pt.y - piece.y0) <= kTol && Within(pt.x, piece.x0, piece.x1);
    case Piece::SLANT:
      return Within(pt.x, piece.x0, piece.x1) &&
             std::fabs(piece.p * pt.x + piece.q * pt.y + piece.w) <= kTol;
    case Piece::BOX:
      return Within(pt.x, piece.x0, piece.x1) && Within(pt.y, piece.y0, piece.y1);
  }
  return false;
}

bool ContainedIn(const std::vector<Piece>& pieces, Point pt) {
  return std::any_of(pieces.begin(), pieces.end(),
                     [&](const Piece& piece) { return Contains(piece, pt); });
}

// The complementarity conditions at (x, y), F recomputed from the data.
bool Complementary(double v, double lo, double hi, double f) {
  if (!Within(v, lo, hi)) return false;
  const double mid = std::max(lo, std::min(hi, v - f));
  return std::fabs(v - mid) <= kTol;
}

bool IsSolution(const Problem& pr, Point pt) {
  return Complementary(pt.x, Widen(pr.xl), Widen(pr.xu), pr.F1(pt.x, pt.y)) &&
         Complementary(pt.y, Widen(pr.yl), Widen(pr.yu), pr.F2(pt.x, pt.y));
}

// ---------------------------------------------------------------------------
// The solve's record as pieces
// ---------------------------------------------------------------------------

// Checks the form of one boundary set and adds its pieces. on_x: the set
// sits on an edge x = edge (its values are y values); else on y = edge.
void AddBoundarySet(std::int32_t count, const double* points, double edge, bool on_x,
                    std::vector<Piece>* pieces) {
  ASSERT_GE(count, -1);
  ASSERT_LE(count, 3);
  if (count != 0) {
    ASSERT_LT(std::fabs(edge), kInfBound) << "a set on an infinite edge";
  }
  if (count < 0) {
    ASSERT_LE(points[0], points[1]);
    const double lo = Widen(points[0]), hi = Widen(points[1]);
    pieces->push_back(on_x ? MakeVertical(edge, lo, hi) : MakeHorizontal(edge, lo, hi));
    return;
  }
  for (int k = 0; k < count; ++k) {
    if (k > 0) {
      ASSERT_LT(points[k - 1], points[k]) << "list not ascending";
    }
    ASSERT_LT(std::fabs(points[k]), kInfBound) << "a listed point is not finite";
    pieces->push_back(on_x ? MakePoint(edge, points[k]) : MakePoint(points[k], edge));
  }
}

void AddInterior(const Problem& pr, const TwoSolution& s, std::vector<Piece>* pieces) {
  const double x0 = Widen(s.sol_x[0]), x1 = Widen(s.sol_x[1]);
  const double y0 = Widen(s.sol_y[0]), y1 = Widen(s.sol_y[1]);
  switch (s.nsol_eq) {
    case 0:
      return;
    case 1:
      ASSERT_TRUE(pr.xl < x0 && x0 < pr.xu && pr.yl < y0 && y0 < pr.yu) << "not inside";
      pieces->push_back(MakePoint(x0, y0));
      return;
    case -1:
      ASSERT_EQ(s.sol_x[0], s.sol_x[1]);
      ASSERT_LE(y0, y1);
      pieces->push_back(MakeVertical(x0, y0, y1));
      return;
    case -2:
      ASSERT_EQ(s.sol_y[0], s.sol_y[1]);
      ASSERT_LE(x0, x1);
      pieces->push_back(MakeHorizontal(y0, x0, x1));
      return;
    case -3:
    case -4:
      ASSERT_LE(x0, x1);
      ASSERT_NE(s.coeff[1], 0.0);
      pieces->push_back(MakeSlant(s.coeff[0], s.coeff[1], s.coeff[2], x0, x1));
      return;
    case -5:
      ASSERT_EQ(s.nsol_xl, 0);
      ASSERT_EQ(s.nsol_xu, 0);
      ASSERT_EQ(s.nsol_yl, 0);
      ASSERT_EQ(s.nsol_yu, 0);
      pieces->push_back(MakeBox(x0, x1, y0, y1));
      return;
    default:
      FAIL() << "interior code " << s.nsol_eq;
  }
}

std::vector<Piece> PiecesOf(const Problem& pr, const TwoSolution& s) {
  std::vector<Piece> pieces;
  AddBoundarySet(s.nsol_xl, s.sol_xl, pr.xl, true, &pieces);
  AddBoundarySet(s.nsol_xu, s.sol_xu, pr.xu, true, &pieces);
  AddBoundarySet(s.nsol_yl, s.sol_yl, pr.yl, false, &pieces);
  AddBoundarySet(s.nsol_yu, s.sol_yu, pr.yu, false, &pieces);
  AddInterior(pr, s, &pieces);
  return pieces;
}

// ---------------------------------------------------------------------------
// Brute force: each variable at its lower bound, upper bound or strictly
// inside; each combination solved on its own, its closure kept.
// ---------------------------------------------------------------------------

enum Place { AT_LOWER, AT_UPPER, INSIDE };

bool SignHolds(Place place, double f) { return place == AT_LOWER ? f >= -kTol : f <= kTol; }
bool StrictlyInside(double v, double lo, double hi) { return v > lo + kTol && v < hi - kTol; }

// One variable v held at a bound value, the other, u, strictly inside
// (lo, hi): u solves k1*u + k0 = 0 (its own row), and the held variable's
// row m1*u + m0 keeps the sign of its place. Adds the pieces in u,
// mapped to the plane by make_point / make_line.
template <typename MakePointFn, typename MakeLineFn>
void EdgePieces(double k1, double k0, double m1, double m0, Place held, double lo, double hi,
                MakePointFn make_point, MakeLineFn make_line, std::vector<Piece>* pieces) {
  const double sigma = held == AT_LOWER ? 1.0 : -1.0;
  if (k1 != 0.0) {
    const double u = -k0 / k1;
    if (StrictlyInside(u, lo, hi) && SignHolds(held, m1 * u + m0)) pieces->push_back(make_point(u));
    return;
  }
  if (std::fabs(k0) > kTol) return;
  double from = lo, to = hi;
  if (m1 == 0.0) {
    if (sigma * m0 < -kTol) return;
  } else if (sigma * m1 > 0) {
    from = std::max(lo, -m0 / m1);
  } else {
    to = std::min(hi, -m0 / m1);
  }
  if (from < to) pieces->push_back(make_line(from, to));
}

void InteriorPieces(const Problem& pr, std::vector<Piece>* pieces) {
  const double xl = Widen(pr.xl), xu = Widen(pr.xu), yl = Widen(pr.yl), yu = Widen(pr.yu);
  const double det = pr.a * pr.d - pr.b * pr.c;
  if (det != 0.0) {
    const double x = (pr.b * pr.s - pr.d * pr.r) / det, y = (pr.c * pr.r - pr.a * pr.s) / det;
    if (StrictlyInside(x, xl, xu) && StrictlyInside(y, yl, yu)) pieces->push_back(MakePoint(x, y));
    return;
  }
  if (pr.a == 0 && pr.b == 0 && pr.c == 0 && pr.d == 0) {
    if (pr.r == 0 && pr.s == 0) pieces->push_back(MakeBox(xl, xu, yl, yu));
    return;
  }
  if (pr.a * pr.s - pr.c * pr.r != 0 || pr.b * pr.s - pr.d * pr.r != 0) return;
  const bool first = pr.a != 0 || pr.b != 0;
  const double p = first ? pr.a : pr.c, q = first ? pr.b : pr.d, w = first ? pr.r : pr.s;
  if (q == 0) {
    const double x = -w / p;
    if (StrictlyInside(x, xl, xu)) pieces->push_back(MakeVertical(x, yl, yu));
    return;
  }
  if (p == 0) {
    const double y = -w / q;
    if (StrictlyInside(y, yl, yu)) pieces->push_back(MakeHorizontal(y, xl, xu));
    return;
  }
  auto x_at = [&](double y) { return -(q * y + w) / p; };
  const bool rising = -p / q > 0;
  const double from = std::max(xl, rising ? x_at(yl) : x_at(yu));
  const double to = std::min(xu, rising ? x_at(yu) : x_at(yl));
  if (from < to) pieces->push_back(MakeSlant(p, q, w, from, to));
}

std::vector<Piece> BruteForce(const Problem& pr) {
  const double xl = Widen(pr.xl), xu = Widen(pr.xu), yl = Widen(pr.yl), yu = Widen(pr.yu);
  std::vector<Piece> pieces;
  const Place places[] = {AT_LOWER, AT_UPPER, INSIDE};
  for (Place px : places) {
    for (Place py : places) {
      const double bx = px == AT_LOWER ? xl : xu, by = py == AT_LOWER ? yl : yu;
      if ((px != INSIDE && std::isinf(bx)) || (py != INSIDE && std::isinf(by))) continue;
      if (px != INSIDE && py != INSIDE) {
        if (SignHolds(px, pr.F1(bx, by)) && SignHolds(py, pr.F2(bx, by))) {
          pieces.push_back(MakePoint(bx, by));
        }
      } else if (px != INSIDE) {
        EdgePieces(pr.d, pr.c * bx + pr.s, pr.b, pr.a * bx + pr.r, px, yl, yu,
                   [&](double y) { return MakePoint(bx, y); },
                   [&](double y0, double y1) { return MakeVertical(bx, y0, y1); }, &pieces);
      } else if (py != INSIDE) {
        EdgePieces(pr.a, pr.b * by + pr.r, pr.c, pr.d * by + pr.s, py, xl, xu,
                   [&](double x) { return MakePoint(x, by); },
                   [&](double x0, double x1) { return MakeHorizontal(by, x0, x1); }, &pieces);
      } else {
        InteriorPieces(pr, &pieces);
      }
    }
  }
  return pieces;
}

// ---------------------------------------------------------------------------
// The comparison
// ---------------------------------------------------------------------------

// Points common to two pieces, as far as their samples show; a shared
// stretch always shows both of its ends.
std::vector<Point> Common(const Piece& one, const Piece& two) {
  std::vector<Point> common;
  auto add = [&](Point pt) {
    for (const Point& known : common) {
      if (std::fabs(known.x - pt.x) <= kTol && std::fabs(known.y - pt.y) <= kTol) return;
    }
    common.push_back(pt);
  };
  for (Point pt : Samples(one)) {
    if (Contains(two, pt)) add(pt);
  }
  for (Point pt : Samples(two)) {
    if (Contains(one, pt)) add(pt);
  }
  return common;
}

void ExpectListedOnce(const std::vector<Piece>& pieces) {
  for (size_t i = 0; i < pieces.size(); ++i) {
    for (size_t j = i + 1; j < pieces.size(); ++j) {
      const bool points = pieces[i].kind == Piece::POINT || pieces[j].kind == Piece::POINT;
      const size_t allowed = points ? 0 : 1;  // segments may share an end
      EXPECT_LE(Common(pieces[i], pieces[j]).size(), allowed)
          << "pieces " << i << " and " << j << " list a solution twice";
    }
  }
}

void CheckAgainstBruteForce(const Problem& pr) {
  TwoSolution s;
  ASSERT_TRUE(Row_SolveTwo(pr.a, pr.b, pr.r, pr.c, pr.d, pr.s, pr.xl, pr.xu, pr.yl, pr.yu, &s));
  const std::vector<Piece> listed = PiecesOf(pr, s);
  for (const Piece& piece : listed) {
    for (Point pt : Samples(piece)) {
      EXPECT_TRUE(IsSolution(pr, pt)) << "listed (" << pt.x << ", " << pt.y << ") is no solution";
    }
  }
  for (const Piece& piece : BruteForce(pr)) {
    for (Point pt : Samples(piece)) {
      EXPECT_TRUE(ContainedIn(listed, pt)) << "solution (" << pt.x << ", " << pt.y
                                           << ") not listed";
    }
  }
  ExpectListedOnce(listed);
}

// Random small-integer data; zero coefficients are frequent so that the
// singular shapes come up.
class RandomPieces {
 public:
  explicit RandomPieces(unsigned seed) : engine_(seed) {}

  Problem Next() {
    Problem pr;
    pr.a = Coefficient();
    pr.b = Coefficient();
    pr.c = Coefficient();
    pr.d = Coefficient();
    pr.r = Uniform(0, 2) == 0 ? 0.0 : Uniform(-4, 4);
    pr.s = Uniform(0, 2) == 0 ? 0.0 : Uniform(-4, 4);
    // Often make the second row a multiple of the first: coinciding lines,
    // or parallel ones when the constant is left alone.
    if (Uniform(0, 3) == 0) {
      const int k = Uniform(-2, 2);
      pr.c = k * pr.a;
      pr.d = k * pr.b;
      if (Uniform(0, 1) == 0) pr.s = k * pr.r;
    }
    Bounds(&pr.xl, &pr.xu);
    Bounds(&pr.yl, &pr.yu);
    return pr;
  }

 private:
  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
  double Coefficient() {
    static const double values[] = {-2, -1, 0, 0, 0, 1, 2, 3};
    return values[Uniform(0, 7)];
  }
  void Bounds(double* lo, double* hi) {
    switch (Uniform(0, 3)) {
      case 0:
        *lo = Uniform(-3, 2);
        *hi = *lo + Uniform(1, 3);
        break;
      case 1:
        *lo = Uniform(-3, 2);
        *hi = kInfBound;
        break;
      case 2:
        *lo = -kInfBound;
        *hi = Uniform(-2, 3);
        break;
      default:
        *lo = -kInfBound;
        *hi = kInfBound;
        break;
    }
  }
  std::mt19937 engine_;
};

using RowSolveTwoPropertyTest = LibraryTest;

TEST_F(RowSolveTwoPropertyTest, ListsEverySolutionOnceOverRandomSmallIntegerPieces) {
  RandomPieces random(20240611u);
  std::set<int> shapes;  // interior codes seen, and 10 for a boundary segment
  for (int trial = 0; trial < 30000; ++trial) {
    const Problem pr = random.Next();
    SCOPED_TRACE(pr.Text());
    CheckAgainstBruteForce(pr);
    if (HasFailure()) return;  // one reported case is enough to debug
    TwoSolution s;
    ASSERT_TRUE(Row_SolveTwo(pr.a, pr.b, pr.r, pr.c, pr.d, pr.s, pr.xl, pr.xu, pr.yl, pr.yu, &s));
    shapes.insert(s.nsol_eq);
    if (s.nsol_xl < 0 || s.nsol_xu < 0 || s.nsol_yl < 0 || s.nsol_yu < 0) shapes.insert(10);
  }
  // The data reach every shape of solution set.
  for (int shape : {1, 0, -1, -2, -3, -4, -5, 10}) {
    EXPECT_EQ(shapes.count(shape), 1u) << "shape " << shape << " never came up";
  }
}

}  // namespace
