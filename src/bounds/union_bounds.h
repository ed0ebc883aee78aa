#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounds/observations.h"
#include "bounds/pair_consistency.h"

namespace intersections {

// The bounds of one order k, from the lines of orders 1 to k.
struct OrderBounds {
  std::int32_t order = 0;
  mpz_class moment;                        // S_k, the sum of the lines of order k, in units
  mpz_class bonferroni;                    // S_1 - S_2 + ... +- S_k, in units
  mpq_class lower;                         // the sharp bounds, over every choice of true values
  mpq_class upper;                         // within the intervals of the lines
  std::optional<mpq_class> hunterWorsley;  // from order 2 on
  std::optional<mpq_class> deCaen;         // from order 2 on
};

// What to compute besides the bounds that are always there.
struct BoundsRequest {
  // The event bounded: that at least this many of the n events occur (1: the union).
  std::int32_t atLeast = 1;
};

// Values that no probability space of n events has. The message says which:
// "the values of orders 1 to 2 fit no probability space of 2 events".
struct InconsistentValues : std::runtime_error {
  InconsistentValues(std::size_t orders, std::int32_t n);
  std::size_t orders;  // the first orders, counted from 1, that no space fits together

 protected:
  InconsistentValues(const std::string& message, std::size_t orders);
};

// A pair of events whose values of orders 1 and 2 fit no probability space
// (see firstInconsistentPair). The message names the pair and says why:
// "the values of events 1 and 2 and of their pair fit no probability space:
// the pair is more probable than event 1".
struct InconsistentPair : InconsistentValues {
  explicit InconsistentPair(const PairConflict& conflict);
  PairConflict conflict;
};

// The bounds of every order of `seen`, which must hold the lines of orders 1
// and 2 when it has those orders. Throws InconsistentValues when the
// values fit no probability space of seen.n events: the sharp bounds of some
// order have no solution, or the bounds of orders 1 and 2 cross the sharp
// ones or each other; InconsistentPair, before any of these, when a pair of
// events does not fit its two singles.
std::vector<OrderBounds> unionBounds(const Observations& seen, const BoundsRequest& request = {});

}  // namespace intersections
