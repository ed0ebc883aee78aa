// The bounds of Kuai-Alajaji-Takahara and of the t-cherry tree on exact
// values of random finite spaces (against their closed forms and the union)
// and on boxes around them, and the Bonferroni-type sums for "at least r" at
// every count of events.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "bounds/bonferroni.h"
#include "bounds/cherry_bound.h"
#include "bounds/pairwise_bounds.h"

namespace {

using namespace intersections;

// A finite space of a few outcomes on n events, and the exact probability of
// each set of up to three events and of the union, in units.
struct Space {
  std::size_t n = 0;
  std::vector<std::uint32_t> weights, masks;      // each outcome's weight and events
  std::uint32_t of(std::uint32_t events) const {  // P(all of `events`)
    std::uint32_t p = 0;
    for (std::size_t o = 0; o < weights.size(); ++o)
      p += (masks[o] & events) == events ? weights[o] : 0;
    return p;
  }
  std::uint32_t single(std::uint32_t i) const { return of(1u << i); }
  std::uint32_t pair(std::uint32_t i, std::uint32_t j) const { return of(1u << i | 1u << j); }
  std::uint32_t triple(const Triple& t) const { return of(1u << t[0] | 1u << t[1] | 1u << t[2]); }
  std::uint32_t unionOf() const {
    std::uint32_t p = 0;
    for (std::size_t o = 0; o < weights.size(); ++o) p += masks[o] != 0 ? weights[o] : 0;
    return p;
  }
};

Space randomSpace(std::size_t n, std::mt19937& random) {
  Space space{n, {}, {}};
  const std::size_t outcomes = 1 + random() % 7;
  std::uint32_t left = unitsPerOne;
  for (std::size_t o = 0; o < outcomes; ++o) {
    const std::uint32_t w =
        o + 1 == outcomes ? left : static_cast<std::uint32_t>(random() % (left + 1));
    left -= w;
    space.weights.push_back(w);
    // Events that occur together often, so that pairs and triples matter.
    space.masks.push_back(static_cast<std::uint32_t>(random() & random()) & ((1u << n) - 1));
  }
  return space;
}

// The lines of orders 1 and 2, exact or widened by the given ends.
struct Lines {
  IntervalList singles, pairs;
};

Lines exactLines(const Space& s) {
  Lines lines;
  for (std::uint32_t i = 0; i < s.n; ++i) lines.singles.push({s.single(i), s.single(i)});
  for (std::uint32_t i = 0; i < s.n; ++i) {
    for (std::uint32_t j = i + 1; j < s.n; ++j) lines.pairs.push({s.pair(i, j), s.pair(i, j)});
  }
  return lines;
}

mpq_class units(std::int64_t value) {
  mpq_class q(mpz_class(static_cast<long>(value)), mpz_class(unitsPerOne));
  q.canonicalize();
  return q;
}

TEST(KuaiAlajajiTakahara, MatchesItsClosedFormAndLiesBetweenDeCaenAndTheUnion) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 300; ++trial) {
    const Space space = randomSpace(2 + random() % 7, random);
    const Lines lines = exactLines(space);
    // theta_i a_i^2 / (beta_i + (1 - theta_i) a_i) + (1 - theta_i) a_i^2 / (beta_i - theta_i a_i).
    mpq_class expected;
    for (std::uint32_t i = 0; i < space.n; ++i) {
      const mpq_class a = units(space.single(i));
      if (a == 0) continue;
      mpq_class beta = a;
      for (std::uint32_t j = 0; j < space.n; ++j) {
        if (j != i) beta += units(space.pair(std::min(i, j), std::max(i, j)));
      }
      const mpq_class ratio = beta / a;
      mpz_class whole;
      mpz_fdiv_q(whole.get_mpz_t(), ratio.get_num_mpz_t(), ratio.get_den_mpz_t());
      const mpq_class theta = ratio - whole;
      expected +=
          theta * a * a / (beta + (1 - theta) * a) + (1 - theta) * a * a / (beta - theta * a);
    }
    const mpq_class kat = kuaiAlajajiTakahara({lines.singles, lines.pairs});
    SCOPED_TRACE("trial " + std::to_string(trial));
    EXPECT_EQ(kat, expected);
    EXPECT_GE(kat, deCaen({lines.singles, lines.pairs}));
    EXPECT_LE(kat, units(space.unionOf()));
  }
}

