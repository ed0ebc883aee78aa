#pragma once

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lines/units.h"

namespace intersections {

// The sums over the lines of one order: of the values as they read, and of
// the low and the high ends of the intervals they stand for, all in units.
struct OrderSums {
  mpz_class value;
  mpz_class low;
  mpz_class high;
  std::uint64_t lines = 0;

  // One line that reads `value` and stands for `interval`.
  void add(std::uint32_t value, UnitInterval interval);
  // `count` lines, each one unit around its value, whose values add up to
  // `sum`, `zeros` of them reading 0 and `ones` reading 1.
  void addOneUnitLines(std::uint64_t sum, std::uint64_t count, std::uint64_t zeros,
                       std::uint64_t ones);
};

// What the lines of a run with n events say, as the bounds take them: the
// sums of each complete order, and the lines of the first orders one by one.
// The sets of a run come in a fixed order: all sets of 1 event, then of 2, and
// so on, each size in lexicographic order of the increasing event numbers;
// so lines[0][i] is event i + 1 and lines[1] holds the pairs {1,2}, {1,3},
// ..., {1,n}, {2,3}, ...
struct Observations {
  std::int32_t n = 0;
  std::vector<OrderSums> orders;    // orders[k - 1] is order k; every order is complete
  std::vector<IntervalList> lines;  // lines[k - 1]: the lines of order k, for the orders kept
  // Some lines of order lines.size() + 1, the first order not kept in full,
  // when that order is complete: picked[t] is the line at place
  // pickedPlaces[t] within the order (counted from 0), places ascending.
  std::vector<std::uint64_t> pickedPlaces;
  IntervalList picked;
};

// The number of sets of k events out of n, C(n, k), or the largest 64-bit
// value when there are more.
std::uint64_t linesOfOrder(std::int32_t n, std::int32_t k);

// Where the pair of events i < j (counted from 0) stands among the pairs of n
// events in the order above.
inline std::size_t pairIndex(std::size_t n, std::size_t i, std::size_t j) {
  return i * (2 * n - i - 1) / 2 + (j - i - 1);
}

}  // namespace intersections
