// Pricing of the atoms without enumerating them: the branch and bound
// against the subset-sum pass over all atoms, its node limit, planted
// instances beyond the reach of that pass, and the floating-point search.

#include "bounds/atom_pricing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounds/atom_certificate.h"

namespace {

using namespace intersections;

// The rows of order k: the empty set, then every set of 1 to k events.
std::vector<AtomRow> rowsOfOrder(std::int32_t n, std::int32_t order) {
  std::vector<AtomRow> rows{{0, 0, 0}};
  for (std::int32_t size = 1; size <= order; ++size) {
    std::vector<std::int32_t> pick(static_cast<std::size_t>(size));
    for (std::int32_t i = 0; i < size; ++i) pick[static_cast<std::size_t>(i)] = i;
    while (true) {
      EventSet events = 0;
      for (const std::int32_t e : pick) events |= EventSet{1} << e;
      rows.push_back({events, 0, 0});
      std::int32_t i = size - 1;
      while (i >= 0 && pick[static_cast<std::size_t>(i)] == n - size + i) --i;
      if (i < 0) break;
      ++pick[static_cast<std::size_t>(i)];
      for (std::int32_t j = i + 1; j < size; ++j)
        pick[static_cast<std::size_t>(j)] = pick[static_cast<std::size_t>(j) - 1] + 1;
    }
  }
  return rows;
}

// Numerators from `low` to `high`, each 0 with probability `zeros`.
std::vector<std::int64_t> randomNumerators(std::mt19937_64& generator, std::size_t count,
                                           std::int64_t low, std::int64_t high, double zeros) {
  std::uniform_int_distribution<std::int64_t> value(low, high);
  std::bernoulli_distribution zero(zeros);
  std::vector<std::int64_t> numerators(count);
  for (auto& numerator : numerators) numerator = zero(generator) ? 0 : value(generator);
  return numerators;
}

struct ExactCase {
  std::int32_t n;
  std::int32_t order;
  std::int64_t magnitude;  // numerators from -magnitude to magnitude
  double zeros;
  int shift;
};

TEST(LeastReducedCost, MatchesThePassOverEveryAtom) {
  const std::vector<ExactCase> cases = {
      {1, 1, 2, 0.0, 0},         {3, 2, 2, 0.0, 1},  {6, 3, 2, 0.0, 2},   {9, 1, 2, 0.2, 1},
      {10, 2, 2, 0.3, 2},        {12, 3, 2, 0.5, 3}, {16, 2, 2, 0.6, 2},  {14, 3, 1000, 0.5, 9},
      {18, 2, 1 << 20, 0.8, 20}, {20, 3, 2, 0.9, 2}, {20, 2, 50, 0.7, 5}, {20, 1, 3, 0.0, 1},
  };
  std::mt19937_64 generator(7);
  std::vector<std::int64_t> sums, all;
  for (const ExactCase& c : cases) {
    const std::vector<AtomRow> rows = rowsOfOrder(c.n, c.order);
    const DyadicMultipliers y{
        randomNumerators(generator, rows.size(), -c.magnitude, c.magnitude, c.zeros), c.shift};
    atomReducedCosts(c.n, rows, y, {0, 0}, sums);  // one pass; each objective adds its cost
    for (const int sign : {1, -1, 0}) {
      for (const std::int32_t atLeast : {-7, 0, 1, 2, (c.n + 1) / 2, c.n, c.n + 1}) {
        const AtomObjective objective{atLeast, sign};
        all = sums;
        for (std::size_t atom = 0; atom < all.size(); ++atom) {
          if (std::popcount(atom) >= atLeast) all[atom] += sign * (std::int64_t{1} << c.shift);
        }
        const std::int64_t least = *std::min_element(all.begin(), all.end());
        // Without the walks the branch and bound must find the least itself.
        for (const std::int32_t walks : {0, 8}) {
          const LeastReducedCost found = leastReducedCost(c.n, rows, y, objective, ~0ull, walks);
          SCOPED_TRACE("n " + std::to_string(c.n) + " order " + std::to_string(c.order) + " sign " +
                       std::to_string(sign) + " atLeast " + std::to_string(atLeast) + " walks " +
                       std::to_string(walks));
          EXPECT_TRUE(found.complete);
          EXPECT_EQ(found.least, least);
          EXPECT_EQ(found.lowerBound, least);
          ASSERT_LT(found.atom, all.size());
          EXPECT_EQ(all[found.atom], least);
          EXPECT_EQ(atomReducedCost(c.n, rows, y, objective, found.atom), least);
        }
      }
    }
  }
}

// Many small instances whose numerators tie often: a bound slightly too
// optimistic somewhere shows on only a few of them.
TEST(LeastReducedCost, MatchesThePassOnManySmallInstances) {
  std::mt19937_64 generator(1);
  std::vector<std::int64_t> all;
  for (int round = 0; round < 400; ++round) {
    const std::int32_t n = 3 + round % 10;
    const std::int32_t order = 1 + round % 3;
    const std::vector<AtomRow> rows = rowsOfOrder(n, order);
    const DyadicMultipliers y{randomNumerators(generator, rows.size(), -2, 2, 0.0), 1 + round % 3};
    for (const AtomObjective objective :
         {AtomObjective{1, 1}, AtomObjective{2, -1}, AtomObjective{n, 1}, AtomObjective{1, 0}}) {
      atomReducedCosts(n, rows, y, objective, all);
      const LeastReducedCost found = leastReducedCost(n, rows, y, objective, ~0ull, 0);
      EXPECT_EQ(found.least, *std::min_element(all.begin(), all.end()))
          << "round " << round << " atLeast " << objective.atLeast << " sign " << objective.sign;
      EXPECT_EQ(all[found.atom], found.least);
    }
  }
}

// Without the walks, so that the atom found is not already the least.
TEST(LeastReducedCost, NodeLimitLeavesAProvedBound) {
  std::mt19937_64 generator(11);
  std::vector<std::int64_t> all;
  for (const std::int32_t order : {2, 3}) {
    const std::int32_t n = 18;
    const std::vector<AtomRow> rows = rowsOfOrder(n, order);
    const DyadicMultipliers y{randomNumerators(generator, rows.size(), -100, 100, 0.3), 6};
    for (const AtomObjective objective : {AtomObjective{1, 1}, AtomObjective{3, -1}}) {
      atomReducedCosts(n, rows, y, objective, all);
      const std::int64_t least = *std::min_element(all.begin(), all.end());
      const LeastReducedCost full = leastReducedCost(n, rows, y, objective, ~0ull, 0);
      ASSERT_TRUE(full.complete);
      ASSERT_GT(full.nodes, 20u);
      // Any limit short of the nodes the whole search takes cuts it.
      for (const std::uint64_t limit : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{2},
                                        full.nodes / 4, full.nodes / 2, full.nodes - 1}) {
        SCOPED_TRACE("order " + std::to_string(order) + " limit " + std::to_string(limit));
        const LeastReducedCost cut = leastReducedCost(n, rows, y, objective, limit, 0);
        EXPECT_FALSE(cut.complete);
        EXPECT_LE(cut.nodes, std::max<std::uint64_t>(limit, 1));
        EXPECT_LE(cut.lowerBound, least);
        EXPECT_GE(cut.least, least);
        EXPECT_EQ(all[cut.atom], cut.least);
      }
      // A limit of just the nodes needed does not cut.
      const LeastReducedCost enough = leastReducedCost(n, rows, y, objective, full.nodes, 0);
      EXPECT_TRUE(enough.complete);
      EXPECT_EQ(enough.lowerBound, least);
      EXPECT_EQ(enough.least, least);
    }
  }
}

