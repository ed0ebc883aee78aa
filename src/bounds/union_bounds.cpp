#include "bounds/union_bounds.h"

#include <algorithm>

#include "bounds/pairwise_bounds.h"
#include "bounds/sharp_bounds.h"

namespace intersections {

namespace {

// The widest the true S_k can be: each line's value minus one unit, but not
// below 0, to plus one unit, but not above 1.
MomentInterval momentInterval(const OrderTotals& totals) {
  const mpz_class lowered = totals.sum - static_cast<unsigned long>(totals.lines - totals.zeros);
  const mpz_class raised = totals.sum + static_cast<unsigned long>(totals.lines - totals.ones);
  return {probabilityOfUnits(lowered), probabilityOfUnits(raised)};
}

}  // namespace

std::vector<OrderBounds> unionBounds(const ProbFile& file, std::int32_t n,
                                     const std::string& name) {
  auto inconsistent = [&](std::size_t orders) {
    return ProbFileError(name + ": the values of order" + (orders > 1 ? "s 1 to " : " ") +
                         std::to_string(orders) + " fit no probability space of " +
                         std::to_string(n) + " events; is N right?");
  };
  std::vector<MomentInterval> moments;
  for (const OrderTotals& totals : file.orders) moments.push_back(momentInterval(totals));
  const std::vector<UnionInterval> sharp = sharpUnionBounds(n, moments);
  if (sharp.size() < moments.size()) throw inconsistent(sharp.size() + 1);

  std::optional<mpq_class> hunterWorsley, deCaenBound;
  if (file.orders.size() >= 2) {
    hunterWorsley = probabilityOfUnits(hunterWorsleyUnits(file.singles, file.pairs));
    deCaenBound = deCaen(file.singles, file.pairs);
    // Each is a bound for every space the values fit, as the sharp ones are:
    // if they cross, no space fits.
    const UnionInterval& last = sharp.back();
    if (*deCaenBound > *hunterWorsley || *deCaenBound > last.upper || last.lower > *hunterWorsley) {
      throw inconsistent(sharp.size());
    }
  }

  std::vector<OrderBounds> rows;
  mpz_class bonferroni;
  for (std::size_t k = 0; k < file.orders.size(); ++k) {
    OrderBounds row;
    row.order = static_cast<std::int32_t>(k + 1);
    row.moment = file.orders[k].sum;
    bonferroni += k % 2 == 0 ? row.moment : mpz_class(-row.moment);
    row.bonferroni = bonferroni;
    row.lower = sharp[k].lower;
    row.upper = sharp[k].upper;
    if (k >= 1) {
      row.hunterWorsley = hunterWorsley;
      row.deCaen = deCaenBound;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace intersections
