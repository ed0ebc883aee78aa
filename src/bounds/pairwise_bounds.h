#pragma once

#include <gmpxx.h>

#include "bounds/pair_table.h"

namespace intersections {

// Bounds on the probability of the union from the individual probabilities
// of orders 1 and 2, each known only to lie in its interval: a_i = P(A_i) and
// b_ij = P(A_i and A_j), from the table. All are exact, and hold for every
// choice of true values within the intervals.

// Hunter and Worsley's upper bound, sum_i high(a_i) - W, where W is the
// weight of a maximum spanning tree of the complete graph on the n events
// with edge weights low(b_ij). The union is at most sum_i a_i minus the sum of
// b_ij over the edges of any spanning tree; the highest a and the lowest b
// make that largest, and the heaviest tree makes it smallest.
mpq_class hunterWorsley(const PairTable& table);

// de Caen's lower bound, the sum over the i with low(a_i) > 0 of
// low(a_i)^2 / (high(a_i) + sum_{j != i} high(b_ij)). Each term grows with
// a_i in its numerator and falls with the sum in its denominator, which holds
// a_i too; taking the low end above and the high end below keeps each term no
// larger than its value at the true probabilities.
mpq_class deCaen(const PairTable& table);

// Kuai, Alajaji and Takahara's lower bound, never below de Caen's: with
// beta_i = a_i + sum_{j != i} b_ij and t_i = floor(beta_i / a_i), the sum over
// the i with low(a_i) > 0 of a_i g(beta_i / a_i), where g is the broken line
// through the points (t, 1/t) of 1/x at the whole numbers (de Caen's term is
// a_i / (beta_i / a_i), and g >= 1/x), taken at low(a_i) and high(b_ij).
mpq_class kuaiAlajajiTakahara(const PairTable& table);

}  // namespace intersections
