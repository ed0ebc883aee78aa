#include "bounds/pairwise_bounds.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "lines/observations.h"

namespace intersections {

namespace {

// For each i, high(a_i) + sum_{j != i} high(b_ij), from one pass over the pairs.
std::vector<std::uint64_t> highBetas(const PairTable& table) {
  const std::size_t n = table.events();
  const IntervalList& pairs = table.pairs();
  std::vector<std::uint64_t> betas(n);
  for (std::size_t i = 0; i < n; ++i) betas[i] = table.single(i).high;
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j, ++at) {
      const std::uint32_t b = pairs.high(at);
      betas[i] += b;
      betas[j] += b;
    }
  }
  return betas;
}

mpz_class whole(std::uint64_t value) { return mpz_class(static_cast<unsigned long>(value)); }

}  // namespace

mpq_class hunterWorsley(const PairTable& table) {
  const std::size_t n = table.events();
  mpz_class bound;
  for (std::size_t i = 0; i < n; ++i) bound += static_cast<unsigned long>(table.single(i).high);
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
      const std::uint32_t b = table.pair(next, v).low;
      best[v] = std::max<std::uint64_t>(best[v], b);
    }
  }
  return probabilityOfUnits(bound - static_cast<unsigned long>(tree));
}

mpq_class deCaen(const PairTable& table) {
  const std::vector<std::uint64_t> denominators = highBetas(table);
  mpq_class bound;
  for (std::size_t i = 0; i < table.events(); ++i) {
    const std::uint64_t a = table.single(i).low;
    if (a == 0) continue;
    // In units: a^2 / denominator units, that is a^2 / (denominator * 10^9).
    mpq_class term(whole(a) * whole(a), whole(denominators[i]) * unitsPerOne);
    term.canonicalize();
    bound += term;
  }
  return bound;
}

// Why the low end of a_i and the high ends of the b_ij give a lower bound.
// Write a = a_i, s = sum_{j != i} b_ij, beta = a + s, x = beta / a >= 1 and
// t = floor(x) = 1 + floor(s / a). On the piece t <= x < t + 1 the broken
// line is g(x) = ((2t + 1) - x) / (t (t + 1)), so the term is
//   a g(x) = (2 t a - s) / (t (t + 1)),
// which grows with a (slope 2 / (t + 1)) and falls with s (slope
// -1 / (t (t + 1))) while t stays. Where t steps up (s / a reaches a whole
// number t) both pieces give a / (t + 1): the term is continuous, so it
// grows with a and falls with s over the whole range, and it tends to 0 with
// a. Each a_i is in term i alone and each b_ij adds to s_i and s_j only, so
// one corner of the box, every a_i low and every b_ij high, makes every term
// as small as it gets at once: the sum there is at most the sum at the true
// values, which is at most the union.
mpq_class kuaiAlajajiTakahara(const PairTable& table) {
  const std::vector<std::uint64_t> betas = highBetas(table);
  mpq_class bound;
  for (std::size_t i = 0; i < table.events(); ++i) {
    const std::uint64_t a = table.single(i).low;
    if (a == 0) continue;
    // betas[i] holds high(a_i); s is the rest.
    const std::uint64_t s = betas[i] - table.single(i).high;
    const std::uint64_t t = 1 + s / a;
    // In units: (2ta - s) / (t (t + 1)); 2ta <= 2(a + s) stays far below 2^64.
    mpq_class term(whole(2 * t * a - s), whole(t) * whole(t + 1) * unitsPerOne);
    term.canonicalize();
    bound += term;
  }
  return bound;
}

}  // namespace intersections