// Beyond 30 events: event i + 1 of `planted` adds 3, its pairs (and triples,
// at order 3) within `planted` 1 each; an event outside adds -1 and its
// terms 0, -1 or -2 at random. Dropping the events outside `planted` then
// never lowers the sum of the rows within an atom, and adding events of
// `planted` raises it, so `planted` alone has the largest sum.
TEST(LeastReducedCost, FindsThePlantedAtomBeyondThirtyEvents) {
  struct Planted {
    std::int32_t n, order;
  };
  for (const Planted p : {Planted{40, 2}, Planted{34, 3}}) {
    std::mt19937_64 generator(static_cast<std::uint64_t>(p.n));
    EventSet planted = 0;
    for (std::int32_t e = 0; e < p.n; ++e) {
      if (generator() % 5 < 2) planted |= EventSet{1} << e;
    }
    const auto size = static_cast<std::int64_t>(std::popcount(planted));
    ASSERT_GE(size, 5);  // the cost of 16 matters less than the planted sum
    const std::vector<AtomRow> rows = rowsOfOrder(p.n, p.order);
    DyadicMultipliers y{std::vector<std::int64_t>(rows.size()), 4};
    std::int64_t plantedSum = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const EventSet events = rows[r].events;
      std::int64_t& numerator = y.numerators[r];
      if (events == 0) {
        numerator = 5;
      } else if ((events & ~planted) == 0) {
        numerator = std::popcount(events) == 1 ? 3 : 1;
      } else {
        numerator = std::popcount(events) == 1 ? -1 : -static_cast<std::int64_t>(generator() % 3);
      }
      if ((events & ~planted) == 0) plantedSum += numerator;
    }
    const std::int64_t cost = 16;  // 2^shift
    struct Expected {
      AtomObjective objective;
      std::int64_t least;
    };
    const std::vector<Expected> table = {
        {{1, 0}, -plantedSum},
        {{static_cast<std::int32_t>(size) + 1, 1}, -plantedSum},
        {{static_cast<std::int32_t>(size), -1}, -cost - plantedSum},
        {{1, 1}, cost - plantedSum},
    };
    for (const Expected& e : table) {
      for (const std::int32_t walks : {0, 8}) {
        SCOPED_TRACE("n " + std::to_string(p.n) + " atLeast " +
                     std::to_string(e.objective.atLeast) + " sign " +
                     std::to_string(e.objective.sign) + " walks " + std::to_string(walks));
        const LeastReducedCost found = leastReducedCost(p.n, rows, y, e.objective, ~0ull, walks);
        EXPECT_TRUE(found.complete);
        EXPECT_EQ(found.least, e.least);
        EXPECT_EQ(found.lowerBound, e.least);
        EXPECT_EQ(found.atom, planted);
      }
    }
  }
}

