// The exact linear program against the closed forms for one and two moments
// and against every basic solution of small programs.

#include "bounds/sharp_bounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <vector>

namespace {

using intersections::MomentInterval;
using intersections::sharpUnionBounds;
using intersections::UnionInterval;

mpz_class choose(int j, int i) {
  mpz_class c;
  mpz_bin_uiui(c.get_mpz_t(), static_cast<unsigned long>(j), static_cast<unsigned long>(i));
  return c;
}

// A random distribution of the number of events that occur, v_0..v_n.
std::vector<mpq_class> randomDistribution(int n, std::mt19937& random) {
  std::vector<mpq_class> v(static_cast<std::size_t>(n) + 1);
  mpz_class total;
  for (mpq_class& p : v) {
    p = random() % 4 == 0 ? 0 : random() % 1000;
    total += p.get_num();
  }
  if (total == v[0].get_num()) {  // some probability that an event occurs
    v.back() += 1;
    total += 1;
  }
  for (mpq_class& p : v) p /= total;
  return v;
}

mpq_class moment(const std::vector<mpq_class>& v, int i) {
  mpq_class s;
  for (std::size_t j = 0; j < v.size(); ++j) s += choose(static_cast<int>(j), i) * v[j];
  return s;
}

TEST(SharpUnionBounds, MatchClosedFormsForOneAndTwoExactMoments) {
  std::mt19937 random(1);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 2 + static_cast<int>(random() % 12);
    const std::vector<mpq_class> v = randomDistribution(n, random);
    const mpq_class s1 = moment(v, 1), s2 = moment(v, 2);
    const std::vector<UnionInterval> bounds = sharpUnionBounds(n, {{s1, s1}, {s2, s2}});
    ASSERT_EQ(bounds.size(), 2u);
    SCOPED_TRACE("n = " + std::to_string(n) + ", S1 = " + s1.get_str() + ", S2 = " + s2.get_str());
    EXPECT_EQ(bounds[0].lower, s1 / n);
    EXPECT_EQ(bounds[0].upper, std::min(mpq_class(1), s1));
    // Dawson and Sankoff below, Kwerel above.
    mpq_class t = 1 + mpz_class(2 * s2.get_num() * s1.get_den() / (s2.get_den() * s1.get_num()));
    EXPECT_EQ(bounds[1].lower, 2 * s1 / (t + 1) - 2 * s2 / (t * (t + 1)));
    EXPECT_EQ(bounds[1].upper, std::min(mpq_class(1), mpq_class(s1 - 2 * s2 / n)));
  }
}

// The least and greatest union probability over all basic feasible solutions
// of the standard form with a slack for each side of each interval, found by
// solving every square subsystem; nothing when none is feasible.
std::optional<UnionInterval> bruteForce(int n, const std::vector<MomentInterval>& moments) {
  const int k = static_cast<int>(moments.size());
  const int rows = 2 * k + 1, columns = n + 1 + 2 * k;
  // Column j < n + 1 is v_j; then the slack of each upper side, then of each lower one.
  std::vector<std::vector<mpq_class>> a(static_cast<std::size_t>(rows),
                                        std::vector<mpq_class>(columns));
  std::vector<mpq_class> b(static_cast<std::size_t>(rows));
  for (int j = 0; j <= n; ++j) a[0][j] = 1;
  b[0] = 1;
  for (int i = 1; i <= k; ++i) {
    for (int j = 0; j <= n; ++j) a[i][j] = a[k + i][j] = choose(j, i);
    a[i][n + i] = 1;
    a[k + i][n + k + i] = -1;
    b[i] = moments[i - 1].high;
    b[k + i] = moments[i - 1].low;
  }
  std::optional<UnionInterval> best;
  std::vector<bool> chosen(static_cast<std::size_t>(columns), false);
  std::fill(chosen.begin(), chosen.begin() + rows, true);
  do {
    std::vector<int> basis;
    for (int c = 0; c < columns; ++c) {
      if (chosen[c]) basis.push_back(c);
    }
    // Gauss-Jordan on [B | b].
    std::vector<std::vector<mpq_class>> m(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
      for (int c : basis) m[r].push_back(a[r][c]);
      m[r].push_back(b[r]);
    }
    bool singular = false;
    for (int c = 0; c < rows && !singular; ++c) {
      int p = c;
      while (p < rows && m[p][c] == 0) ++p;
      if (p == rows) {
        singular = true;
        break;
      }
      std::swap(m[p], m[c]);
      for (int r = 0; r < rows; ++r) {
        if (r == c || m[r][c] == 0) continue;
        const mpq_class f = m[r][c] / m[c][c];
        for (int j = c; j <= rows; ++j) m[r][j] -= f * m[c][j];
      }
    }
    if (singular) continue;
    mpq_class value;
    bool feasible = true;
    for (int r = 0; r < rows; ++r) {
      const mpq_class x = m[r][rows] / m[r][r];
      if (x < 0) feasible = false;
      if (basis[r] >= 1 && basis[r] <= n) value += x;
    }
    if (!feasible) continue;
    if (!best) best = UnionInterval{value, value};
    best->lower = std::min(best->lower, value);
    best->upper = std::max(best->upper, value);
  } while (std::prev_permutation(chosen.begin(), chosen.end()));
  return best;
}

TEST(SharpUnionBounds, AgreeWithEveryBasicSolutionOfSmallPrograms) {
  std::mt19937 random(2);
  int infeasible = 0;
  for (int trial = 0; trial < 120; ++trial) {
    const int n = 1 + static_cast<int>(random() % 5);
    const int k = 1 + static_cast<int>(random() % std::min(n, n == 4 ? 4 : 3));
    const std::vector<mpq_class> v = randomDistribution(n, random);
    std::vector<MomentInterval> moments;
    for (int i = 1; i <= k; ++i) {
      // Widened around the moments of a distribution, or shifted away from
      // them, or, now and then, a point.
      mpq_class s = moment(v, i);
      const int kind = static_cast<int>(random() % 4);
      auto hundredths = [&](long count) {
        mpq_class q(count, 100);
        q.canonicalize();
        return q;
      };
      if (kind == 3) s += hundredths(static_cast<long>(random() % 200) - 100);
      if (s < 0) s = 0;
      const mpq_class below = hundredths(random() % 5), above = hundredths(random() % 5);
      mpq_class low = kind == 2 ? s : s - below;
      if (low < 0) low = 0;
      moments.push_back({low, kind == 2 ? s : mpq_class(s + above)});
    }
    SCOPED_TRACE("trial " + std::to_string(trial) + ", n = " + std::to_string(n) +
                 ", k = " + std::to_string(k));
    const std::vector<UnionInterval> exact = sharpUnionBounds(n, moments);
    // Each order against the brute force of its own prefix of moments.
    for (int order = 1; order <= k; ++order) {
      const std::vector<MomentInterval> prefix(moments.begin(), moments.begin() + order);
      const std::optional<UnionInterval> expected = bruteForce(n, prefix);
      if (!expected) {
        EXPECT_EQ(exact.size(), static_cast<std::size_t>(order - 1))
            << "order " << order << " has no solution";
        ++infeasible;
        break;
      }
      ASSERT_GE(exact.size(), static_cast<std::size_t>(order));
      EXPECT_EQ(exact[order - 1].lower, expected->lower) << "order " << order;
      EXPECT_EQ(exact[order - 1].upper, expected->upper) << "order " << order;
    }
  }
  EXPECT_GT(infeasible, 5) << "too few inconsistent programs to test that case";
}

}  // namespace
