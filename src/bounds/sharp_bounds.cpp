#include "bounds/sharp_bounds.h"

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

// The exact check of every result. The simplex keeps its tableau, B^-1 A,
// up to date pivot by pivot; the check goes back to the program itself (the
// binomial coefficients, the moment intervals) and takes from the tableau
// only the point, each column's status and the basis, so that a wrong pivot,
// ratio test or bound status cannot pass unseen. An optimum must be a
// feasible point, the dual values of its basis must have reduced costs of the
// right sign for each column's status, and the two objectives must be equal:
// by weak duality the point is then optimal. An order found infeasible must
// come with a Farkas certificate. Each check costs about (k + 1) (n + 1)
// products of integers and (k + 1)^2 of rationals, little beside the pivots.

// Dual values y^T = c_B^T B^-1 of the tableau's basis for `cost`, over one
// denominator: y_r = numerators[r] / denominator, with denominator > 0.
struct DualValues {
  std::vector<mpz_class> numerators;
  mpz_class denominator;
};

// The columns of the slacks, in the order of their rows 1, 2, ...: columns
// keep their order when artificial ones are dropped.
std::vector<std::size_t> slackColumns(const Tableau& t) {
  std::vector<std::size_t> slacks;
  for (std::size_t c = 0; c < t.vars.size(); ++c) {
    if (t.vars[c].kind == Kind::slack) slacks.push_back(c);
  }
  return slacks;
}

// B^-1 is read off the tableau: A's column of v_0 is e_0 and that of the
// slack of row i is -e_i, so the tableau's columns of these two hold B^-1 e_0
// and -B^-1 e_i.
DualValues dualValues(const Tableau& t, const std::vector<std::size_t>& slacks,
                      const std::vector<int>& cost) {
  const std::size_t rows = t.rows.size();
  std::vector<mpq_class> y(rows);
  for (std::size_t r = 0; r < rows; ++r) {
    const int basicCost = cost[t.basicOf[r]];
    if (basicCost == 0) continue;
    y[0] += basicCost * t.rows[r][0];
    for (std::size_t i = 1; i < rows; ++i) y[i] -= basicCost * t.rows[r][slacks[i - 1]];
  }
  DualValues dual;
  dual.denominator = 1;
  for (const mpq_class& value : y) {
    mpz_lcm(dual.denominator.get_mpz_t(), dual.denominator.get_mpz_t(),
            value.get_den().get_mpz_t());
  }
  for (const mpq_class& value : y) {
    dual.numerators.push_back(value.get_num() * (dual.denominator / value.get_den()));
  }
  return dual;
}

// y^T A_j times the denominator, for the column of every v_j, j = 0..n: its
// entries are 1 in row 0 and C(j, i) in row i.
std::vector<mpz_class> eventColumnProducts(const DualValues& dual, std::int32_t n) {
  const std::size_t rows = dual.numerators.size();
  std::vector<mpz_class> binomials(rows, 0);  // C(j, 0..k), one j after another
  binomials[0] = 1;
  std::vector<mpz_class> products;
  products.reserve(static_cast<std::size_t>(n) + 1);
  for (std::int32_t j = 0; j <= n; ++j) {
    if (j > 0) {
      for (std::size_t i = rows - 1; i > 0; --i) binomials[i] += binomials[i - 1];
    }
    mpz_class& product = products.emplace_back(dual.numerators[0]);
    for (std::size_t i = 1; i < rows && sgn(binomials[i]) != 0; ++i) {
      mpz_addmul(product.get_mpz_t(), dual.numerators[i].get_mpz_t(), binomials[i].get_mpz_t());
    }
  }
  return products;
}

[[noreturn]] void checkFailed(std::int32_t order, const char* what) {
  throw std::logic_error("sharpUnionBounds: the result of order " + std::to_string(order) +
                         " fails its exact check: " + what);
}

// A nonbasic column's value is its bound, and a basic one lies within its bounds.
bool valueFitsStatus(const Variable& v, const mpq_class& upper, bool bounded) {
  if (!v.basic) return v.atUpper ? bounded && v.value == upper : sgn(v.value) == 0;
  return sgn(v.value) >= 0 && (!bounded || v.value <= upper);
}

