#include "bounds/sharp_bounds.h"

#include <cstddef>
#include <optional>
#include <stdexcept>

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
// Pricing is Dantzig's rule (the largest reduced cost) while steps make
// progress, and Bland's rule after a step of length 0 until one does: Bland's
// rule alone also terminates, but on 1000 events it walked through the
// columns one at a time and took 35 times as long.

namespace intersections {

namespace {

enum class Kind { event, slack, artificial };

struct Variable {
  Kind kind = Kind::event;
  bool bounded = false;  // has an upper bound (the lower bound is always 0)
  mpq_class upper;       // the upper bound, when bounded
  bool basic = false;
  bool atUpper = false;  // nonbasic at its upper bound rather than at 0
  mpq_class value;
};

struct Tableau {
  std::vector<Variable> vars;                // the columns, in the order Bland's rule uses
  std::vector<std::vector<mpq_class>> rows;  // rows[r][c]: B^-1 A
  std::vector<std::size_t> basicOf;          // the column basic in each row
};

// Makes column c basic in row r: scales row r to a 1 in column c and clears
// column c from every other row and from the reduced costs.
void pivot(Tableau& t, std::vector<mpq_class>& reduced, std::size_t r, std::size_t c) {
  std::vector<mpq_class>& pivotRow = t.rows[r];
  const mpq_class scale = 1 / pivotRow[c];
  std::vector<std::size_t> nonzero;
  for (std::size_t k = 0; k < pivotRow.size(); ++k) {
    if (sgn(pivotRow[k]) != 0) {
      pivotRow[k] *= scale;
      nonzero.push_back(k);
    }
  }
  mpq_class product;
  auto eliminate = [&](std::vector<mpq_class>& row) {
    if (sgn(row[c]) == 0) return;
    const mpq_class factor = row[c];
    for (const std::size_t k : nonzero) {
      mpq_mul(product.get_mpq_t(), factor.get_mpq_t(), pivotRow[k].get_mpq_t());
      row[k] -= product;
    }
  };
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    if (i != r) eliminate(t.rows[i]);
  }
  eliminate(reduced);
  t.vars[t.basicOf[r]].basic = false;
  t.vars[c].basic = true;
  t.vars[c].atUpper = false;
  t.basicOf[r] = c;
}

// Minimises sum_c cost[c] * x_c from the current basic feasible point with
// the bounded-variable primal simplex. The entering column is the one whose
// reduced cost promises most (Dantzig's rule); after a step of length 0, and
// until a step makes progress again, it is the first column that improves the
// objective and the leaving row the one whose basic column comes first among
// those that block the step (Bland's rule), so that the method cannot cycle.
// A column whose upper bound is 0 never enters.
void minimise(Tableau& t, const std::vector<int>& cost) {
  const std::size_t columns = t.vars.size();
  std::vector<mpq_class> reduced(columns);
  for (std::size_t c = 0; c < columns; ++c) reduced[c] = cost[c];
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    const int basicCost = cost[t.basicOf[r]];
    if (basicCost == 0) continue;
    for (std::size_t c = 0; c < columns; ++c) {
      if (sgn(t.rows[r][c]) != 0) reduced[c] -= basicCost * t.rows[r][c];
    }
  }

  mpq_class limit, step;
  bool bland = false;
  for (;;) {
    std::optional<std::size_t> entering;
    for (std::size_t c = 0; c < columns; ++c) {
      const Variable& v = t.vars[c];
      if (v.basic || (v.bounded && sgn(v.upper) == 0)) continue;
      if (!((sgn(reduced[c]) < 0 && !v.atUpper) || (sgn(reduced[c]) > 0 && v.atUpper))) continue;
      if (!entering || abs(reduced[c]) > abs(reduced[*entering])) entering = c;
      if (bland) break;
    }
    if (!entering) return;
    const std::size_t c = *entering;
    const int direction = t.vars[c].atUpper ? -1 : 1;

    // The longest step: to the entering column's other bound, or until a
    // basic column reaches one of its bounds.
    std::optional<std::size_t> leavingRow;
    bool haveStep = t.vars[c].bounded;
    if (haveStep) step = t.vars[c].upper;
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
      const int rate = direction * sgn(t.rows[r][c]);  // the basic value falls when rate > 0
      if (rate == 0) continue;
      const Variable& b = t.vars[t.basicOf[r]];
      if (rate > 0) {
        limit = b.value / abs(t.rows[r][c]);
      } else if (b.bounded) {
        limit = (b.upper - b.value) / abs(t.rows[r][c]);
      } else {
        continue;
      }
      const bool better = !haveStep || limit < step ||
                          (limit == step && leavingRow && t.basicOf[r] < t.basicOf[*leavingRow]);
      if (better) {
        step = limit;
        haveStep = true;
        leavingRow = r;
      }
    }
    if (!haveStep) throw std::logic_error("sharpUnionBounds: the linear program is unbounded");
    bland = sgn(step) == 0;

