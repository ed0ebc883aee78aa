#include "instance/index_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>
#include <vector>

namespace intersections {
namespace {

using Sets = std::vector<std::vector<std::int32_t>>;

Sets toSets(const IndexSetList& list) {
  Sets sets;
  for (const IndexSet& set : list) sets.emplace_back(set.begin(), set.end());
  return sets;
}

// The same order built another way: every bitmask of n bits, grouped by the
// number of bits, each group sorted as increasing lists.
Sets byBitmasks(int n, int m) {
  Sets sets;
  for (int size = 1; size <= std::min(n, m); ++size) {
    Sets group;
    for (std::uint32_t mask = 1; mask < (std::uint32_t{1} << n); ++mask) {
      if (std::popcount(mask) != size) continue;
      std::vector<std::int32_t> set;
      for (int e = 0; e < n; ++e) {
        if (mask & (std::uint32_t{1} << e)) set.push_back(e + 1);
      }
      group.push_back(set);
    }
    std::sort(group.begin(), group.end());
    sets.insert(sets.end(), group.begin(), group.end());
  }
  return sets;
}

// Steps through the order with both forms of the set, which must agree.
Sets byStepping(std::int32_t n, std::int32_t m) {
  Sets sets;
  IndexSet set;
  std::vector<std::int32_t> contiguous;
  for (int changed; (changed = nextIndexSet(set, n, m)) >= 0;) {
    EXPECT_EQ(nextIndexSet(contiguous, n, m), changed);
    EXPECT_TRUE(std::equal(set.begin(), set.end(), contiguous.begin(), contiguous.end()));
    sets.emplace_back(set.begin(), set.end());
  }
  EXPECT_EQ(nextIndexSet(contiguous, n, m), -1);
  return sets;
}

constexpr std::int32_t largestInt = std::numeric_limits<std::int32_t>::max();

TEST(EnumerateIndexSets, ListsTheDocumentedOrders) {
  EXPECT_EQ(toSets(enumerateIndexSets(4, 2)),
            (Sets{{1}, {2}, {3}, {4}, {1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}));

  const Sets five = toSets(enumerateIndexSets(5, 3));
  ASSERT_EQ(five.size(), 25u);
  EXPECT_EQ(std::count_if(five.begin(), five.end(), [](auto& s) { return s.size() == 1; }), 5);
  EXPECT_EQ(std::count_if(five.begin(), five.end(), [](auto& s) { return s.size() == 2; }), 10);
  EXPECT_EQ(five[15 + 7], (std::vector<std::int32_t>{2, 3, 5}));  // eighth set of size 3
  EXPECT_EQ(five.back(), (std::vector<std::int32_t>{3, 4, 5}));

  EXPECT_EQ(toSets(enumerateIndexSets(1, 1)), (Sets{{1}}));
}

TEST(EnumerateIndexSets, OrderAboveNActsAsN) {
  const Sets expected{{1}, {2}, {3}, {1, 2}, {1, 3}, {2, 3}, {1, 2, 3}};
  for (std::int32_t m : {3, 4, 5, 1000, largestInt}) {
    EXPECT_EQ(toSets(enumerateIndexSets(3, m)), expected) << "m = " << m;
    EXPECT_EQ(byStepping(3, m), expected) << "m = " << m;
  }
}

TEST(EnumerateIndexSets, EmptyWhenNOrMBelowOne) {
  struct Case {
    std::int32_t n, m;
  };
  const Case cases[] = {{4, 0},          {4, -1}, {4, std::numeric_limits<std::int32_t>::min()},
                        {0, 3},          {-2, 3}, {0, 0},
                        {-5, largestInt}};
  for (const Case& c : cases) {
    EXPECT_TRUE(enumerateIndexSets(c.n, c.m).empty()) << c.n << ", " << c.m;
    IndexSet set;
    EXPECT_EQ(nextIndexSet(set, c.n, c.m), -1) << c.n << ", " << c.m;
    EXPECT_TRUE(set.empty());
  }
}

TEST(EnumerateIndexSets, EqualsBitmaskOrderAndSteppingUpToTwelveEvents) {
  for (int n = 0; n <= 12; ++n) {
    for (int m = 0; m <= n + 1; ++m) {
      const Sets listed = toSets(enumerateIndexSets(n, m));
      ASSERT_EQ(listed, byBitmasks(n, m)) << "n = " << n << ", m = " << m;
      ASSERT_EQ(byStepping(n, m), listed) << "n = " << n << ", m = " << m;
    }
  }
}

TEST(EnumerateIndexSets, LastSetIsAllEventsWhenMReachesN) {
  for (std::int32_t n : {1, 7, 16}) {
    const IndexSetList list = enumerateIndexSets(n, n);
    EXPECT_EQ(list.size(), (std::size_t{1} << n) - 1);
    IndexSet all;
    for (std::int32_t e = 1; e <= n; ++e) all.push_back(e);
    EXPECT_EQ(list.back(), all);
  }
}

TEST(EnumerateIndexSets, RefusesCoefficientsBeyondThirtyTwoBits) {
  // C(34, 17) does not fit; a wrong list must never come back.
  EXPECT_THROW(enumerateIndexSets(34, 17), std::overflow_error);
  EXPECT_THROW(enumerateIndexSets(40, 40), std::overflow_error);
}

TEST(NextIndexSet, ReportsTheFirstChangedPosition) {
  struct Case {
    std::vector<std::int32_t> before;
    std::int32_t n, m;
    std::vector<std::int32_t> after;
    int changed;
  };
  // clang-format off
  const Case cases[] = {
      // before        n  m   after          first changed
      {{},             5, 3,  {1},            0},
      {{5},            5, 3,  {1, 2},         0},   // next size
      {{1, 2},         5, 3,  {1, 3},         1},
      {{1, 5},         5, 3,  {2, 3},         0},
      {{2, 4, 5},      5, 3,  {3, 4, 5},      0},
      {{1, 4, 5},      6, 3,  {1, 4, 6},      2},
      {{1, 5, 6},      6, 3,  {2, 3, 4},      0},
      {{3, 4, 5},      5, 3,  {3, 4, 5},     -1},   // last set, left as it was
      {{1, 2, 3},      3, 9,  {1, 2, 3},     -1},
      {{299, 300},   300, 3,  {1, 2, 3},      0},   // large n, no coefficients needed
      {{200, 300},   300, 3,  {201, 202},     0},
  };
  // clang-format on
  for (const Case& c : cases) {
    IndexSet set(c.before.begin(), c.before.end());
    EXPECT_EQ(nextIndexSet(set, c.n, c.m), c.changed);
    EXPECT_EQ(std::vector<std::int32_t>(set.begin(), set.end()), c.after);
  }
}

TEST(NextIndexSet, CountsBeyondTheThirtyTwoBitLimit) {
  // n = 40 and size 2 is fine for the stepping order even where the listed
  // order would need C(40, 20): the count of size-2 sets is C(40, 2).
  IndexSet set;
  std::size_t count = 0;
  while (nextIndexSet(set, 40, 2) >= 0) ++count;
  EXPECT_EQ(count, 40u + 780u);
}

}  // namespace
}  // namespace intersections
