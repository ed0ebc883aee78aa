// Gallot's and Kounias's bound: on files worked out by hand, against its
// definition and de Caen's bound, on random finite spaces and over boxes.

#include "bounds/gallot_kounias.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounds/pairwise_bounds.h"

namespace {

using namespace intersections;

constexpr std::uint32_t one = unitsPerOne, half = one / 2, quarter = one / 4, eighth = one / 8;

struct Lines {
  IntervalList singles, pairs;
  PairTable table() const { return {singles, pairs}; }
};

Lines exactLines(const std::vector<std::uint32_t>& singles,
                 const std::vector<std::uint32_t>& pairs) {
  Lines lines;
  for (const std::uint32_t a : singles) lines.singles.push({a, a});
  for (const std::uint32_t b : pairs) lines.pairs.push({b, b});
  return lines;
}

mpq_class units(std::uint32_t u) { return probabilityOfUnits(mpz_class(u)); }

mpq_class fraction(long numerator, long denominator) {
  mpq_class q{mpz_class(numerator), mpz_class(denominator)};
  q.canonicalize();
  return q;
}

// The bound at rational weights, term by term from its definition.
mpq_class byDefinition(const PairTable& table, const std::vector<mpq_class>& c) {
  mpq_class numerator, denominator;
  for (std::size_t i = 0; i < table.events(); ++i) {
    numerator += c[i] * units(table.single(i).low);
    for (std::size_t j = 0; j < table.events(); ++j) {
      denominator += c[i] * c[j] * units(i == j ? table.single(i).high : table.pair(i, j).high);
    }
  }
  return numerator == 0 ? mpq_class(0) : mpq_class(numerator * numerator / denominator);
}

// n events over m outcomes of 1/m, cut into `blocks` runs: an event holds
// each run with its own chance, and (when runs are longer than one outcome)
// one outcome in 200 besides, which makes events nearly alike.
struct Space {
  std::size_t m;
  std::vector<std::vector<bool>> events;
  std::uint32_t count(std::size_t i, std::size_t j) const {
    std::uint32_t c = 0;
    for (std::size_t o = 0; o < m; ++o) c += events[i][o] && events[j][o] ? 1u : 0u;
    return c;
  }
  // Exact when 1/m is a whole number of units and `exact`; else the nearest
  // whole number of units, one unit either side.
  Lines lines(bool exact) const {
    const auto line = [&](std::size_t i, std::size_t j) {
      const std::uint64_t u = (2 * std::uint64_t{count(i, j)} * one + m) / (2 * m);
      const auto value = static_cast<std::uint32_t>(u);
      return exact && one % m == 0 ? UnitInterval{value, value} : oneUnitAround(value);
    };
    Lines lines;
    for (std::size_t i = 0; i < events.size(); ++i) lines.singles.push(line(i, i));
    for (std::size_t i = 0; i < events.size(); ++i) {
      for (std::size_t j = i + 1; j < events.size(); ++j) lines.pairs.push(line(i, j));
    }
    return lines;
  }
  mpq_class unionOf() const {
    long covered = 0;
    for (std::size_t o = 0; o < m; ++o) {
      bool any = false;
      for (const auto& event : events) any = any || event[o];
      covered += any ? 1 : 0;
    }
    return fraction(covered, static_cast<long>(m));
  }
};

Space randomSpace(std::size_t n, std::size_t m, std::size_t blocks, std::mt19937& random) {
  Space space{m, std::vector<std::vector<bool>>(n, std::vector<bool>(m))};
  for (auto& event : space.events) {
    const auto chance = random() % 100;
    std::vector<bool> held(blocks);
    for (std::size_t b = 0; b < blocks; ++b) held[b] = random() % 100 < chance;
    for (std::size_t o = 0; o < m; ++o) {
      event[o] = held[o * blocks / m] || (blocks < m && random() % 200 == 0);
    }
  }
  return space;
}

// Numbers of outcomes, most dividing 10^9 (so that the lines can be exact).
constexpr std::size_t outcomeCounts[] = {1, 2, 3, 4, 5, 7, 8, 10, 12, 16, 20, 25, 40, 50, 64};

// Random intervals of no particular probabilities, some with low end 0.
Lines randomBox(std::size_t n, std::mt19937& random) {
  const auto interval = [&](std::uint32_t top) {
    if (random() % 8 == 0) return UnitInterval{0, static_cast<std::uint32_t>(random() % 3)};
    const auto low = static_cast<std::uint32_t>(random() % top);
    return UnitInterval{low, low + static_cast<std::uint32_t>(random() % (one / 10))};
  };
  Lines lines;
  for (std::size_t i = 0; i < n; ++i) lines.singles.push(interval(half));
  for (std::size_t p = 0; p < n * (n - 1) / 2; ++p) lines.pairs.push(interval(eighth));
  return lines;
}

TEST(GallotKounias, HandWorkedFiles) {
  struct File {
    Lines lines;
    mpq_class best, deCaen;
  };
  const File files[] = {
      // a = (1/2, 1/4), b = 1/8. Q = [[1/2, 1/8], [1/8, 1/4]], Q^-1 a = (6/7, 4/7)
      // > 0, best a'Q^-1 a = 4/7. de Caen: (1/4)/(5/8) + (1/16)/(3/8) = 17/30.
      {exactLines({half, quarter}, {eighth}), fraction(4, 7), fraction(17, 30)},
      // A2 inside A1: b = a2 = 1/4. Q^-1 a = (1, 0): best 1/2, the union. de
      // Caen: (1/4)/(3/4) + (1/16)/(1/2) = 11/24.
      {exactLines({half, quarter}, {quarter}), fraction(1, 2), fraction(11, 24)},
      // Outcomes of 1/4: none, A1, A2, all three: a = (1/2, 1/2, 1/4), every
      // b = 1/4. Q^-1 a = (1, 1, -1); with c >= 0 the best is c = (1, 1, 0),
      // 1^2 / (1/2 + 1/2 + 2/4) = 2/3, where lambda Qc = (2/3)(3/4, 3/4, 1/2)
      // leaves a3 = 1/4 below 1/3. de Caen: 1/4 + 1/4 + (1/16)/(3/4) = 7/12.
      {exactLines({half, half, quarter}, {quarter, quarter, quarter}), fraction(2, 3),
       fraction(7, 12)},
  };
  for (const File& file : files) {
    EXPECT_EQ(deCaen(file.lines.table()), file.deCaen);
    const mpq_class bound = gallotKounias(file.lines.table());
    EXPECT_LE(bound, file.best);
    EXPECT_GE(bound, file.best * (1 - 1e-12));  // the weights are found in floating point
  }
  struct AtWeights {
    std::size_t file;
    std::vector<double> weights;
    mpq_class value;
  };
  const AtWeights cases[] = {
      {0, {1, 1}, fraction(9, 16)},  // (3/4)^2 / (1/2 + 1/4 + 2/8)
      {0, {6, 4}, fraction(4, 7)},   // (3 + 1)^2 / (36/2 + 16/4 + 2 24/8)
      // Along 1/beta_i = (8/5, 8/3): (11/4)^2 / (9/2 + 25/4 + 30/8), below de Caen.
      {0, {3, 5}, fraction(121, 232)},
      // Along a_i/beta_i = (4/5, 2/3): (17/4)^2 / (18 + 25/4 + 60/8), above de Caen.
      {0, {6, 5}, fraction(289, 508)},
      {0, {0, 0}, 0},
      {0, {0, 2}, fraction(1, 4)},
      {1, {1, 0}, fraction(1, 2)},
      {1, {1, 1}, fraction(9, 20)},  // (3/4)^2 / (1/2 + 1/4 + 2/4)
      {2, {1, 1, 0}, fraction(2, 3)},
      {2, {1, 1, 1}, fraction(25, 44)},  // (5/4)^2 / (5/4 + 2 3/4)
  };
  for (const AtWeights& c : cases) {
    SCOPED_TRACE("file " + std::to_string(c.file) + " at " + std::to_string(c.weights[0]) + ", " +
                 std::to_string(c.weights[1]));
    const PairTable table = files[c.file].lines.table();
    EXPECT_EQ(gallotKouniasWithWeights(table, c.weights), c.value);
    EXPECT_EQ(gallotKouniasWithWholeWeights(table, {c.weights.begin(), c.weights.end()}), c.value);
  }
}

// Every single a and every pair b: de Caen's bound and the bound at equal
// weights, which are the best, are both n a^2 / (a + (n - 1) b), at the low a
// above and the high a and b below.
TEST(GallotKounias, SymmetricFilesGiveDeCaensValue) {
  struct Symmetric {
    std::size_t n;
    std::uint32_t a, b;
    bool exact;
  };
  const Symmetric files[] = {
      {1, half, 0, true},
      {2, half, quarter, true},
      {2, half, quarter, false},
      {3, 300000000, 100000000, true},
      {8, 123456789, 23456789, true},
      {8, 123456789, 23456789, false},
      {8, 100000000, 100000000, true},  // one event eight times
      {10, 100000000, 0, false},        // disjoint events
      {40, 30000000, 1000000, false},
  };
  for (const Symmetric& file : files) {
    SCOPED_TRACE(std::to_string(file.n) + " events, a " + std::to_string(file.a));
    const UnitInterval a = file.exact ? UnitInterval{file.a, file.a} : oneUnitAround(file.a);
    const UnitInterval b = file.exact ? UnitInterval{file.b, file.b} : oneUnitAround(file.b);
    Lines lines;
    for (std::size_t i = 0; i < file.n; ++i) lines.singles.push(a);
    for (std::size_t p = 0; p < file.n * (file.n - 1) / 2; ++p) lines.pairs.push(b);
    const auto n = static_cast<long>(file.n);
    const mpq_class expected =
        n * units(a.low) * units(a.low) / (units(a.high) + (n - 1) * units(b.high));
    EXPECT_EQ(gallotKounias(lines.table()), expected);
    EXPECT_EQ(deCaen(lines.table()), expected);
    EXPECT_EQ(gallotKouniasWithWeights(lines.table(), std::vector<double>(file.n, 2.5)), expected);
  }
}

// At c_i = low(a_i) / beta_i, beta_i = high(a_i) + sum_{j != i} high(b_ij):
// c_i c_j b_ij <= (c_i^2 + c_j^2) b_ij / 2 puts the denominator at most
// sum_i c_i^2 beta_i = de Caen's bound = the numerator's root, so the value is
// at least de Caen's, and equal exactly when c_i = c_j wherever high(b_ij) > 0.
TEST(GallotKounias, AtDeCaensWeightsNeverBelowDeCaen) {
  std::mt19937 random(21);
  int equal = 0, above = 0, checked = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const std::size_t n = 1 + random() % 6;
    Lines lines = randomBox(n, random);
    if (trial % 3 == 0) {
      // Groups of alike events, disjoint from other groups.
      const std::size_t groups = 1 + random() % n;
      Lines grouped;
      for (std::size_t i = 0; i < n; ++i) grouped.singles.push(lines.singles[i % groups]);
      for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
          grouped.pairs.push(i % groups == j % groups ? lines.pairs[0] : UnitInterval{0, 0});
        }
      }
      lines = grouped;
    }
    const PairTable table = lines.table();
    std::vector<mpz_class> beta(n), weights(n);
    for (std::size_t i = 0; i < n; ++i) {
      beta[i] = table.single(i).high;
      for (std::size_t j = 0; j < n; ++j) beta[i] += j == i ? 0 : table.pair(i, j).high;
    }
    bool alike = true;
    for (std::size_t i = 0; i < n; ++i) {
      weights[i] = table.single(i).low;  // times the other betas (0 only where low(a_j) = 0)
      for (std::size_t j = 0; j < n; ++j) {
        if (j != i && beta[j] > 0) weights[i] *= beta[j];
        if (j > i && table.pair(i, j).high > 0) {
          alike = alike && table.single(i).low * beta[j] == table.single(j).low * beta[i];
        }
      }
    }
    SCOPED_TRACE("trial " + std::to_string(trial));
    const mpq_class value = gallotKouniasWithWholeWeights(table, weights);
    if (alike) {
      EXPECT_EQ(value, deCaen(table));
    } else {
      EXPECT_GT(value, deCaen(table));
    }
    (alike ? equal : above) += 1;
    // Groups of alike events whose pairs are no higher than their singles:
    // equal weights within a group are its best, and the best over disjoint
    // groups is the sum of theirs, de Caen's bound; the search, in floating
    // point, must not fall below it.
    bool semidefinite = trial % 3 == 0;
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = i + 1; j < n; ++j) {
        semidefinite = semidefinite && table.pair(i, j).high <= table.single(i).high;
      }
    }
    if (semidefinite) {
      EXPECT_EQ(gallotKounias(table), deCaen(table));
      ++checked;
    }
  }
  EXPECT_GT(equal, 50);
  EXPECT_GT(above, 50);
  EXPECT_GT(checked, 20);
}