    const mpq_class change = direction * step;
    t.vars[c].value += change;
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
      if (sgn(t.rows[r][c]) != 0) t.vars[t.basicOf[r]].value -= change * t.rows[r][c];
    }
    if (!leavingRow) {
      t.vars[c].atUpper = !t.vars[c].atUpper;
      continue;
    }
    const std::size_t r = *leavingRow;
    Variable& leaving = t.vars[t.basicOf[r]];
    const bool toUpper = direction * sgn(t.rows[r][c]) < 0;
    pivot(t, reduced, r, c);
    leaving.atUpper = toUpper;
    leaving.value = toUpper ? leaving.upper : mpq_class(0);
  }
}

std::size_t addColumn(Tableau& t, Variable variable) {
  t.vars.push_back(std::move(variable));
  for (std::vector<mpq_class>& row : t.rows) row.emplace_back(0);
  return t.vars.size() - 1;
}

// Drops the artificial columns that have left the basis; they are fixed at 0.
void dropSpentArtificials(Tableau& t) {
  std::vector<std::size_t> newIndex(t.vars.size());
  std::size_t kept = 0;
  for (std::size_t c = 0; c < t.vars.size(); ++c) {
    const bool drop = t.vars[c].kind == Kind::artificial && !t.vars[c].basic;
    newIndex[c] = kept;
    if (drop) continue;
    if (kept != c) {
      t.vars[kept] = std::move(t.vars[c]);
      for (std::vector<mpq_class>& row : t.rows) row[kept] = std::move(row[c]);
    }
    ++kept;
  }
  t.vars.resize(kept);
  for (std::vector<mpq_class>& row : t.rows) row.resize(kept);
  for (std::size_t& b : t.basicOf) b = newIndex[b];
}

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

// Adds the row of the next order to `t` and minimises direction *
// (v_atLeast + ... + v_n). Returns that probability at the optimum, or
// nothing when no point satisfies the rows.
std::optional<mpq_class> addOrderAndOptimise(Tableau& t, std::int32_t n, std::int32_t order,
                                             const MomentInterval& moment, int direction,
                                             std::int32_t atLeast) {
  if (const auto artificial = addOrder(t, n, order, moment)) {
    std::vector<int> cost(t.vars.size(), 0);
    cost[*artificial] = 1;
    minimise(t, cost);
    if (sgn(t.vars[*artificial].value) != 0) return std::nullopt;
    t.vars[*artificial].bounded = true;
    t.vars[*artificial].upper = 0;
    dropSpentArtificials(t);
  }
  std::vector<int> cost(t.vars.size(), 0);
  for (std::int32_t j = atLeast; j <= n; ++j) cost[static_cast<std::size_t>(j)] = direction;
  minimise(t, cost);
  return eventProbability(t, n, atLeast);
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
  for (std::size_t k = 0; k < canonical.size(); ++k) {
    const auto order = static_cast<std::int32_t>(k + 1);
    const std::optional<mpq_class> lower =
        addOrderAndOptimise(lowest, n, order, canonical[k], 1, atLeast);
    if (!lower) break;
    const std::optional<mpq_class> upper =
        addOrderAndOptimise(highest, n, order, canonical[k], -1, atLeast);
    if (!upper)
      throw std::logic_error("sharpUnionBounds: the two tableaux disagree on feasibility");
    result.push_back({*lower, *upper});
  }
  return result;
}

}  // namespace intersections
