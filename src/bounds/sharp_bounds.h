#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <vector>

namespace intersections {

// What is known of one binomial moment S_i = sum over the sets of i events of
// the probability that all of them occur: low <= S_i <= high.
struct MomentInterval {
  mpq_class low;
  mpq_class high;
};

// What proves a sharp bound: with c_j = 1 for j >= atLeast and 0 below,
// dual values y_0..y_k (of the total and of the moments of orders 1 to k)
// such that sign * c_j >= y_0 + sum_i C(j, i) y_i for every j = 0..n. Then
// sign * (v_atLeast + ... + v_n) >= y_0 + sum_i y_i e_i for every v of the
// problem below, e_i the low end of moment i where y_i > 0 and its high end
// where y_i < 0; the bound is sign times that sum (sign 1: a lower bound,
// -1: an upper one).
struct MomentProof {
  int sign = 1;
  std::vector<mpq_class> y;
};

// The least and the greatest probability of the event bounded, and their proofs.
struct UnionInterval {
  mpq_class lower;
  mpq_class upper;
  MomentProof lowerProof;
  MomentProof upperProof;
};

// The sharp bounds on the probability that at least `atLeast` of n events
// occur (1: their union), given S_1..S_k in moments[0..k-1], for every k =
// 1..moments.size(): entry k - 1 holds the minimum and the maximum of
// v_atLeast + ... + v_n over all v_0..v_n >= 0 with v_0 + ... + v_n = 1 and
//   moments[i-1].low <= sum_j C(j, i) v_j <= moments[i-1].high,  i = 1..k,
// where v_j is the probability that exactly j events occur. Exact rational
// arithmetic throughout (a bounded-variable simplex that cannot cycle, each
// order starting from the previous order's bases). The result stops before
// the first order at which no v fits: it is shorter than `moments` exactly
// when the moments are inconsistent. Needs 1 <= atLeast <= n, at most n
// moments and low <= high; throws std::invalid_argument otherwise.
// Time grows with n * k per pivot; memory is (k + 1) * (n + 2k) rationals.
std::vector<UnionInterval> sharpUnionBounds(std::int32_t n,
                                            const std::vector<MomentInterval>& moments,
                                            std::int32_t atLeast = 1);

}  // namespace intersections