TEST(GallotKounias, MatchesItsDefinitionAtAnyWeights) {
  std::mt19937 random(22);
  const double kinds[] = {0, 1, 0.1, 1e-30, 3e25, 0.7};
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t n = 1 + random() % 7;
    const Lines lines = randomBox(n, random);
    std::vector<double> weights(n);
    std::vector<mpz_class> whole(n);
    for (std::size_t i = 0; i < n; ++i) {
      weights[i] = kinds[random() % 6] * (1 + static_cast<double>(random() % 1000) / 7);
      whole[i] = static_cast<unsigned long>(random() % 5 == 0 ? 0 : random());
    }
    SCOPED_TRACE("trial " + std::to_string(trial));
    EXPECT_EQ(gallotKouniasWithWeights(lines.table(), weights),
              byDefinition(lines.table(), {weights.begin(), weights.end()}));
    EXPECT_EQ(gallotKouniasWithWholeWeights(lines.table(), whole),
              byDefinition(lines.table(), {whole.begin(), whole.end()}));
  }
}

// Moving one end of one line outwards, at positive weights: the low end of a
// single (numerator) or the high end of any line (denominator) lowers the
// value strictly, the low end of a pair leaves it. Nor can the best over the
// weights rise, which the search finds to within rounding on exact lines.
TEST(GallotKounias, WideningALineNeverRaisesTheBound) {
  std::mt19937 random(23);
  int compared = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const bool single = trial % 4 < 2, low = trial % 2 == 0;
    const std::size_t n = 2 + random() % 5;
    const std::size_t m = outcomeCounts[random() % std::size(outcomeCounts)];
    const bool exact = trial % 8 < 4 && one % m == 0;
    const Lines narrow = randomSpace(n, m, m, random).lines(exact);
    Lines wide = narrow;
    IntervalList& list = single ? wide.singles : wide.pairs;
    const std::size_t at = random() % list.size();
    UnitInterval line = list[at];
    if (low ? line.low == 0 : line.high == one) continue;
    if (low) line.low -= 1 + static_cast<std::uint32_t>(random() % line.low);
    if (!low) line.high += 1 + static_cast<std::uint32_t>(random() % (one - line.high));
    IntervalList changed;
    for (std::size_t i = 0; i < list.size(); ++i) changed.push(i == at ? line : list[i]);
    list = changed;

    SCOPED_TRACE("trial " + std::to_string(trial));
    std::vector<double> weights(n);
    for (auto& c : weights) c = 1 + static_cast<double>(random() % 100);
    const mpq_class before = gallotKouniasWithWeights(narrow.table(), weights);
    const mpq_class after = gallotKouniasWithWeights(wide.table(), weights);
    if (!single && low) {
      EXPECT_EQ(after, before);
    } else {
      EXPECT_TRUE(before > 0 ? after < before : after == 0);
    }
    if (exact) {
      EXPECT_LE(gallotKounias(wide.table()), gallotKounias(narrow.table()) * (1 + 1e-12));
      ++compared;
    }
  }
  EXPECT_GT(compared, 50);
}

