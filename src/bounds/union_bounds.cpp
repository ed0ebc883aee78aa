#include "bounds/union_bounds.h"

#include <stdexcept>
#include <string>

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

std::vector<OrderBounds> unionBounds(const Observations& seen, const BoundsRequest& request) {
  if (request.atLeast != 1) throw std::invalid_argument("unionBounds: only the union so far");
  const std::int32_t n = seen.n;
  if (seen.orders.size() >= 2) {
    if (seen.lines.size() < 2) throw std::invalid_argument("unionBounds: the pairs were not kept");
    if (const auto conflict = firstInconsistentPair(seen.lines[0], seen.lines[1]))
      throw InconsistentPair(*conflict);
  }
  std::vector<MomentInterval> moments;
  for (const OrderSums& sums : seen.orders) {
    moments.push_back({probabilityOfUnits(sums.low), probabilityOfUnits(sums.high)});
  }
  const std::vector<UnionInterval> sharp = sharpUnionBounds(n, moments);
  if (sharp.size() < moments.size()) throw InconsistentValues(sharp.size() + 1, n);

  std::optional<mpq_class> hunterWorsleyBound, deCaenBound;
  if (seen.orders.size() >= 2) {
    hunterWorsleyBound = hunterWorsley(seen.lines[0], seen.lines[1]);
    deCaenBound = deCaen(seen.lines[0], seen.lines[1]);
    // Each is a bound for every space the values fit, as the sharp ones are:
    // if they cross, no space fits.
    const UnionInterval& last = sharp.back();
    if (*deCaenBound > *hunterWorsleyBound || *deCaenBound > last.upper ||
        last.lower > *hunterWorsleyBound) {
      throw InconsistentValues(sharp.size(), n);
    }
  }

  std::vector<OrderBounds> rows;
  mpz_class bonferroni;
  for (std::size_t k = 0; k < seen.orders.size(); ++k) {
    OrderBounds row;
    row.order = static_cast<std::int32_t>(k + 1);
    row.moment = seen.orders[k].value;
    bonferroni += k % 2 == 0 ? row.moment : mpz_class(-row.moment);
    row.bonferroni = bonferroni;
    row.lower = sharp[k].lower;
    row.upper = sharp[k].upper;
    if (k >= 1) {
      row.hunterWorsley = hunterWorsleyBound;
      row.deCaen = deCaenBound;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace intersections
