#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <vector>

namespace intersections {

// The Bonferroni-type sum for "at least r of the events occur" from the
// binomial moments S_1..S_k in moments[0..k-1]:
//   sum over j = r..k of (-1)^(j - r) C(j - 1, r - 1) S_j,
// 0 when k < r; for r = 1 it is S_1 - S_2 + ... +- S_k. Needs r >= 1.
mpz_class bonferroniAtLeast(const std::vector<mpz_class>& moments, std::int32_t r);

// Whether that sum of orders 1 to k is an upper bound (k >= r and k - r
// even) rather than a lower one (k - r odd, or k < r, where it is 0).
constexpr bool bonferroniIsUpper(std::int32_t k, std::int32_t r) {
  return k >= r && (k - r) % 2 == 0;
}

}  // namespace intersections
