#include "bounds/order_bounds.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "bounds/bonferroni.h"
#include "bounds/cherry_bound.h"
#include "bounds/gallot_kounias.h"
#include "bounds/pairwise_bounds.h"
#include "bounds/sharp_bounds.h"

namespace intersections {

InconsistentValues::InconsistentValues(std::size_t firstOrders, std::int32_t n)
    : std::runtime_error("the values of order" + std::string(firstOrders > 1 ? "s 1 to " : " ") +
                         std::to_string(firstOrders) + " fit no probability space of " +
                         std::to_string(n) + " events"),
      orders(firstOrders) {}

InconsistentValues::InconsistentValues(const std::string& message, std::size_t firstOrders)
    : std::runtime_error(message), orders(firstOrders) {}

namespace {

std::string pairMessage(const PairConflict& conflict) {
  const std::string i = std::to_string(conflict.first + 1), j = std::to_string(conflict.second + 1);
  std::string why;
  switch (conflict.kind) {
    case PairConflict::pairAboveFirst:
      why = "the pair is more probable than event " + i;
      break;
    case PairConflict::pairAboveSecond:
      why = "the pair is more probable than event " + j;
      break;
    case PairConflict::unionAboveOne:
      why = "their union would be more probable than 1";
      break;
  }
  return "the values of events " + i + " and " + j +
         " and of their pair fit no probability space: " + why;
}

}  // namespace

InconsistentPair::InconsistentPair(const PairConflict& pairConflict)
    : InconsistentValues(pairMessage(pairConflict), 2), conflict(pairConflict) {}

std::vector<OrderBounds> boundsByOrder(const Observations& seen, const BoundsRequest& request) {
  const std::int32_t n = seen.n;
  const std::int32_t r = request.atLeast;
  if (r < 1 || r > n) throw std::invalid_argument("boundsByOrder: atLeast must be from 1 to n");
  // Before any bound: a pair that does not fit its singles is named.
  std::optional<PairTable> table;
  if (seen.orders.size() >= 2 && seen.lines.size() >= 2) {
    table.emplace(seen.lines[0], seen.lines[1]);
    if (const auto conflict = firstInconsistentPair(*table)) throw InconsistentPair(*conflict);
  }
  std::vector<MomentInterval> moments;
  for (const OrderSums& sums : seen.orders) {
    moments.push_back({probabilityOfUnits(sums.low), probabilityOfUnits(sums.high)});
  }
  const std::vector<UnionInterval> sharp = sharpUnionBounds(n, moments, r);
  if (sharp.size() < moments.size()) throw InconsistentValues(sharp.size() + 1, n);

  std::optional<mpq_class> hunterWorsleyBound, deCaenBound, katBound, gallotKouniasBound,
      cherryBound;
  if (r == 1 && seen.orders.size() >= 2) {
    if (!table) throw std::invalid_argument("boundsByOrder: the pairs were not kept");
    hunterWorsleyBound = hunterWorsley(*table);
    deCaenBound = deCaen(*table);
    katBound = kuaiAlajajiTakahara(*table);
    if (n <= gallotKouniasEventsLimit) gallotKouniasBound = gallotKounias(*table);
    if (seen.orders.size() >= 3)
      cherryBound = intersections::cherryBound(*table, keptTripleLines(seen)).value;
    // Each is a bound for every space the values fit, as the sharp ones are:
    // if a lower one passes an upper one, no space fits.
    const UnionInterval& last = sharp.back();
    mpq_class lowest = std::min(*hunterWorsleyBound, last.upper);
    mpq_class highest = std::max({*deCaenBound, *katBound, last.lower});
    if (gallotKouniasBound) highest = std::max(highest, *gallotKouniasBound);
    if (cherryBound) lowest = std::min(lowest, *cherryBound);
    if (highest > lowest) throw InconsistentValues(sharp.size(), n);
    // Above 1 they say nothing a probability does not: capped, still bounds.
    hunterWorsleyBound = std::min<mpq_class>(*hunterWorsleyBound, 1);
    if (cherryBound) cherryBound = std::min<mpq_class>(*cherryBound, 1);
  }

  std::vector<BooleanOrderBounds> boolean;
  const std::size_t booleanOrders =
      std::min(seen.orders.size(), static_cast<std::size_t>(std::max(request.booleanOrders, 0)));
  if (booleanOrders > 0) {
    if (seen.lines.size() < booleanOrders)
      throw std::invalid_argument("boundsByOrder: the lines of the Boolean orders were not kept");
    const std::vector<IntervalList> kept(
        seen.lines.begin(), seen.lines.begin() + static_cast<std::ptrdiff_t>(booleanOrders));
    boolean = booleanBounds(n, kept, r, request.progress, request.booleanWorkLimit);
    if (boolean.size() < booleanOrders) throw InconsistentValues(boolean.size() + 1, n);
  }

  std::vector<OrderBounds> rows;
  std::vector<mpz_class> sums;
  for (std::size_t k = 0; k < seen.orders.size(); ++k) {
    OrderBounds row;
    row.order = static_cast<std::int32_t>(k + 1);
    row.moment = seen.orders[k].value;
    sums.push_back(row.moment);
    row.bonferroni = bonferroniAtLeast(sums, r);
    row.bonferroniIsUpper = bonferroniIsUpper(row.order, r);
    row.lower = sharp[k].lower;
    row.upper = sharp[k].upper;
    row.lowerProof = sharp[k].lowerProof;
    row.upperProof = sharp[k].upperProof;
    if (k >= 1) {
      row.hunterWorsley = hunterWorsleyBound;
      row.deCaen = deCaenBound;
      row.kat = katBound;
      row.gallotKounias = gallotKouniasBound;
    }
    if (k >= 2) row.cherry = cherryBound;
    if (k < boolean.size()) {
      // Both are bounds, and the atoms' problem constrains more than the
      // sums': the better of the two is still a bound.
      row.booleanLower = std::max(boolean[k].lower, row.lower);
      row.booleanUpper = std::min(boolean[k].upper, row.upper);
      row.booleanOptimal = boolean[k].optimal;
      if (boolean[k].lower > row.lower) row.booleanLowerProof = boolean[k].lowerProof;
      if (boolean[k].upper < row.upper) row.booleanUpperProof = boolean[k].upperProof;
      row.booleanLowerWitness = std::move(boolean[k].lowerWitness);
      row.booleanUpperWitness = std::move(boolean[k].upperWitness);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

LineSelection linesNeeded(const BoundsRequest& request) {
  LineSelection keep;
  keep.keepOrders = std::max(2, request.booleanOrders);
  if (request.atLeast == 1 && keep.keepOrders == 2) keep.pick = cherryLinePlaces;
  return keep;
}

}  // namespace intersections
