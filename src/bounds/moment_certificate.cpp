#include "bounds/moment_certificate.h"

#include <stdexcept>
#include <string>

namespace intersections {

namespace {

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

}  // namespace

std::vector<mpq_class> checkMomentOptimum(const Tableau& t, std::int32_t n,
                                          const std::vector<MomentInterval>& moments,
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
  std::vector<mpq_class> y;
  for (const mpz_class& numerator : dual.numerators) {
    mpq_class& value = y.emplace_back(numerator, dual.denominator);
    value.canonicalize();
  }
  return y;
}

void checkMomentInfeasible(const Tableau& t, std::int32_t n,
                           const std::vector<MomentInterval>& moments,
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

}  // namespace intersections