// At order 1 the least is plain: the events of positive numerator alone, or
// the full atom when the cost rewards it; 63 events reach the top bit.
TEST(LeastReducedCost, SixtyThreeEventsAtOrderOne) {
  const std::int32_t n = 63;
  const std::vector<AtomRow> rows = rowsOfOrder(n, 1);
  std::mt19937_64 generator(3);
  for (const std::int64_t lowest : {-3, 0}) {
    const DyadicMultipliers y{randomNumerators(generator, rows.size(), lowest, 3, 0.0), 2};
    std::int64_t positive = y.numerators[0], total = y.numerators[0];
    for (std::size_t r = 1; r < rows.size(); ++r) {
      positive += std::max<std::int64_t>(0, y.numerators[r]);
      total += y.numerators[r];
    }
    for (const AtomObjective objective : {AtomObjective{1, 0}, AtomObjective{n, -1}}) {
      const std::int64_t least = objective.sign == 0 ? -positive : std::min(-positive, -4 - total);
      const LeastReducedCost found = leastReducedCost(n, rows, y, objective, ~0ull, 0);
      EXPECT_TRUE(found.complete);
      EXPECT_EQ(found.least, least);
      EXPECT_EQ(atomReducedCost(n, rows, y, objective, found.atom), least);
    }
  }
}

