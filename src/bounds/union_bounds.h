#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bounds/prob_file.h"

namespace intersections {

// The bounds of one order k, from the lines of orders 1 to k.
struct OrderBounds {
  std::int32_t order = 0;
  mpz_class moment;                        // S_k, the sum of the lines of order k, in units
  mpz_class bonferroni;                    // S_1 - S_2 + ... +- S_k, in units
  mpq_class lower;                         // the sharp bounds, over every choice of true values
  mpq_class upper;                         // within one unit of each line
  std::optional<mpq_class> hunterWorsley;  // from order 2 on
  std::optional<mpq_class> deCaen;         // from order 2 on
};

// The bounds of every complete order of `file`, a file of n events named
// `name`. Throws ProbFileError when the values fit no probability space of n
// events: the sharp bounds of some order have no solution, or the bounds of
// orders 1 and 2 cross the sharp ones or each other.
std::vector<OrderBounds> unionBounds(const ProbFile& file, std::int32_t n, const std::string& name);

}  // namespace intersections