// With lambda = a'c / c'Qc (a the low ends of the singles, Q the high ends),
// the value's gradient is along a - lambda Qc: at the best c >= 0, a_i =
// lambda (Qc)_i where c_i > 0 and a_i <= lambda (Qc)_i where c_i = 0. The
// search stops when a step gains less than 10^-15 of f, leaving about 10^-7.
void expectBestWeights(const PairTable& table) {
  const std::size_t n = table.events();
  const std::vector<double> c = gallotKouniasWeights(table);
  ASSERT_EQ(c.size(), n);
  std::vector<double> a(n), qc(n, 0.0);
  double ac = 0, cqc = 0;
  for (std::size_t i = 0; i < n; ++i) {
    a[i] = table.single(i).low / double{one};
    for (std::size_t j = 0; j < n; ++j) {
      qc[i] += (i == j ? table.single(i).high : table.pair(i, j).high) / double{one} * c[j];
    }
    ac += a[i] * c[i];
    cqc += c[i] * qc[i];
  }
  for (std::size_t i = 0; i < n; ++i) {
    const double gap = a[i] - ac / cqc * qc[i];
    EXPECT_TRUE(a[i] == 0  ? c[i] == 0
                : c[i] > 0 ? std::fabs(gap) <= 1e-6 * a[i]
                           : gap <= 1e-6 * a[i])
        << "event " << i << ": weight " << c[i] << ", gap " << gap;
  }
  EXPECT_GE(gallotKounias(table), gallotKouniasWithWeights(table, c) * (1 - 1e-15));
}

