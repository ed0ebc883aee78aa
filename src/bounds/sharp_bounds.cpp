#include "bounds/sharp_bounds.h"

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bounds/exact_simplex.h"
#include "bounds/moment_certificate.h"

// The linear program in bounded-variable form, one row per constraint:
//   row 0:  v_0 + ... + v_n = 1
//   row i:  sum_j C(j, i) v_j - w_i = low_i,   0 <= w_i <= high_i - low_i
// with v_j >= 0. The tableau holds B^-1 A for the current basis B, and every
// variable's current value; a nonbasic variable sits at 0 or at its upper
// bound. Orders are added one row at a time: the new row is written in terms
// of the nonbasic variables, and if the current point violates it an
// artificial variable of its own makes it feasible, which a first phase then
// drives to 0. So each order starts from the basis the previous one ended
// with, and most orders take a handful of pivots.
//
// The simplex is the exact one of exact_simplex.h, and every result passes
// the exact checks of moment_certificate.h before it is used.

namespace intersections {

namespace {

// Adds the row of order i. Returns the artificial column that makes it
// feasible, if the current point violates it.
std::optional<std::size_t> addOrder(Tableau& t, std::int32_t n, std::int32_t i,
                                    const MomentInterval& moment) {
  std::vector<mpq_class> row(t.vars.size());
  mpq_class current;  // S_i at the current point
  mpz_class coefficient;
  for (std::int32_t j = i; j <= n; ++j) {
    mpz_bin_uiui(coefficient.get_mpz_t(), static_cast<unsigned long>(j),
                 static_cast<unsigned long>(i));
    row[static_cast<std::size_t>(j)] = coefficient;
    current += coefficient * t.vars[static_cast<std::size_t>(j)].value;
  }
  // In terms of the nonbasic columns: subtract each basic column's row.
  mpq_class product;
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    const std::size_t b = t.basicOf[r];
    if (sgn(row[b]) == 0) continue;
    const mpq_class factor = row[b];
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (sgn(t.rows[r][c]) == 0) continue;
      mpq_mul(product.get_mpq_t(), factor.get_mpq_t(), t.rows[r][c].get_mpq_t());
      row[c] -= product;
    }
  }

  Variable slack;
  slack.kind = Kind::slack;
  slack.bounded = true;
  slack.upper = moment.high - moment.low;
  const std::size_t w = addColumn(t, slack);
  row.emplace_back(-1);

  auto negate = [&] {
    for (mpq_class& entry : row) entry = -entry;
  };
  std::optional<std::size_t> artificial;
  if (current >= moment.low && current <= moment.high) {
    t.vars[w].basic = true;
    t.vars[w].value = current - moment.low;
    negate();
    t.basicOf.push_back(w);
  } else {
    Variable a;
    a.kind = Kind::artificial;
    a.basic = true;
    artificial = addColumn(t, a);
    if (current < moment.low) {
      t.vars[*artificial].value = moment.low - current;
      row.emplace_back(1);
    } else {
      t.vars[w].atUpper = true;
      t.vars[w].value = t.vars[w].upper;
      t.vars[*artificial].value = current - moment.high;
      row.emplace_back(-1);
      negate();
    }
    t.basicOf.push_back(*artificial);
  }
  t.rows.push_back(std::move(row));
  return artificial;
}

// v_atLeast + ... + v_n at the current point.
mpq_class eventProbability(const Tableau& t, std::int32_t n, std::int32_t atLeast) {
  mpq_class sum;
  for (std::int32_t j = atLeast; j <= n; ++j) sum += t.vars[static_cast<std::size_t>(j)].value;
  return sum;
}

// A sharp bound and the dual values that prove it.
struct Optimum {
  mpq_class value;
  MomentProof proof;
};

// Adds the row of order moments.size() to `t` and minimises direction *
// (v_atLeast + ... + v_n), and checks the result exactly. Returns that
// probability at the optimum and its proof, or nothing when no point
// satisfies the rows.
std::optional<Optimum> addOrderAndOptimise(Tableau& t, std::int32_t n,
                                           const std::vector<MomentInterval>& moments,
                                           int direction, std::int32_t atLeast) {
  const auto order = static_cast<std::int32_t>(moments.size());
  if (const auto artificial = addOrder(t, n, order, moments.back())) {
    std::vector<int> cost(t.vars.size(), 0);
    cost[*artificial] = 1;
    minimise(t, cost);
    if (sgn(t.vars[*artificial].value) != 0) {
      checkMomentInfeasible(t, n, moments, cost);
      return std::nullopt;
    }
    t.vars[*artificial].bounded = true;
    t.vars[*artificial].upper = 0;
    dropSpentArtificials(t);
  }
  std::vector<int> cost(t.vars.size(), 0);
  for (std::int32_t j = atLeast; j <= n; ++j) cost[static_cast<std::size_t>(j)] = direction;
  minimise(t, cost);
  MomentProof proof{direction, checkMomentOptimum(t, n, moments, cost)};
  return Optimum{eventProbability(t, n, atLeast), std::move(proof)};
}

}  // namespace

std::vector<UnionInterval> sharpUnionBounds(std::int32_t n,
                                            const std::vector<MomentInterval>& moments,
                                            std::int32_t atLeast) {
  if (n < 1) throw std::invalid_argument("sharpUnionBounds: n must be at least 1");
  if (atLeast < 1 || atLeast > n)
    throw std::invalid_argument("sharpUnionBounds: atLeast must be from 1 to n");
  if (moments.size() > static_cast<std::size_t>(n)) {
    throw std::invalid_argument("sharpUnionBounds: more moments than events");
  }
  // GMP's arithmetic needs canonical operands; the caller's may not be.
  std::vector<MomentInterval> canonical = moments;
  for (MomentInterval& moment : canonical) {
    moment.low.canonicalize();
    moment.high.canonicalize();
    if (moment.low > moment.high)
      throw std::invalid_argument("sharpUnionBounds: an empty interval");
  }
  // One tableau follows the minimum from order to order and one the maximum:
  // each order then only adds its row to an optimal basis for the same
  // objective, which takes fewer pivots than turning one basis round twice.
  Tableau lowest;
  const auto events = static_cast<std::size_t>(n) + 1;
  lowest.vars.resize(events);
  lowest.rows.emplace_back(events, mpq_class(1));
  lowest.vars[0].basic = true;  // all the probability on "no event occurs"
  lowest.vars[0].value = 1;
  lowest.basicOf.push_back(0);
  Tableau highest = lowest;

  std::vector<UnionInterval> result;
  std::vector<MomentInterval> first;  // the moments of orders 1 to k
  for (const MomentInterval& moment : canonical) {
    first.push_back(moment);
    std::optional<Optimum> lower = addOrderAndOptimise(lowest, n, first, 1, atLeast);
    if (!lower) break;
    std::optional<Optimum> upper = addOrderAndOptimise(highest, n, first, -1, atLeast);
    if (!upper)
      throw std::logic_error("sharpUnionBounds: the two tableaux disagree on feasibility");
    result.push_back(
        {lower->value, upper->value, std::move(lower->proof), std::move(upper->proof)});
  }
  return result;
}

}  // namespace intersections