// Whether a reduced cost (times the positive denominator) has the sign the
// column's status needs at an optimum of a minimisation: 0 for a basic
// column, >= 0 at 0, <= 0 at the upper bound. A column fixed at 0 may have any.
bool reducedCostFitsStatus(const Variable& v, const mpz_class& reduced, const mpq_class& upper,
                           bool bounded) {
  if (v.basic) return sgn(reduced) == 0;
  if (bounded && sgn(upper) == 0) return true;
  return v.atUpper ? sgn(reduced) <= 0 : sgn(reduced) >= 0;
}

// Throws std::logic_error unless the tableau's point is an optimum of
// minimising sum_c cost[c] x_c subject to the rows of the first moments.size()
// orders.
void checkOptimum(const Tableau& t, std::int32_t n, const std::vector<MomentInterval>& moments,
                  const std::vector<int>& cost) {
  const auto order = static_cast<std::int32_t>(moments.size());
  const std::vector<std::size_t> slacks = slackColumns(t);
  if (slacks.size() != moments.size() || t.rows.size() != moments.size() + 1)
    checkFailed(order, "the tableau has not one row and one slack per order");
  const DualValues dual = dualValues(t, slacks, cost);
  const std::vector<mpz_class> products = eventColumnProducts(dual, n);

  // The point: each row of the program holds, each value fits its status.
  // The events' values over one denominator, so that the rows add integers.
  mpz_class common = 1;
  for (std::int32_t j = 0; j <= n; ++j) {
    const Variable& v = t.vars[static_cast<std::size_t>(j)];
    if (v.kind != Kind::event || v.bounded || !valueFitsStatus(v, 0, false))
      checkFailed(order, "an event's value does not fit its status");
    mpz_lcm(common.get_mpz_t(), common.get_mpz_t(), v.value.get_den().get_mpz_t());
  }
  std::vector<mpz_class> rowSums(moments.size() + 1);  // times `common`
  mpz_class primalSum, scaled, binomial;
  for (std::int32_t j = 0; j <= n; ++j) {
    const mpq_class& value = t.vars[static_cast<std::size_t>(j)].value;
    if (sgn(value) == 0) continue;
    scaled = value.get_num() * (common / value.get_den());
    primalSum += cost[static_cast<std::size_t>(j)] * scaled;
    rowSums[0] += scaled;
    for (std::size_t i = 1; i < rowSums.size() && static_cast<std::int32_t>(i) <= j; ++i) {
      mpz_bin_uiui(binomial.get_mpz_t(), static_cast<unsigned long>(j), i);
      mpz_addmul(rowSums[i].get_mpz_t(), binomial.get_mpz_t(), scaled.get_mpz_t());
    }
  }
  std::vector<mpq_class> rowValues;
  for (const mpz_class& sum : rowSums) {
    mpq_class& row = rowValues.emplace_back(sum, common);
    row.canonicalize();
  }
  mpq_class primal(primalSum, common);
  primal.canonicalize();
  if (rowValues[0] != 1) checkFailed(order, "the probabilities do not add up to 1");
  mpq_class dualObjective = dual.numerators[0];  // y^T b, b = (1, low_1, ..., low_k), then
  for (std::size_t i = 1; i < rowValues.size(); ++i) {
    const MomentInterval& moment = moments[i - 1];
    const Variable& w = t.vars[slacks[i - 1]];
    const mpq_class width = moment.high - moment.low;
    if (!valueFitsStatus(w, width, true) || rowValues[i] - w.value != moment.low)
      checkFailed(order, "a moment's row does not hold");
    // The slack's reduced cost is 0 - y^T (-e_i) = y_i.
    const mpz_class& reduced = dual.numerators[i];
    if (!reducedCostFitsStatus(w, reduced, width, true))
      checkFailed(order, "a slack's reduced cost has the wrong sign");
    dualObjective += dual.numerators[i] * moment.low;
    // a bounded column's dual term: its bound times the negative part of its reduced cost
    if (sgn(reduced) < 0) dualObjective += width * reduced;
  }
  for (const Variable& v : t.vars) {
    if (v.kind == Kind::artificial && sgn(v.value) != 0)
      checkFailed(order, "an artificial column is not 0");
  }
  for (std::int32_t j = 0; j <= n; ++j) {
    const auto c = static_cast<std::size_t>(j);
    const mpz_class reduced = cost[c] * dual.denominator - products[c];
    if (!reducedCostFitsStatus(t.vars[c], reduced, 0, false))
      checkFailed(order, "an event's reduced cost has the wrong sign");
  }
  dualObjective /= dual.denominator;
  if (primal != dualObjective) checkFailed(order, "the primal and the dual objectives differ");
}