TEST(LeastReducedCost, RefusesBadArguments) {
  const std::vector<AtomRow> rows = rowsOfOrder(4, 2);
  const DyadicMultipliers y{std::vector<std::int64_t>(rows.size(), 1), 3};
  const AtomObjective objective{1, 1};
  EXPECT_THROW(leastReducedCost(0, rows, y, objective), std::invalid_argument);
  EXPECT_THROW(leastReducedCost(64, rows, y, objective), std::invalid_argument);
  EXPECT_THROW(leastReducedCost(3, rows, y, objective), std::invalid_argument);  // event 4
  EXPECT_THROW(leastReducedCost(4, rows, DyadicMultipliers{{1, 2}, 3}, objective),
               std::invalid_argument);
  DyadicMultipliers large = y;
  large.numerators[1] = std::int64_t{1} << 61;
  large.numerators[2] = -(std::int64_t{1} << 61);
  EXPECT_THROW(leastReducedCost(4, rows, large, objective), std::overflow_error);
  EXPECT_THROW(searchNegativeAtoms(3, rows, std::vector<double>(rows.size()), objective, {}, 5),
               std::invalid_argument);
}

// Duals of eighths: every sum of them is exact in double, so the reduced
// costs the search claims can be checked for equality.
std::vector<double> eighths(const std::vector<std::int64_t>& numerators) {
  std::vector<double> duals;
  for (const std::int64_t numerator : numerators)
    duals.push_back(static_cast<double>(numerator) / 8);
  return duals;
}

TEST(SearchNegativeAtoms, ClaimsExactCostsOfDistinctNegativeAtoms) {
  std::mt19937_64 generator(5);
  for (const std::int32_t order : {1, 2, 3}) {
    const std::int32_t n = 14;
    const std::vector<AtomRow> rows = rowsOfOrder(n, order);
    std::vector<std::int64_t> numerators = randomNumerators(generator, rows.size(), -16, 16, 0.5);
    numerators[0] = 4;  // many atoms negative
    const std::vector<double> duals = eighths(numerators);
    for (const AtomObjective objective : {AtomObjective{1, 1}, AtomObjective{2, -1}}) {
      SCOPED_TRACE("order " + std::to_string(order) + " sign " + std::to_string(objective.sign));
      const std::vector<EventSet> starts = {0, 0x5, 0x3ff};
      const auto found = searchNegativeAtoms(n, rows, duals, objective, starts, 40);
      ASSERT_GE(found.size(), 5u);
      EXPECT_LE(found.size(), 40u);
      std::set<EventSet> distinct;
      for (std::size_t i = 0; i < found.size(); ++i) {
        const EventSet atom = found[i].atom;
        EXPECT_EQ(atom >> n, 0u);
        EXPECT_TRUE(distinct.insert(atom).second);
        double cost = std::popcount(atom) >= objective.atLeast ? objective.sign : 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
          if ((rows[r].events & ~atom) == 0) cost -= duals[r];
        }
        EXPECT_EQ(found[i].reducedCost, cost);
        EXPECT_LT(cost, -1e-9);
        if (i > 0) {
          EXPECT_LE(found[i - 1].reducedCost, found[i].reducedCost);
        }
      }
      // The same answer again, and the best of it when only one is asked.
      const auto again = searchNegativeAtoms(n, rows, duals, objective, starts, 40);
      ASSERT_EQ(again.size(), found.size());
      for (std::size_t i = 0; i < found.size(); ++i) EXPECT_EQ(again[i].atom, found[i].atom);
      const auto one = searchNegativeAtoms(n, rows, duals, objective, starts, 1);
      ASSERT_EQ(one.size(), 1u);
      EXPECT_EQ(one[0].atom, found[0].atom);
      EXPECT_TRUE(searchNegativeAtoms(n, rows, duals, objective, starts, 0).empty());
    }
  }
}

