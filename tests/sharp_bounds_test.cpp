// The exact linear program against the closed forms for one, two and three
// moments and against every basic solution of small programs, for the union
// and for "at least r of the events".

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

// A random distribution of the number of events that occur, v_0..v_n, on
// the counts j with support(j) (all of them by default).
std::vector<mpq_class> randomDistribution(int n, std::mt19937& random,
                                          bool (*support)(int j, int n) = nullptr) {
  std::vector<mpq_class> v(static_cast<std::size_t>(n) + 1);
  mpz_class total;
  for (std::size_t j = 0; j < v.size(); ++j) {
    mpq_class& p = v[j];
    p = random() % 4 == 0 ? 0 : random() % 1000;
    if (support != nullptr && !support(static_cast<int>(j), n)) p = 0;
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

mpz_class floorOf(const mpq_class& q) {
  mpz_class f;
  mpz_fdiv_q(f.get_mpz_t(), q.get_num_mpz_t(), q.get_den_mpz_t());
  return f;
}

TEST(SharpUnionBounds, MatchBorosPrekopaForThreeExactMoments) {
  // Distributions on all counts, and on the counts that make a floor's
  // argument 0 (no count above 2: S_3 = 0; only 0, 1 and n: 2(n - 2) S_2 =
  // 6 S_3) or a denominator vanish (only 0 and 1: S_2 = 0; only 0 and n:
  // (n - 1) S_1 = 2 S_2).
  bool (*const supports[])(int, int) = {
      nullptr,
      [](int j, int) { return j <= 2; },
      [](int j, int n) { return j <= 1 || j == n; },
      [](int j, int) { return j <= 1; },
      [](int j, int n) { return j == 0 || j == n; },
  };
  std::mt19937 random(3);
  int seen[4] = {};  // how often S_3 = 0, the lower floor's argument is 0, each denominator is 0
  for (int trial = 0; trial < 400; ++trial) {
    const int n = 3 + static_cast<int>(random() % 10);
    const std::vector<mpq_class> v = randomDistribution(n, random, supports[trial % 5]);
    const mpq_class s1 = moment(v, 1), s2 = moment(v, 2), s3 = moment(v, 3);
    SCOPED_TRACE("n = " + std::to_string(n) + ", S = " + s1.get_str() + ", " + s2.get_str() + ", " +
                 s3.get_str());
    const std::vector<UnionInterval> bounds = sharpUnionBounds(n, {{s1, s1}, {s2, s2}, {s3, s3}});
    ASSERT_EQ(bounds.size(), 3u);
    // Boros and Prekopa (1989); without S_2 the union is S_1, without any
    // count strictly between 0 and n it is S_1 / n.
    mpq_class upper = s1;
    seen[0] += s2 != 0 && s3 == 0;
    seen[2] += s2 == 0;
    if (s2 != 0) {
      const mpq_class j = 2 + floorOf(3 * s3 / s2);
      upper = s1 - 2 * (2 * j - 1) / (j * (j + 1)) * s2 + 6 / (j * (j + 1)) * s3;
    }
    EXPECT_EQ(bounds[2].upper, std::min(mpq_class(1), upper));
    const mpq_class denominator = (n - 1) * s1 - 2 * s2;
    mpq_class lower = s1 / n;
    seen[1] += denominator != 0 && 2 * (n - 2) * s2 == 6 * s3;
    seen[3] += denominator == 0;
    if (denominator != 0) {
      const mpq_class i = 1 + floorOf((2 * (n - 2) * s2 - 6 * s3) / denominator);
      lower = (i + 2 * n - 1) / ((i + 1) * n) * s1 - 2 * (2 * i + n - 2) / (i * (i + 1) * n) * s2 +
              6 / (i * (i + 1) * n) * s3;
    }
    EXPECT_EQ(bounds[2].lower, lower);
  }
  for (const int count : seen) EXPECT_GE(count, 20);
}

// The least and greatest probability of at least r events over all basic
// feasible solutions of the standard form with a slack for each side of each
// interval, found by solving every square subsystem; nothing when none is
// feasible.
std::optional<UnionInterval> bruteForce(int n, const std::vector<MomentInterval>& moments,
                                        int atLeast) {
  const auto events = static_cast<std::size_t>(n);
  const auto least = static_cast<std::size_t>(atLeast);
  const std::size_t k = moments.size();
  const std::size_t rows = 2 * k + 1, columns = events + 1 + 2 * k;
  // Column j < n + 1 is v_j; then the slack of each upper side, then of each lower one.
  std::vector<std::vector<mpq_class>> a(rows, std::vector<mpq_class>(columns));
  std::vector<mpq_class> b(rows);
  for (std::size_t j = 0; j <= events; ++j) a[0][j] = 1;
  b[0] = 1;
  for (std::size_t i = 1; i <= k; ++i) {
    for (std::size_t j = 0; j <= events; ++j)
      a[i][j] = a[k + i][j] = choose(static_cast<int>(j), static_cast<int>(i));
    a[i][events + i] = 1;
    a[k + i][events + k + i] = -1;
    b[i] = moments[i - 1].high;
    b[k + i] = moments[i - 1].low;
  }
  std::optional<UnionInterval> best;
  std::vector<bool> chosen(columns, false);
  std::fill(chosen.begin(), chosen.begin() + static_cast<std::ptrdiff_t>(rows), true);
  do {
    std::vector<std::size_t> basis;
    for (std::size_t c = 0; c < columns; ++c) {
      if (chosen[c]) basis.push_back(c);
    }
    // Gauss-Jordan on [B | b].
    std::vector<std::vector<mpq_class>> m(rows);
    for (std::size_t r = 0; r < rows; ++r) {
      for (std::size_t c : basis) m[r].push_back(a[r][c]);
      m[r].push_back(b[r]);
    }
    bool singular = false;
    for (std::size_t c = 0; c < rows && !singular; ++c) {
      std::size_t p = c;
      while (p < rows && m[p][c] == 0) ++p;
      if (p == rows) {
        singular = true;
        break;
      }
      std::swap(m[p], m[c]);
      for (std::size_t r = 0; r < rows; ++r) {
        if (r == c || m[r][c] == 0) continue;
        const mpq_class f = m[r][c] / m[c][c];
        for (std::size_t j = c; j <= rows; ++j) m[r][j] -= f * m[c][j];
      }
    }
    if (singular) continue;
    mpq_class value;
    bool feasible = true;
    for (std::size_t r = 0; r < rows; ++r) {
      const mpq_class x = m[r][rows] / m[r][r];
      if (x < 0) feasible = false;
      if (basis[r] >= least && basis[r] <= events) value += x;
    }
    if (!feasible) continue;
    if (!best) best = UnionInterval{value, value, {}, {}};
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
    const int k =
        1 + static_cast<int>(random() % static_cast<unsigned>(std::min(n, n == 4 ? 4 : 3)));
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
      const mpq_class below = hundredths(static_cast<long>(random() % 5)),
                      above = hundredths(static_cast<long>(random() % 5));
      mpq_class low = kind == 2 ? s : s - below;
      if (low < 0) low = 0;
      moments.push_back({low, kind == 2 ? s : mpq_class(s + above)});
    }
    // The union in every other trial, at least r of the n events in the rest.
    const int r = trial % 2 == 0 ? 1 : 1 + (trial / 2) % n;
    SCOPED_TRACE("trial " + std::to_string(trial) + ", n = " + std::to_string(n) +
                 ", k = " + std::to_string(k) + ", r = " + std::to_string(r));
    const std::vector<UnionInterval> exact = sharpUnionBounds(n, moments, r);
    // Each order against the brute force of its own prefix of moments.
    for (int order = 1; order <= k; ++order) {
      const std::vector<MomentInterval> prefix(moments.begin(), moments.begin() + order);
      const std::optional<UnionInterval> expected = bruteForce(n, prefix, r);
      if (!expected) {
        EXPECT_EQ(exact.size(), static_cast<std::size_t>(order - 1))
            << "order " << order << " has no solution";
        ++infeasible;
        break;
      }
      ASSERT_GE(exact.size(), static_cast<std::size_t>(order));
      EXPECT_EQ(exact[static_cast<std::size_t>(order - 1)].lower, expected->lower)
          << "order " << order;
      EXPECT_EQ(exact[static_cast<std::size_t>(order - 1)].upper, expected->upper)
          << "order " << order;
    }
  }
  EXPECT_GT(infeasible, 5) << "too few inconsistent programs to test that case";
}

}  // namespace
