#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <vector>

namespace intersections {

// A set of events as a bit mask: bit i stands for event i + 1.
using EventSet = std::uint64_t;

// One constraint of the problem over the atoms: the probability that every
// event of `events` occurs lies in [low, high], in units (the empty set is the
// total, low = high = unitsPerOne).
struct AtomRow {
  EventSet events = 0;
  std::uint32_t low = 0;
  std::uint32_t high = 0;
};

// Multipliers of the rows, y_r = numerators[r] / 2^shift exactly.
struct DyadicMultipliers {
  std::vector<std::int64_t> numerators;
  int shift = 0;
};

// The multipliers nearest `y` on a grid 2^-shift fine enough that every sum
// of them, and 2^shift itself, stays below 2^62 in magnitude. Entries that
// are not finite count as 0.
DyadicMultipliers dyadicMultipliers(const std::vector<double>& y);

// What the objective counts: `sign` (+1, -1 or 0) times the indicator that an
// atom holds at least `atLeast` events. The problem minimizes it.
struct AtomObjective {
  std::int32_t atLeast = 1;
  int sign = 1;
};

// What proves a Boolean bound: the multipliers of the rows of orders 1 to
// `order` (the total first, then the sets of each order in a run's order),
// and `least`, at most the least entry of atomReducedCosts for them (exactly
// it, or a proved lower bound). provedLowerBound(rows, y, least) is then a
// lower bound on the objective; the bound is objective.sign times it (sign 1:
// a lower bound on the probability, -1: an upper one).
struct AtomProof {
  std::int32_t order = 0;
  AtomObjective objective;
  DyadicMultipliers y;
  std::int64_t least = 0;
};

// For every atom T of n events, in reducedCosts[T], 2^shift times its
// reduced cost c_T - sum of y_r over the rows whose events lie in T: one
// subset-sum pass over the 2^n atoms. The buffer is resized to 2^n.
void atomReducedCosts(std::int32_t n, const std::vector<AtomRow>& rows, const DyadicMultipliers& y,
                      const AtomObjective& objective, std::vector<std::int64_t>& reducedCosts);

// The lower bound that the multipliers prove on the objective, in
// probability: for every distribution x on the atoms within the rows,
//   sum_T c_T x_T >= min_T reduced cost + sum_r y_r (y_r > 0 ? low_r : high_r),
// the rows' ends and x taken in units of 10^-9 and the whole divided by 10^9.
// `least` is the least entry of atomReducedCosts (in its scale).
mpq_class provedLowerBound(const std::vector<AtomRow>& rows, const DyadicMultipliers& y,
                           std::int64_t least);

}  // namespace intersections
