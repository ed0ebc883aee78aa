#pragma once

#include <cstdint>
#include <vector>

#include "bounds/exact_simplex.h"
#include "bounds/sharp_bounds.h"

namespace intersections {

// The exact checks of the moment problem's results. The simplex keeps its tableau, B^-1 A,
// up to date pivot by pivot; the check goes back to the program itself (the
// binomial coefficients, the moment intervals) and takes from the tableau
// only the point, each column's status and the basis, so that a wrong pivot,
// ratio test or bound status cannot pass unseen. An optimum must be a
// feasible point, the dual values of its basis must have reduced costs of the
// right sign for each column's status, and the two objectives must be equal:
// by weak duality the point is then optimal. An order found infeasible must
// come with a Farkas certificate. Each check costs about (k + 1) (n + 1)
// products of integers and (k + 1)^2 of rationals, little beside the pivots.
//
// The tableau is the moment problem's: columns 0 to n are v_0..v_n (kind
// event, unbounded), the slack w_i of row i is the i-th column of kind slack,
// row 0 is the total and row i the moment of order i; `cost` has one entry
// per column. Each check throws std::logic_error saying which condition
// failed: a wrong pivot, ratio test or bound status of the simplex shows up
// here whatever the tableau claims.

// Passes only if the tableau's point is an optimum of minimising
// sum_c cost[c] x_c subject to the rows of the first moments.size() orders.
// Returns the dual values it checked, y_0 of the total and y_i of the moment
// of order i: for every v_j, cost[j] >= y_0 + sum_i C(j, i) y_i, and the
// optimum is y_0 + sum_i y_i e_i with e_i the low end of moment i where
// y_i > 0 and its high end where y_i < 0.
std::vector<mpq_class> checkMomentOptimum(const Tableau& t, std::int32_t n,
                                          const std::vector<MomentInterval>& moments,
                                          const std::vector<int>& cost);

// Passes only if the dual values of the tableau's basis for the first
// phase's `cost` prove that no point satisfies the rows of the first
// moments.size() orders: y with y^T A_j <= 0 for every v_j, so that y^T A x
// is at most the sum over the slacks of width_i max(0, y^T A_w_i) for every
// point in the bounds, and that sum below y^T b (a Farkas certificate).
void checkMomentInfeasible(const Tableau& t, std::int32_t n,
                           const std::vector<MomentInterval>& moments,
                           const std::vector<int>& cost);

}  // namespace intersections
