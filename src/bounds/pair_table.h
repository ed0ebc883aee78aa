#pragma once

#include <cstddef>

#include "lines/observations.h"
#include "lines/units.h"

namespace intersections {

// The lines of orders 1 and 2 of n events, as the bounds from pairs read
// them: the singles a_i = P(A_i), and the pairs b_ij = P(A_i and A_j) in a
// run's order ({1,2}, {1,3}, ..., {1,n}, {2,3}, ...). The counts are checked
// once, here; the table refers to the lists, which must outlive it.
class PairTable {
 public:
  // Throws std::invalid_argument when there are not n(n - 1)/2 pairs for n singles.
  PairTable(const IntervalList& singles, const IntervalList& pairs);

  std::size_t events() const { return n_; }
  const IntervalList& singles() const { return singles_; }
  // The pairs in a run's order.
  const IntervalList& pairs() const { return pairs_; }
  UnitInterval single(std::size_t i) const { return singles_[i]; }
  // The pair of the events i != j (counted from 0), in either order.
  UnitInterval pair(std::size_t i, std::size_t j) const {
    return pairs_[i < j ? pairIndex(n_, i, j) : pairIndex(n_, j, i)];
  }

 private:
  const IntervalList& singles_;
  const IntervalList& pairs_;
  std::size_t n_;
};

}  // namespace intersections