TEST(KuaiAlajajiTakahara, OverABoxIsItsValueAtTheLowSinglesAndHighPairs) {
  std::mt19937 random(12);
  for (int trial = 0; trial < 200; ++trial) {
    const Space space = randomSpace(2 + random() % 5, random);
    const Lines exact = exactLines(space);
    // A box around the exact values, and its corner of low singles and high pairs.
    Lines box, corner;
    auto widen = [&](std::uint32_t v) {
      return UnitInterval{
          v - std::min<std::uint32_t>(
                  v, random() % 3 == 0 ? 0 : static_cast<std::uint32_t>(random() % 40000000)),
          v + std::min<std::uint32_t>(unitsPerOne - v,
                                      static_cast<std::uint32_t>(random() % 40000000))};
    };
    for (std::size_t i = 0; i < exact.singles.size(); ++i) {
      const UnitInterval w = widen(exact.singles.low(i));
      box.singles.push(w);
      corner.singles.push({w.low, w.low});
    }
    for (std::size_t p = 0; p < exact.pairs.size(); ++p) {
      const UnitInterval w = widen(exact.pairs.low(p));
      box.pairs.push(w);
      corner.pairs.push({w.high, w.high});
    }
    const mpq_class kat = kuaiAlajajiTakahara({box.singles, box.pairs});
    SCOPED_TRACE("trial " + std::to_string(trial));
    EXPECT_EQ(kat, kuaiAlajajiTakahara({corner.singles, corner.pairs}));
    EXPECT_LE(kat, kuaiAlajajiTakahara({exact.singles, exact.pairs}));
    EXPECT_GE(kat, deCaen({box.singles, box.pairs}));
  }
}

TEST(CherryTree, TripleIndexCountsTheSetsOfThreeInARunsOrder) {
  for (std::uint32_t n = 3; n <= 9; ++n) {
    std::uint64_t place = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      for (std::uint32_t j = i + 1; j < n; ++j) {
        for (std::uint32_t k = j + 1; k < n; ++k) EXPECT_EQ(tripleIndex(n, {i, j, k}), place++);
      }
    }
  }
  EXPECT_EQ(tripleIndex(1000, {997, 998, 999}), 166166999u);  // C(1000, 3) - 1
}

TEST(CherryTree, ReadsEachEventWithTwoOfItsHeaviestPartners) {
  // Five events, two partners each: 0 and 1 take each other and 2, 2 takes 0
  // and 1, 3 and 4 take 2 and 1.
  IntervalList singles, pairs;
  for (int i = 0; i < 5; ++i) singles.push({100, 100});
  for (const std::uint32_t b : {9u, 8u, 1u, 2u, 7u, 3u, 4u, 6u, 5u, 0u}) pairs.push({b, b + 2});
  EXPECT_EQ(cherryTriples({singles, pairs}, 2),
            (std::vector<Triple>{{0, 1, 2}, {1, 2, 3}, {1, 2, 4}}));
}

// The Bukszar-Prekopa value of a tree at the exact values of `space`, after
// checking that it is a t-cherry tree on all n events.
mpq_class cherryTreeValue(const Space& space, const CherryBound& tree) {
  std::set<std::pair<std::uint32_t, std::uint32_t>> edges;
  auto edge = [](std::uint32_t i, std::uint32_t j) {
    return std::pair(std::min(i, j), std::max(i, j));
  };
  std::set<std::uint32_t> in{tree.first[0], tree.first[1]};
  edges.insert(edge(tree.first[0], tree.first[1]));
  std::int64_t value = 0;
  for (std::uint32_t i = 0; i < space.n; ++i) value += space.single(i);
  value -= space.pair(edge(tree.first[0], tree.first[1]).first,
                      edge(tree.first[0], tree.first[1]).second);
  for (const CherryStep& step : tree.steps) {
    EXPECT_TRUE(edges.count(edge(step.edge[0], step.edge[1]))) << "no such edge yet";
    EXPECT_TRUE(in.insert(step.event).second) << "event " << step.event << " joins twice";
    for (const std::uint32_t end : step.edge) {
      edges.insert(edge(end, step.event));
      value -= space.pair(edge(end, step.event).first, edge(end, step.event).second);
    }
    value += space.triple(sortedTriple(step.edge[0], step.edge[1], step.event));
  }
  EXPECT_EQ(in.size(), space.n);
  return units(value);
}

TEST(CherryTree, IsAValidTCherryTreeBoundNeverAboveHunterWorsley) {
  std::mt19937 random(13);
  for (int trial = 0; trial < 300; ++trial) {
    const Space space = randomSpace(3 + random() % 6, random);
    const Lines lines = exactLines(space);
    // Every triple as a candidate, or two partners each.
    const std::size_t partners = trial % 2 == 0 ? space.n : 2;
    const std::vector<Triple> kept = cherryTriples({lines.singles, lines.pairs}, partners);
    const TripleLine line = [&](const Triple& t) {
      EXPECT_TRUE(std::binary_search(kept.begin(), kept.end(), t)) << "a line not kept";
      return UnitInterval{space.triple(t), space.triple(t)};
    };
    const CherryBound bound = cherryBound({lines.singles, lines.pairs}, line, partners);
    SCOPED_TRACE("trial " + std::to_string(trial) + ", n = " + std::to_string(space.n));
    const mpq_class tree = cherryTreeValue(space, bound);
    // With every triple kept the bound is the tree's value; with fewer, a
    // cherry not kept gains less.
    if (partners == space.n) {
      EXPECT_EQ(bound.value, tree);
    } else {
      EXPECT_GE(bound.value, tree);
    }
    EXPECT_GE(tree, units(space.unionOf()));
    EXPECT_LE(bound.value, hunterWorsley({lines.singles, lines.pairs}));
    // Three events: the tree is the triangle, and the bound inclusion-exclusion.
    if (space.n == 3) {
      EXPECT_EQ(bound.value, units(space.unionOf()));
    }
  }
}