// Throws std::logic_error unless the dual values of the tableau's basis for
// the first phase's `cost` prove that no point satisfies the rows of the
// first moments.size() orders: y with y^T A_j <= 0 for every v_j, so that
// y^T A x is at most the sum over the slacks of width_i max(0, y^T A_w_i)
// for every point in the bounds, and that sum below y^T b.
void checkInfeasible(const Tableau& t, std::int32_t n, const std::vector<MomentInterval>& moments,
                     const std::vector<int>& cost) {
  const auto order = static_cast<std::int32_t>(moments.size());
  const std::vector<std::size_t> slacks = slackColumns(t);
  if (slacks.size() != moments.size() || t.rows.size() != moments.size() + 1)
    checkFailed(order, "the tableau has not one row and one slack per order");
  const DualValues dual = dualValues(t, slacks, cost);
  for (const mpz_class& product : eventColumnProducts(dual, n)) {
    if (sgn(product) > 0) checkFailed(order, "the Farkas certificate fails on an event");
  }
  mpq_class margin = dual.numerators[0];  // y^T b less the most the slacks can add
  for (std::size_t i = 1; i < dual.numerators.size(); ++i) {
    const MomentInterval& moment = moments[i - 1];
    margin += dual.numerators[i] * moment.low;
    // y^T A_w_i = -y_i
    if (sgn(dual.numerators[i]) < 0) margin += (moment.high - moment.low) * dual.numerators[i];
  }
  if (sgn(margin) <= 0) checkFailed(order, "the Farkas certificate does not separate");
}

// Adds the row of order moments.size() to `t` and minimises direction *
// (v_atLeast + ... + v_n), and checks the result exactly. Returns that
// probability at the optimum, or nothing when no point satisfies the rows.
std::optional<mpq_class> addOrderAndOptimise(Tableau& t, std::int32_t n,
                                             const std::vector<MomentInterval>& moments,
                                             int direction, std::int32_t atLeast) {
  const auto order = static_cast<std::int32_t>(moments.size());
  if (const auto artificial = addOrder(t, n, order, moments.back())) {
    std::vector<int> cost(t.vars.size(), 0);
    cost[*artificial] = 1;
    minimise(t, cost);
    if (sgn(t.vars[*artificial].value) != 0) {
      checkInfeasible(t, n, moments, cost);
      return std::nullopt;
    }
    t.vars[*artificial].bounded = true;
    t.vars[*artificial].upper = 0;
    dropSpentArtificials(t);
  }
  std::vector<int> cost(t.vars.size(), 0);
  for (std::int32_t j = atLeast; j <= n; ++j) cost[static_cast<std::size_t>(j)] = direction;
  minimise(t, cost);
  checkOptimum(t, n, moments, cost);
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
  std::vector<MomentInterval> first;  // the moments of orders 1 to k
  for (const MomentInterval& moment : canonical) {
    first.push_back(moment);
    const std::optional<mpq_class> lower = addOrderAndOptimise(lowest, n, first, 1, atLeast);
    if (!lower) break;
    const std::optional<mpq_class> upper = addOrderAndOptimise(highest, n, first, -1, atLeast);
    if (!upper)
      throw std::logic_error("sharpUnionBounds: the two tableaux disagree on feasibility");
    result.push_back({*lower, *upper});
  }
  return result;
}

}  // namespace intersections
