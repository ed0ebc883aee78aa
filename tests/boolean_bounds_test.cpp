// The Boolean bounds: their certificate on hand-made multipliers, small
// instances whose optimum is known by hand, symmetric instances against the
// exact optimum of the sums' program, and random instances against the true
// probability and the other bounds.

#include "bounds/boolean_bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bounds/atom_certificate.h"
#include "bounds/order_bounds.h"
#include "bounds/sharp_bounds.h"
#include "instance/random_instance.h"
#include "lines/instance_lines.h"

namespace {

using namespace intersections;

constexpr std::uint32_t one = unitsPerOne;
const mpq_class tolerance(1, 10000000000);  // 10^-10, the bounds' largest gap

mpq_class q(long numerator, long denominator) {
  mpq_class value(numerator, denominator);
  value.canonicalize();
  return value;
}

TEST(AtomCertificate, ProvesTheBoundOfHandMadeMultipliers) {
  // Events 1 and 2 in [0.3, 0.35] and [0.5, 0.55]; on three events, event 1
  // in [0.4, 0.5] and the pair {1, 2} in [0.2, 0.3]. The least union of two
  // is 0.5 (y_2 = 1), the greatest 0.9 (y_1 = y_2 = -1 on -union); y_1 = y_2
  // = 1 leaves the atom {1, 2} at -1 and proves only -0.2.
  const std::vector<AtomRow> two{
      {0, one, one}, {1, 300000000, 350000000}, {2, 500000000, 550000000}};
  const std::vector<AtomRow> three{{0, one, one},
                                   {1, 400000000, 500000000},
                                   {2, 0, one},
                                   {4, 0, one},
                                   {3, 200000000, 300000000}};
  struct Case {
    const char* what;
    std::int32_t n;
    std::vector<AtomRow> rows;
    std::vector<std::int64_t> y;  // the numerators of the multipliers, over 2^shift
    int shift;
    AtomObjective objective;
    std::vector<std::int64_t> reducedCosts;  // of atoms 0, {1}, {2}, {1, 2}, {3}, ...
    mpq_class bound;
  };
  const Case cases[] = {
      {"least union", 2, two, {0, 0, 4}, 2, {1, 1}, {0, 4, 0, 0}, q(1, 2)},
      {"greatest union", 2, two, {0, -1, -1}, 0, {1, -1}, {0, 0, 0, 1}, q(-9, 10)},
      {"not dual feasible", 2, two, {0, 1, 1}, 0, {1, 1}, {0, 0, 0, -1}, q(-1, 5)},
      {"no objective", 2, two, {0, 1, 1}, 0, {1, 0}, {0, -1, -1, -2}, q(-6, 5)},
      // y = (-1/2, 1/4, 0, 0, 1/2) against at least 2 of 3 events.
      {"at least 2 of 3",
       3,
       three,
       {-2, 1, 0, 0, 2},
       2,
       {2, 1},
       {2, 1, 2, 3, 2, 5, 6, 3},
       q(-1, 20)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const DyadicMultipliers y{c.y, c.shift};
    std::vector<std::int64_t> reducedCosts;
    atomReducedCosts(c.n, c.rows, y, c.objective, reducedCosts);
    EXPECT_EQ(reducedCosts, c.reducedCosts);
    const std::int64_t least = *std::min_element(reducedCosts.begin(), reducedCosts.end());
    EXPECT_EQ(provedLowerBound(c.rows, y, least), c.bound);
  }
}

TEST(AtomCertificate, RoundsMultipliersExactlyOntoTheFinestSafeGrid) {
  struct Case {
    std::vector<double> y;
    int shift;
  };
  // 1 + sum |y| below 2^e: shift 61 - e, at most 60; NaN and infinities count as 0.
  const Case cases[] = {{{}, 60},
                        {{0.5, -0.25, 1, NAN}, 59},
                        {{-3, INFINITY, 0.125}, 58},
                        {{std::ldexp(1.0, 40), 7}, 20},
                        {{1e18}, 1}};
  for (const Case& c : cases) {
    const DyadicMultipliers y = dyadicMultipliers(c.y);
    EXPECT_EQ(y.shift, c.shift);
    ASSERT_EQ(y.numerators.size(), c.y.size());
    for (std::size_t r = 0; r < c.y.size(); ++r) {
      const double expected = std::isfinite(c.y[r]) ? c.y[r] : 0;
      EXPECT_EQ(std::ldexp(static_cast<double>(y.numerators[r]), -y.shift), expected);
    }
  }
  EXPECT_THROW(dyadicMultipliers({3e18}), std::overflow_error);
}

IntervalList intervals(const std::vector<UnitInterval>& lines) {
  IntervalList list;
  for (const UnitInterval& line : lines) list.push(line);
  return list;
}

// Both bounds within [0, 1] and within the largest gap of the exact
// optimum, on its safe side.
void expectNear(const BooleanOrderBounds& bounds, const mpq_class& lower, const mpq_class& upper) {
  EXPECT_GE(bounds.lower, 0);
  EXPECT_LE(bounds.upper, 1);
  EXPECT_LE(bounds.lower, lower);
  EXPECT_GE(bounds.lower, lower - tolerance);
  EXPECT_GE(bounds.upper, upper);
  EXPECT_LE(bounds.upper, upper + tolerance);
  EXPECT_LE(bounds.largestGap, 1e-10);
}

TEST(BooleanBounds, MatchTheOptimaOfSmallInstancesAndRejectWhatNoDistributionFits) {
  const UnitInterval p1{300000000, 350000000}, p2{500000000, 550000000};
  const UnitInterval half{500000000, 500000000}, none{0, 0}, quarter{250000000, 250000000};
  struct Case {
    const char* what;
    std::int32_t n, atLeast;
    std::vector<IntervalList> lines;
    std::vector<std::pair<mpq_class, mpq_class>> optima;  // one per order that some x fits
  };
  const Case cases[] = {
      // max(p1, p2) <= union <= p1 + p2, then p1 + p2 - p12 with p12 in [0.1, 0.2].
      {"union of two",
       2,
       1,
       {intervals({p1, p2}), intervals({{100000000, 200000000}})},
       {{q(1, 2), q(9, 10)}, {q(3, 5), q(4, 5)}}},
      {"both of two",
       2,
       2,
       {intervals({p1, p2}), intervals({{100000000, 200000000}})},
       {{0, q(7, 20)}, {q(1, 10), q(1, 5)}}},
      {"pair above a single",
       2,
       1,
       {intervals({p1, p2}), intervals({{360000000, 400000000}})},
       {{q(1, 2), q(9, 10)}}},
      // At least 2 of 4 has the least probability 0, yet the multipliers of
      // the least prove a little less.
      {"at least 2 of 4 quarters",
       4,
       2,
       {intervals({quarter, quarter, quarter, quarter})},
       {{0, q(1, 2)}}},
      // Events 1 and 2 coincide, yet only 2 meets 3. Each pair fits its
      // singles, and the sums S_1 = 1.5, S_2 = 1 fit three events.
      {"two equal events meet a third differently",
       3,
       1,
       {intervals({half, half, half}), intervals({half, none, half})},
       {{q(1, 2), 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<BooleanOrderBounds> bounds = booleanBounds(c.n, c.lines, c.atLeast);
    ASSERT_EQ(bounds.size(), c.optima.size());
    for (std::size_t k = 0; k < bounds.size(); ++k)
      expectNear(bounds[k], c.optima[k].first, c.optima[k].second);
  }
}

mpz_class choose(long j, long i) {
  mpz_class c;
  mpz_bin_uiui(c.get_mpz_t(), static_cast<unsigned long>(j), static_cast<unsigned long>(i));
  return c;
}

// With every line of an order in the same interval, averaging any x over the
// orderings of the events keeps it within the lines, and x spread evenly
// over the atoms of each size meets each line exactly when the sum S_i
// meets C(n, i) times its interval: the program over the atoms has the
// optimum of the exact program over the sums.
TEST(BooleanBounds, OfSymmetricIntervalsAreTheExactOptimumOfTheSums) {
  std::mt19937 random(5);
  int infeasible = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const int n = 2 + static_cast<int>(random() % 4);
    const int r = 1 + static_cast<int>(random() % static_cast<unsigned>(n));
    // w[j]: the units of each atom of j events, often none.
    std::vector<long> w(static_cast<std::size_t>(n) + 1);
    long rest = one;
    for (int j = n; j >= 1; --j) {
      const long most = rest / choose(n, j).get_si();
      w[static_cast<std::size_t>(j)] =
          random() % 3 == 0
              ? 0
              : static_cast<long>(random() % static_cast<unsigned long>(most / 2 + 1));
      rest -= w[static_cast<std::size_t>(j)] * choose(n, j).get_si();
    }
    std::vector<IntervalList> lines;
    std::vector<MomentInterval> moments;
    for (int i = 1; i <= n; ++i) {
      long units = 0;  // the line of i given events
      for (int j = i; j <= n; ++j)
        units += choose(n - i, j - i).get_si() * w[static_cast<std::size_t>(j)];
      if (random() % 6 == 0) units += static_cast<long>(random() % 200000000) - 100000000;
      // Exact, one unit around, or wider.
      const int kind = static_cast<int>(random() % 3);
      const long below = kind == 0 ? 0 : kind == 1 ? 1 : static_cast<long>(random() % 20000000);
      const long above = kind == 0 ? 0 : kind == 1 ? 1 : static_cast<long>(random() % 20000000);
      const UnitInterval interval{
          static_cast<std::uint32_t>(std::clamp(units - below, 0L, long{one})),
          static_cast<std::uint32_t>(std::clamp(units + above, 0L, long{one}))};
      lines.push_back(intervals(std::vector<UnitInterval>(choose(n, i).get_ui(), interval)));
      moments.push_back(
          {choose(n, i) * q(interval.low, one), choose(n, i) * q(interval.high, one)});
    }
    SCOPED_TRACE("trial " + std::to_string(trial) + ", n = " + std::to_string(n) +
                 ", r = " + std::to_string(r));
    const std::vector<UnionInterval> exact = sharpUnionBounds(n, moments, r);
    const std::vector<BooleanOrderBounds> bounds = booleanBounds(n, lines, r);
    infeasible += exact.size() < moments.size();
    ASSERT_EQ(bounds.size(), exact.size());
    for (std::size_t k = 0; k < bounds.size(); ++k) {
      SCOPED_TRACE("order " + std::to_string(k + 1));
      expectNear(bounds[k], exact[k].lower, exact[k].upper);
      if (k > 0) {
        EXPECT_GE(bounds[k].lower, bounds[k - 1].lower);
        EXPECT_LE(bounds[k].upper, bounds[k - 1].upper);
      }
    }
  }
  EXPECT_GE(infeasible, 5);
}

// An instance that intersections draws, its lines of every order exact to
// nine decimals: the true probability of at least `atLeast` events lies
// within the Boolean bounds of every order, which tighten with the order,
// lie within the sharp bounds of the sums and beat the classic bounds.
struct RandomCase {
  std::int32_t n, density;
  double P;
  std::int32_t m, atLeast;
  unsigned seed;
};

void checkRandomInstances(const std::vector<RandomCase>& cases) {
  for (const RandomCase& c : cases) {
    SCOPED_TRACE("n = " + std::to_string(c.n) + ", seed " + std::to_string(c.seed) + ", at least " +
                 std::to_string(c.atLeast));
    std::srand(c.seed);
    const PackedColumns columns = generatePackedColumns(c.n, c.density);
    const double weight = makeWeights(c.n, c.P)[0];
    const Observations seen = observeLines(columns, weight, c.m, {c.m, {}});
    const mpq_class P = probabilityOfAtLeast(columns, weight, c.atLeast);
    BoundsRequest request;
    request.atLeast = c.atLeast;
    const std::vector<OrderBounds> rows = boundsByOrder(seen, request);
    const std::vector<BooleanOrderBounds> bounds = booleanBounds(c.n, seen.lines, c.atLeast);
    ASSERT_EQ(bounds.size(), static_cast<std::size_t>(c.m));
    for (std::size_t k = 0; k < bounds.size(); ++k) {
      SCOPED_TRACE("order " + std::to_string(k + 1));
      const BooleanOrderBounds& b = bounds[k];
      const OrderBounds& row = rows[k];
      EXPECT_LE(0, b.lower);
      EXPECT_LE(b.lower, P);
      EXPECT_LE(P, b.upper);
      EXPECT_LE(b.upper, 1);
      EXPECT_LE(b.largestGap, 1e-10);
      EXPECT_GE(b.lower, row.lower - tolerance);
      EXPECT_LE(b.upper, row.upper + tolerance);
      if (k > 0) {
        EXPECT_GE(b.lower, bounds[k - 1].lower);
        EXPECT_LE(b.upper, bounds[k - 1].upper);
      }
      for (const auto& classic : {row.deCaen, row.kat, row.gallotKounias}) {
        if (classic) {
          EXPECT_LE(*classic, b.lower + tolerance);
        }
      }
      for (const auto& classic : {row.hunterWorsley, row.cherry}) {
        if (classic) {
          EXPECT_GE(*classic, b.upper - tolerance);
        }
      }
    }
  }
}

TEST(BooleanBounds, OfRandomInstancesHoldTheTrueProbabilityAndBeatTheOtherBounds) {
  // Beyond 22 events the proofs rest on the branch and bound over the atoms.
  checkRandomInstances({{4, 50, 0.9, 4, 1, 1},
                        {5, 30, 0.6, 5, 1, 2},
                        {6, 60, 1, 4, 1, 3},
                        {8, 20, 0.8, 3, 1, 4},
                        {10, 10, 0.5, 3, 1, 5},
                        {6, 50, 0.9, 4, 2, 6},
                        {7, 40, 0.7, 3, 3, 7},
                        {23, 10, 0.5, 2, 1, 8}});
}

// The proofs by branch and bound give the bounds of the zeta transform, also
// for at least R events, where both fit.
TEST(BooleanBounds, ByBranchAndBoundAreThoseOfTheZetaTransform) {
  const RandomCase cases[] = {
      {12, 20, 0.9, 3, 1, 11}, {10, 30, 0.7, 3, 2, 12}, {14, 10, 0.5, 2, 1, 13}};
  BooleanTuning branching;
  branching.zetaEventsLimit = 0;
  for (const RandomCase& c : cases) {
    SCOPED_TRACE("n = " + std::to_string(c.n));
    std::srand(c.seed);
    const PackedColumns columns = generatePackedColumns(c.n, c.density);
    const Observations seen = observeLines(columns, makeWeights(c.n, c.P)[0], c.m, {c.m, {}});
    BooleanWork zeta, branched;
    const auto byZeta = booleanBounds(c.n, seen.lines, c.atLeast, {}, 0, &zeta);
    const auto byBranching = booleanBounds(c.n, seen.lines, c.atLeast, {}, 0, &branched, branching);
    EXPECT_GT(branched.nodes, 0u);
    EXPECT_EQ(zeta.nodes, 0u);
    ASSERT_EQ(byZeta.size(), byBranching.size());
    for (std::size_t k = 0; k < byZeta.size(); ++k) {
      EXPECT_LE(abs(byZeta[k].lower - byBranching[k].lower), tolerance) << "order " << k + 1;
      EXPECT_LE(abs(byZeta[k].upper - byBranching[k].upper), tolerance) << "order " << k + 1;
    }
  }
}

// The same beyond the zeta transform's reach, to 30 events: seconds each.
TEST(BooleanBoundsLong, OfRandomInstancesBeyondTwentyFourEvents) {
  checkRandomInstances({{26, 8, 0.5, 2, 1, 26},
                        {27, 10, 0.9, 2, 1, 27},
                        {28, 6, 0.5, 2, 1, 28},
                        {30, 5, 0.7, 2, 1, 30}});
}

}  // namespace