TEST(CherryTree, TakesTheWorstEndOfEachLine) {
  // a = 0.4, 0.3, 0.5, b_01 = 0.2, b_02 = 0.3, b_12 = 0.15, c_012 = 0.1, each
  // line known to within 0.01. The tree starts from {0, 2} (low end 0.29), and
  // event 1 joins it gaining max(0.19, 0.14, 0.19 + 0.14 - 0.11) = 0.22: the
  // bound is 0.41 + 0.31 + 0.51 - 0.29 - 0.22 = 0.72.
  auto around = [](std::uint32_t hundredths) {
    return UnitInterval{hundredths * 10000000 - 10000000, hundredths * 10000000 + 10000000};
  };
  IntervalList singles, pairs;
  for (const std::uint32_t a : {40u, 30u, 50u}) singles.push(around(a));
  for (const std::uint32_t b : {20u, 30u, 15u}) pairs.push(around(b));  // {0,1}, {0,2}, {1,2}
  const CherryBound bound =
      cherryBound({singles, pairs}, [&](const Triple&) { return around(10); });
  EXPECT_EQ(bound.value, units(720000000));
  EXPECT_EQ(bound.first, (std::array<std::uint32_t, 2>{0, 2}));
  // A cherry that may be as large as 0.4 gains only the larger low(b), 0.19.
  const CherryBound wide = cherryBound({singles, pairs}, [](const Triple&) {
    return UnitInterval{0, 400000000};
  });
  EXPECT_EQ(wide.value, units(750000000));
}

TEST(CherryTree, OffersBothNewEdgesOfEachStep) {
  // Four events of 0.5, b_01 = 0.4, b_02 = b_12 = 0.3, b_03 = 0, b_13 = b_23 =
  // 0.2, no triple: 2 joins {0, 1} gaining 0.6, then 3 joins {1, 2}, a new
  // edge, gaining 0.4: 2 - 0.4 - 0.6 - 0.4 = 0.6.
  IntervalList singles, pairs;
  for (int i = 0; i < 4; ++i) singles.push({500000000, 500000000});
  for (const std::uint32_t b : {40u, 30u, 0u, 30u, 20u, 20u})
    pairs.push({b * 10000000, b * 10000000});
  const CherryBound bound =
      cherryBound({singles, pairs}, [](const Triple&) { return UnitInterval{}; });
  EXPECT_EQ(bound.value, units(600000000));
  ASSERT_EQ(bound.steps.size(), 2u);
  EXPECT_EQ(bound.steps[1].event, 3u);
  EXPECT_EQ(sortedTriple(bound.steps[1].edge[0], bound.steps[1].edge[1], 3), (Triple{1, 2, 3}));
}

TEST(Bonferroni, AtLeastRBoundsEveryCountOfEvents) {
  // At a space where exactly m events occur, S_j = C(m, j): the sum of orders
  // 1 to k is an upper bound on [m >= r] when k - r is even, a lower one
  // otherwise, and equal to it from k = m on.
  for (std::int32_t n = 1; n <= 10; ++n) {
    for (std::int32_t m = 0; m <= n; ++m) {
      std::vector<mpz_class> moments;
      for (std::int32_t k = 1; k <= n; ++k) {
        mpz_class c;
        mpz_bin_uiui(c.get_mpz_t(), static_cast<unsigned long>(m), static_cast<unsigned long>(k));
        moments.push_back(c);
        for (std::int32_t r = 1; r <= n; ++r) {
          const mpz_class sum = bonferroniAtLeast(moments, r);
          const int truth = m >= r ? 1 : 0;
          SCOPED_TRACE("n " + std::to_string(n) + " m " + std::to_string(m) + " k " +
                       std::to_string(k) + " r " + std::to_string(r));
          if (k >= m) {
            EXPECT_EQ(sum, truth);
          }
          if (bonferroniIsUpper(k, r)) {
            EXPECT_GE(sum, truth);
          } else {
            EXPECT_LE(sum, truth);
          }
        }
      }
    }
  }
  // The coefficients themselves: S_2 - 2 S_3 + 3 S_4, S_3 - 3 S_4 + 6 S_5, nothing below r.
  EXPECT_EQ(bonferroniAtLeast({10, 20, 30, 40}, 2), 20 - 2 * 30 + 3 * 40);
  EXPECT_EQ(bonferroniAtLeast({1, 2, 3, 4, 5}, 3), 3 - 3 * 4 + 6 * 5);
  EXPECT_EQ(bonferroniAtLeast({7, 9}, 3), 0);
  EXPECT_FALSE(bonferroniIsUpper(2, 3));
}

}  // namespace
