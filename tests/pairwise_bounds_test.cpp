// The bounds from orders 1 and 2 against a brute force over every spanning
// tree of small graphs.

#include "bounds/pairwise_bounds.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "lines/observations.h"

namespace {

using namespace intersections;

// The heaviest spanning tree of the events with edge weights low(b_ij), from
// every choice of n - 1 of the edges that joins all the events.
std::uint64_t heaviestTree(std::size_t n, const IntervalList& pairs) {
  std::vector<std::pair<std::size_t, std::size_t>> edges;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) edges.emplace_back(i, j);
  }
  std::uint64_t best = 0;
  for (std::uint32_t chosen = 0; chosen < (1u << edges.size()); ++chosen) {
    if (static_cast<std::size_t>(__builtin_popcount(chosen)) != n - 1) continue;
    std::vector<std::size_t> part(n);
    std::iota(part.begin(), part.end(), 0);
    auto root = [&](std::size_t v) {
      while (part[v] != v) v = part[v];
      return v;
    };
    std::uint64_t weight = 0;
    bool tree = true;
    for (std::size_t e = 0; e < edges.size() && tree; ++e) {
      if ((chosen >> e & 1) == 0) continue;
      const auto [i, j] = edges[e];
      tree = root(i) != root(j);
      part[root(i)] = root(j);
      weight += pairs.low(pairIndex(n, i, j));
    }
    if (tree && weight > best) best = weight;
  }
  return best;
}

TEST(HunterWorsley, SubtractsTheHeaviestSpanningTree) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t n = 1 + random() % 6;
    SCOPED_TRACE("trial " + std::to_string(trial) + ", n = " + std::to_string(n));
    // Few distinct weights now and then, so that ties between trees occur;
    // intervals of any width, not only one unit around a value.
    const std::uint32_t spread = trial % 3 == 0 ? 4 : unitsPerOne / 2;
    IntervalList singles, pairs;
    mpz_class highs;
    for (std::size_t i = 0; i < n; ++i) {
      const auto low = static_cast<std::uint32_t>(random() % unitsPerOne);
      const std::uint32_t high =
          low + static_cast<std::uint32_t>(random() % (unitsPerOne - low + 1));
      singles.push({low, high});
      highs += high;
    }
    for (std::size_t p = 0; p < n * (n - 1) / 2; ++p) {
      const std::uint32_t low = static_cast<std::uint32_t>(random() % spread);
      pairs.push({low, low + static_cast<std::uint32_t>(random() % 3)});
    }
    const mpz_class expected = highs - static_cast<unsigned long>(heaviestTree(n, pairs));
    EXPECT_EQ(hunterWorsley({singles, pairs}), probabilityOfUnits(expected));
  }
}

}  // namespace
