#include "bounds/pair_table.h"

#include <stdexcept>
#include <string>

namespace intersections {

PairTable::PairTable(const IntervalList& singles, const IntervalList& pairs)
    : singles_(singles), pairs_(pairs), n_(singles.size()) {
  if (pairs.size() != n_ * (n_ - 1) / 2) {
    throw std::invalid_argument(std::to_string(pairs.size()) + " pairs for " + std::to_string(n_) +
                                " events");
  }
}

}  // namespace intersections
