#include "bounds/pairwise_bounds.h"

#include <algorithm>
#include <stdexcept>

#include "bounds/prob_file.h"

namespace intersections {

namespace {

std::uint64_t low(std::uint32_t x) { return x > 0 ? x - 1 : 0; }
std::uint64_t up(std::uint32_t x) { return x < unitsPerOne ? std::uint64_t{x} + 1 : unitsPerOne; }

void checkSizes(std::size_t n, const std::vector<std::uint32_t>& pairs) {
  if (pairs.size() != n * (n - 1) / 2) {
    throw std::invalid_argument("pairwise bounds: " + std::to_string(pairs.size()) + " pairs for " +
                                std::to_string(n) + " events");
  }
}

// Where the pair of events i < j (from 0) stands in the file's order: the
// pairs that start with 0..i-1, then those of i before j.
std::size_t pairIndex(std::size_t n, std::size_t i, std::size_t j) {
  return i * (2 * n - i - 1) / 2 + (j - i - 1);
}

}  // namespace

mpz_class hunterWorsleyUnits(const std::vector<std::uint32_t>& singles,
                             const std::vector<std::uint32_t>& pairs) {
  const std::size_t n = singles.size();
  checkSizes(n, pairs);
  mpz_class bound;
  for (const std::uint32_t a : singles) bound += static_cast<unsigned long>(up(a));
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
      const std::uint32_t b = pairs[next < v ? pairIndex(n, next, v) : pairIndex(n, v, next)];
      best[v] = std::max(best[v], low(b));
    }
  }
  return bound - static_cast<unsigned long>(tree);
}

mpq_class deCaen(const std::vector<std::uint32_t>& singles,
                 const std::vector<std::uint32_t>& pairs) {
  const std::size_t n = singles.size();
  checkSizes(n, pairs);
  // denominators[i] = up(a_i) + sum_{j != i} up(b_ij), from one pass over the pairs.
  std::vector<std::uint64_t> denominators(n);
  for (std::size_t i = 0; i < n; ++i) denominators[i] = up(singles[i]);
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j, ++at) {
      denominators[i] += up(pairs[at]);
      denominators[j] += up(pairs[at]);
    }
  }
  mpq_class bound;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t a = low(singles[i]);
    if (a == 0) continue;
    const std::uint64_t denominator = denominators[i];
    // In units: a^2 / denominator units, that is a^2 / (denominator * 10^9).
    mpq_class term(mpz_class(static_cast<unsigned long>(a)) * static_cast<unsigned long>(a),
                   mpz_class(static_cast<unsigned long>(denominator)) * unitsPerOne);
    term.canonicalize();
    bound += term;
  }
  return bound;
}

}  // namespace intersections
