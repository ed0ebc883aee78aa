#pragma once

#include <cstddef>
#include <optional>

#include "lines/units.h"

namespace intersections {

// A pair of events whose lines of orders 1 and 2 no probabilities fit, for
// any choice of true values within their intervals: the Fréchet bounds
// b_ij <= min(a_i, a_j) and a_i + a_j - b_ij <= 1 (the union of the two at
// most 1) cannot both hold.
struct PairConflict {
  enum Kind {
    pairAboveFirst,   // low(b_ij) > high(a_i)
    pairAboveSecond,  // low(b_ij) > high(a_j)
    unionAboveOne     // low(a_i) + low(a_j) - high(b_ij) > 1
  };
  std::size_t first = 0, second = 0;  // the events i < j, counted from 0
  std::size_t pair = 0;               // where b_ij stands among the pairs (pairIndex)
  Kind kind = pairAboveFirst;
};

// The first pair, in the order of the lines, that fits no probabilities, or
// nothing when every pair fits; `pairs` in the order of a run's lines. Exact,
// in units, one pass over the pairs. Throws std::invalid_argument when there
// are not n(n - 1)/2 pairs for n singles.
std::optional<PairConflict> firstInconsistentPair(const IntervalList& singles,
                                                  const IntervalList& pairs);

}  // namespace intersections
