#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounds/boolean_bounds.h"
#include "bounds/pair_consistency.h"
#include "bounds/sharp_bounds.h"
#include "lines/line_selection.h"
#include "lines/observations.h"

namespace intersections {

// The bounds of one order k, from the lines of orders 1 to k, on the
// probability of the event bounded (the union, or that at least r events
// occur).
struct OrderBounds {
  std::int32_t order = 0;
  mpz_class moment;                        // S_k, the sum of the lines of order k, in units
  mpz_class bonferroni;                    // the Bonferroni-type sum of orders 1 to k, in units
  bool bonferroniIsUpper = true;           // whether that sum is an upper or a lower bound
  mpq_class lower;                         // the sharp bounds, over every choice of true values
  mpq_class upper;                         // within the intervals of the lines
  std::optional<mpq_class> hunterWorsley;  // from order 2 on, for the union only; at most 1
  std::optional<mpq_class> deCaen;         // from order 2 on, for the union only
  std::optional<mpq_class> kat;            // Kuai-Alajaji-Takahara, from order 2 on, the union only
  // Gallot and Kounias, from order 2 on, the union only, up to
  // gallotKouniasEventsLimit events
  std::optional<mpq_class> gallotKounias;
  std::optional<mpq_class> cherry;  // the t-cherry tree, from order 3 on, the union only; at most 1
  std::optional<mpq_class> booleanLower;  // the linear program over the atoms, for the orders
  std::optional<mpq_class> booleanUpper;  // within BoundsRequest::booleanOrders
  // With the Boolean bounds: whether they are the optima, or only the best
  // proved before their work ran out (BoundsRequest::booleanWorkLimit).
  std::optional<bool> booleanOptimal;
  // What proves each bound, for certificates anyone can check: the sharp
  // ones by dual values of the moment problem; the Boolean ones by
  // multipliers over the atoms, maybe of an earlier order, or, where the
  // Boolean proof is nothing (the sharp bound is at least as good), by the
  // sharp bound's own proof.
  MomentProof lowerProof;
  MomentProof upperProof;
  std::optional<AtomProof> booleanLowerProof;
  std::optional<AtomProof> booleanUpperProof;
  // The distributions the Boolean bounds' masters of this order ended with:
  // illustrations, not proofs (see AtomDistribution).
  AtomDistribution booleanLowerWitness;
  AtomDistribution booleanUpperWitness;
};

// The most events whose Gallot-Kounias bound is computed: its weights hold
// n^2 doubles (32 MB at this limit) and take up to seconds to find.
inline constexpr std::int32_t gallotKouniasEventsLimit = 2000;

// What to compute besides the bounds that are always there.
struct BoundsRequest {
  // The event bounded: that at least this many of the n events occur (1: the union).
  std::int32_t atLeast = 1;
  // The Boolean bounds for orders 1 to this one (see booleanScope), 0 for none.
  std::int32_t booleanOrders = 0;
  // The work they may do in all (see BooleanWork), 0 for no limit.
  std::uint64_t booleanWorkLimit = 0;
  BooleanProgressReport progress;  // called now and then while they are computed
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

// The bounds of every order of `seen`. For the union (request.atLeast == 1)
// it must hold the lines of orders 1 and 2 when it has those orders, and
// when it has order 3, either its lines or those that cherryLinePlaces picks
// from it. For 1 < request.atLeast <= seen.n the union's own bounds are left
// out. The Boolean bounds (any atLeast) are made for the orders up to
// request.booleanOrders that `seen` has, and need the lines of all of them;
// they lie within the sharp bounds. Throws InconsistentValues when the values
// fit no probability space of seen.n events: the sharp or the Boolean bounds
// of some order have no solution, or the bounds from single lines cross the
// sharp ones or each other; std::invalid_argument for an atLeast out of range
// or lines that were not kept. Throws InconsistentPair, before any of these,
// when the lines of orders 1 and 2 are there and a pair of events does not
// fit its two singles.
std::vector<OrderBounds> boundsByOrder(const Observations& seen, const BoundsRequest& request = {});

// The lines that boundsByOrder reads for `request`, beyond the sums: every
// line of orders 1 and 2 (the pairs are always checked against their
// singles), of all the orders the Boolean bounds take, and, for the union's
// t-cherry tree when order 3 is not kept in full, the lines cherryLinePlaces
// picks from it. A reader that keeps these gives boundsByOrder all it needs.
LineSelection linesNeeded(const BoundsRequest& request);

}  // namespace intersections
