#include "bounds/pairwise_bounds.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounds/observations.h"

namespace intersections {

namespace {

void checkSizes(std::size_t n, const IntervalList& pairs) {
  if (pairs.size() != n * (n - 1) / 2) {
    throw std::invalid_argument("pairwise bounds: " + std::to_string(pairs.size()) + " pairs for " +
                                std::to_string(n) + " events");
  }
}

}  // namespace

mpq_class hunterWorsley(const IntervalList& singles, const IntervalList& pairs) {
  const std::size_t n = singles.size();
  checkSizes(n, pairs);
  mpz_class bound;
  for (std::size_t i = 0; i < n; ++i) bound += static_cast<unsigned long>(singles.high(i));
  // Prim's algorithm on the dense graph: best[v] is the heaviest edge from v
  // into the tree grown so far.
  std::vector<bool> inTree(n, false);
  std::vector<std::uint64_t> best(n, 0);
  std::uint64_t tree = 0;
  for (std::size_t added = 0; added < n; ++added) {
    std::size_t next = n;
    for (std::size_t v = 0; v < n; ++v) {
      if (!inTree[v] && (next == n || best[v] > best[next])) next = v;
    }
    inTree[next] = true;
    if (added > 0) tree += best[next];
    for (std::size_t v = 0; v < n; ++v) {
      if (inTree[v]) continue;
      const std::uint32_t b = pairs.low(next < v ? pairIndex(n, next, v) : pairIndex(n, v, next));
      best[v] = std::max<std::uint64_t>(best[v], b);
    }
  }
  return probabilityOfUnits(bound - static_cast<unsigned long>(tree));
}

mpq_class deCaen(const IntervalList& singles, const IntervalList& pairs) {
  const std::size_t n = singles.size();
  checkSizes(n, pairs);
  // denominators[i] = high(a_i) + sum_{j != i} high(b_ij), from one pass over the pairs.
  std::vector<std::uint64_t> denominators(n);
  for (std::size_t i = 0; i < n; ++i) denominators[i] = singles.high(i);
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j, ++at) {
      const std::uint32_t b = pairs.high(at);
      denominators[i] += b;
      denominators[j] += b;
    }
  }
  mpq_class bound;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t a = singles.low(i);
    if (a == 0) continue;
    // In units: a^2 / denominator units, that is a^2 / (denominator * 10^9).
    mpq_class term(mpz_class(static_cast<unsigned long>(a)) * static_cast<unsigned long>(a),
                   mpz_class(static_cast<unsigned long>(denominators[i])) * unitsPerOne);
    term.canonicalize();
    bound += term;
  }
  return bound;
}

}  // namespace intersections
