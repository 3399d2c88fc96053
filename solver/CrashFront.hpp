// CrashFront: widening of the crash's free set along a moving front.
//
// When the active set of the crash moves as a front, each step frees only
// the held variables next to the ones the step before freed (on an
// obstacle problem, one layer of the grid per step, so the number of steps
// grows with the grid). CrashFront watches the memberships from step to
// step: when a step frees variables and holds none (a front that moves one
// way), it also frees the held variables within `depth` links of the newly
// freed ones in the pattern of J (variable i is linked to j when F_i
// depends on x_j), with the depth doubling from step to step while the
// front keeps moving; when a variable freed that way comes back held, the
// widening overshot and the depth returns to 0.
//
// When a direction takes widened variables beyond their bounds
// (CrashFront_Overshoot), those variables go back to the active set. The
// first time, the doubling then starts again from depth 1, up to a quarter
// of the depth that overshot: freeing too much lowers the whole solution
// near the front, so an overshoot only says that the front lies within
// that depth, not that it was reached. From then on the widening only
// serves steps that are factored afresh anyway: when the rule's own step
// frees no more variables than the factors can still take as column
// replacements, the step keeps to the rule's memberships. The same holds
// after a step shorter than full, whose memberships are a weaker guess of
// where the front goes. A later
// overshoot means the front is within reach: the widening stops and the
// rule's own steps finish the phase. After a retraction the depth grows to
// half the depth that failed at most (and never beyond the quarter a
// correction allowed). A widened set is only a guess of the Newton step's
// active set: the step's line search judges the step, the next step's
// memberships correct the guess, and when no step is found the caller
// falls back to the memberships the rule gave (CrashFront_Retract).
#pragma once

#include <cstdint>

struct DenseVector;
struct IDenseVector;
struct SparseMatrix;

struct CrashFront {
  IDenseVector* previous;  // memberships the rule gave at the latest step (n entries)
  IDenseVector* widened;   // 1 for a variable the latest widening freed, else 0 (n entries)
  IDenseVector* queue;     // n entries of scratch for the search through J
  bool started;            // previous holds memberships
  bool moving;             // the latest step freed variables and held none, and
                           // no widened variable came back held
  bool corrected;          // an overshoot was corrected
  bool restart;            // the next widening starts again from depth 1
  bool reached;            // a later overshoot: the widening stops
  std::int32_t depth;      // links of the latest widening (0: none)
  std::int32_t count;      // variables the latest widening freed
  std::int32_t ceiling;    // largest depth after a retraction or correction (0: none)
};

// A record without memberships over the caller's scratch vectors.
CrashFront CrashFront_Start(IDenseVector* previous, IDenseVector* widened, IDenseVector* queue);

// status (n entries, BASIS_BASIC for free, else held) holds the memberships
// the rule gives at the new point. Records them, and when the front moved
// one way since the previous call and, after a correction or a step shorter
// than full (full_step false), it freed more than room variables (the
// column replacements the factors can still take), frees in status the
// held variables within the new depth of the newly freed ones in the
// pattern of J (1-based columns 1..n). Returns how many it freed.
std::int32_t CrashFront_Widen(CrashFront* front, const SparseMatrix* J, IDenseVector* status,
                              bool full_step, std::int32_t room);

// Holds again, in status, the variables of the latest widening that
// target (n entries) puts beyond a bound (lower, upper: n entries each),
// at the bound the rule gave them, and returns how many. The first time
// the doubling then starts again; later the widening stops.
std::int32_t CrashFront_Overshoot(CrashFront* front, const DenseVector* target,
                                  const DenseVector* lower, const DenseVector* upper,
                                  IDenseVector* status);

// Puts status back to the memberships the rule gave at the latest call and
// stops widening until the front moves one way again.
void CrashFront_Retract(CrashFront* front, IDenseVector* status);
