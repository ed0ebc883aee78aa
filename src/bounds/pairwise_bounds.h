#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <vector>

namespace intersections {

// Bounds on the probability of the union from the individual probabilities
// of orders 1 and 2, each known only to within one unit (10^-9) of its line:
// a_i = P(A_i) in singles[i - 1], b_ij = P(A_i and A_j) in pairs, in the
// order of the file ({1,2}, {1,3}, ..., {1,n}, {2,3}, ...), all in units.
// lo(x) = max(0, x - 1) and up(x) = min(10^9, x + 1) bracket each true value.

// Hunter and Worsley's upper bound, sum_i up(a_i) - W, where W is the weight
// of a maximum spanning tree of the complete graph on the n events with edge
// weights lo(b_ij). In units; exact.
mpz_class hunterWorsleyUnits(const std::vector<std::uint32_t>& singles,
                             const std::vector<std::uint32_t>& pairs);

// de Caen's lower bound, the sum over the i with lo(a_i) > 0 of
// lo(a_i)^2 / (up(a_i) + sum_{j != i} up(b_ij)), as an exact probability.
mpq_class deCaen(const std::vector<std::uint32_t>& singles,
                 const std::vector<std::uint32_t>& pairs);

}  // namespace intersections