// The walks find negative atoms where few are: at least one whenever the
// least is well below 0, and mostly the least itself.
TEST(SearchNegativeAtoms, FindsNegativeAtomsWhereFewAre) {
  std::mt19937_64 generator(9);
  std::vector<std::int64_t> all;
  int negative = 0, found = 0, least = 0;
  for (int round = 0; round < 60; ++round) {
    const std::int32_t n = 6 + round % 11;
    const std::int32_t order = 1 + round % 3;
    const std::vector<AtomRow> rows = rowsOfOrder(n, order);
    // The empty atom and most small ones priced above 0: the negative atoms
    // are few and need their rows.
    std::vector<std::int64_t> numerators = randomNumerators(generator, rows.size(), -8, 8, 0.6);
    numerators[0] = -4;
    const DyadicMultipliers y{numerators, 3};
    const AtomObjective objective{1 + round % 2, 1};
    atomReducedCosts(n, rows, y, objective, all);
    const std::int64_t smallest = *std::min_element(all.begin(), all.end());
    if (smallest > -4) continue;  // not below -1/2
    ++negative;
    const auto atoms = searchNegativeAtoms(n, rows, eighths(numerators), objective, {}, 10);
    EXPECT_FALSE(atoms.empty()) << "round " << round;
    if (!atoms.empty()) ++found;
    if (!atoms.empty() && atoms[0].reducedCost * 8 == static_cast<double>(smallest)) ++least;
  }
  EXPECT_GE(negative, 20);  // the rounds did test something
  EXPECT_EQ(found, negative);
  EXPECT_GE(least, negative * 9 / 10);
}

// The sizes column generation meets, on duals like a master's (most 0, the
// rest of either sign): each search ends within its budget of nodes, and the
// nodes and times are printed.
TEST(LeastReducedCostLong, LargeInstancesEndWithinTheirBudget) {
  struct Size {
    std::int32_t n, order;
    double density;  // of the rows with a dual
  };
  const std::vector<Size> sizes = {{48, 2, 0.05}, {48, 2, 0.1}, {48, 2, 0.2}, {48, 2, 0.3},
                                   {32, 3, 0.05}, {32, 3, 0.1}, {32, 3, 0.2}};
  const int trials = 5;
  std::printf("%3s %5s %5s %7s %9s %11s %11s %9s %9s\n", "n", "order", "rows", "density",
              "objective", "mean nodes", "most nodes", "mean ms", "most ms");
  for (const Size& size : sizes) {
    const std::vector<AtomRow> rows = rowsOfOrder(size.n, size.order);
    for (const AtomObjective objective : {AtomObjective{1, 1}, AtomObjective{size.n / 2, 1}}) {
      std::mt19937_64 generator(12345);
      std::uniform_real_distribution<double> value(-1, 1);
      std::bernoulli_distribution dual(size.density);
      double totalNodes = 0, mostNodes = 0, totalMs = 0, mostMs = 0;
      for (int trial = 0; trial < trials; ++trial) {
        std::vector<double> duals(rows.size());
        for (double& entry : duals) entry = dual(generator) ? value(generator) : 0.0;
        duals[0] = value(generator);
        const DyadicMultipliers y = dyadicMultipliers(duals);
        const auto start = std::chrono::steady_clock::now();
        const LeastReducedCost found = leastReducedCost(size.n, rows, y, objective, 20000000);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        ASSERT_TRUE(found.complete) << "n " << size.n << " order " << size.order;
        EXPECT_EQ(atomReducedCost(size.n, rows, y, objective, found.atom), found.least);
        totalNodes += static_cast<double>(found.nodes);
        mostNodes = std::max(mostNodes, static_cast<double>(found.nodes));
        totalMs += ms;
        mostMs = std::max(mostMs, ms);
      }
      std::printf("%3d %5d %5zu %7.2f %4d, %+2d %11.0f %11.0f %9.1f %9.1f\n", size.n, size.order,
                  rows.size(), size.density, objective.atLeast, objective.sign, totalNodes / trials,
                  mostNodes, totalMs / trials, mostMs);
    }
  }
}

}  // namespace