// On random spaces, lines exact or rounded: below the union, at least de
// Caen's bound and the value at equal weights, at weights meeting the
// conditions for the best. The last trials have many events, each a few of
// eight runs of 1000 outcomes: Q nearly singular, where coordinate descent
// alone crawls.
TEST(GallotKounias, LiesBetweenDeCaenAndTheUnionAtTheBestWeights) {
  std::mt19937 random(24);
  int aboveDeCaen = 0;
  for (int trial = 0; trial < 404; ++trial) {
    const bool large = trial >= 400;
    const std::size_t n = large ? 60 + random() % 60 : 1 + random() % 20;
    const std::size_t m = large ? 1000 : outcomeCounts[random() % std::size(outcomeCounts)];
    const Space space = randomSpace(n, m, large ? 8 : m, random);
    const Lines lines = space.lines(large || trial % 4 != 0);
    const PairTable table = lines.table();
    SCOPED_TRACE("trial " + std::to_string(trial));
    const mpq_class bound = gallotKounias(table);
    EXPECT_LE(bound, space.unionOf());
    EXPECT_GE(bound, deCaen(table));
    EXPECT_GE(bound, gallotKouniasWithWeights(table, std::vector<double>(n, 1.0)));
    aboveDeCaen += bound > deCaen(table) ? 1 : 0;
    if (large || trial % 10 == 0) expectBestWeights(table);
  }
  EXPECT_GT(aboveDeCaen, 200);
}

