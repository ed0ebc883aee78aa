#pragma once

#include <cstddef>
#include <optional>

#include "bounds/pair_table.h"

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
// nothing when every pair fits. Exact, in units, one pass over the pairs.
std::optional<PairConflict> firstInconsistentPair(const PairTable& table);

}  // namespace intersections
