#pragma once

#include <gmpxx.h>

#include <vector>

#include "bounds/pair_table.h"

namespace intersections {

// Gallot's and Kounias's lower bound on the probability of the union from the
// lines of orders 1 and 2: for any weights c_i >= 0, not all 0,
//   P(union) >= (sum_i c_i a_i)^2 / (sum_i sum_j c_i c_j b_ij),  with b_ii = a_i,
// where a_i = P(A_i) and b_ij = P(A_i and A_j) come from the table, each known
// only to lie in its interval. Multiplying every weight by the same positive
// number leaves the value unchanged.
//
// With X = sum_i c_i 1[A_i], Cauchy-Schwarz gives E[X]^2 <= E[X^2] P(X > 0),
// and P(X > 0) <= P(union). The weights are >= 0, so the numerator grows with
// every a_i and the denominator with every a_i and b_ij: the low ends of the
// a_i above and the high ends of the a_i and b_ij below make the value no
// larger than at any true probabilities within the intervals.

// The bound exactly at whole weights (one per event, each >= 0):
//   (sum_i c_i low(a_i))^2 / (sum_i c_i^2 high(a_i) + 2 sum_{i<j} c_i c_j high(b_ij)).
// 0 when the numerator is 0 (every weight is 0 or on an event with low(a_i) = 0).
// Throws std::invalid_argument when there is not one weight an event or one is negative.
mpq_class gallotKouniasWithWholeWeights(const PairTable& table,
                                        const std::vector<mpz_class>& weights);

// The same at weights of floating point, each taken as the exact binary
// fraction it holds. Throws std::invalid_argument when there is not one weight
// an event or one is negative, infinite or not a number.
mpq_class gallotKouniasWithWeights(const PairTable& table, const std::vector<double>& weights);

// Weights that nearly maximise the bound over c >= 0 at the ends above, found
// in floating point: 0 on every event with low(a_i) = 0, and otherwise a local
// maximum of the value (the best when the high ends make a positive
// semidefinite matrix, as exact consistent lines do), to about the precision
// of a double unless the search stops at its limit of work, about 2 * 10^9
// multiply-adds. With k events of low(a_i) > 0, it holds k^2 doubles and each
// of its steps costs of the order of k^2 times the conjugate gradient steps it
// takes.
std::vector<double> gallotKouniasWeights(const PairTable& table);

// The bound at good weights, exactly: the largest of its values at
// gallotKouniasWeights (rounded to whole multiples of 2^-52 of the largest),
// at weight 1 on every event with low(a_i) > 0, and de Caen's bound (which
// its value at de Caen's weights above never falls below). So it is never
// below de Caen's bound nor below the value at equal weights, and never above
// the largest value over all weights c >= 0. 0 when every low(a_i) is 0; not
// capped to [0, 1].
mpq_class gallotKounias(const PairTable& table);

}  // namespace intersections