TEST(GallotKounias, EmptyAndDegenerateFiles) {
  const Lines none;
  EXPECT_EQ(gallotKounias(none.table()), 0);
  EXPECT_TRUE(gallotKouniasWeights(none.table()).empty());
  // Every low end 0: nothing in the numerator.
  Lines zero;
  zero.singles.push({0, 5});
  zero.singles.push({0, 0});
  zero.pairs.push({0, 1});
  EXPECT_EQ(gallotKounias(zero.table()), 0);
  EXPECT_EQ(gallotKouniasWeights(zero.table()), std::vector<double>(2, 0.0));
  // Beside an event with low end 0 (weight 0), one in [1/4, 1/4 + 1 unit]:
  // low^2 / high.
  Lines beside;
  beside.singles.push({0, half});
  beside.singles.push({quarter, quarter + 1});
  beside.pairs.push({0, eighth});
  EXPECT_EQ(gallotKouniasWeights(beside.table())[0], 0.0);
  EXPECT_EQ(gallotKounias(beside.table()), units(quarter) * quarter / (quarter + 1));

  const Lines two = exactLines({half, quarter}, {eighth});
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const std::vector<double>& bad : std::vector<std::vector<double>>{
           {1.0}, {1.0, 1.0, 1.0}, {1.0, -0.5}, {nan, 1.0}, {1.0, inf}}) {
    EXPECT_THROW(gallotKouniasWithWeights(two.table(), bad), std::invalid_argument);
  }
  EXPECT_THROW(gallotKouniasWithWholeWeights(two.table(), {1, -1}), std::invalid_argument);
  EXPECT_THROW(gallotKouniasWithWholeWeights(two.table(), {1}), std::invalid_argument);
}

}  // namespace
