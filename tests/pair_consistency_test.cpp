#include "bounds/pair_consistency.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

using namespace intersections;

// The pair check against a search over the true values: at each candidate
// b_ij (the ends of its interval, clipped, and the low ends of the singles,
// where the union a_i + a_j - b_ij bends), the singles as low as b_ij lets
// them be. Values at the edges of [0, 1] and one unit apart, each read as a
// line (one unit either side) or as an exact value.
TEST(PairConsistency, AgreesWithASearchOverTheTrueValues) {
  const std::uint32_t one = unitsPerOne, half = one / 2;
  const std::uint32_t values[] = {0,        1,        2,       3,       half - 1, half,
                                  half + 1, half + 2, one - 3, one - 2, one - 1,  one};
  auto fits = [&](UnitInterval ai, UnitInterval aj, UnitInterval bij) {
    const std::uint64_t top = std::min({bij.high, ai.high, aj.high});
    if (bij.low > top) return false;
    for (const std::uint64_t candidate :
         {std::uint64_t{bij.low}, top, std::uint64_t{ai.low}, std::uint64_t{aj.low}}) {
      const std::uint64_t b = std::clamp<std::uint64_t>(candidate, bij.low, top);
      const std::uint64_t u =
          std::max<std::uint64_t>(ai.low, b) + std::max<std::uint64_t>(aj.low, b);
      if (u - b <= one) return true;
    }
    return false;
  };
  int refused = 0, checked = 0;
  for (const bool exact : {false, true}) {
    auto interval = [&](std::uint32_t v) { return exact ? UnitInterval{v, v} : oneUnitAround(v); };
    for (const std::uint32_t a : values) {
      for (const std::uint32_t b : values) {
        for (const std::uint32_t ab : values) {
          IntervalList singles, pairs;
          singles.push(interval(a));
          singles.push(interval(b));
          pairs.push(interval(ab));
          const bool expected = fits(interval(a), interval(b), interval(ab));
          const auto conflict = firstInconsistentPair({singles, pairs});
          EXPECT_EQ(!conflict, expected) << a << " " << b << " " << ab << (exact ? " exact" : "");
          refused += !expected;
          ++checked;
        }
      }
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_LT(refused, checked);

  // Four events, every pair fine but {2, 4}, the fifth pair, whose union is
  // above 1: the first conflict is that one, and named so.
  IntervalList singles, pairs;
  for (const std::uint32_t a : {half, one - 2, half, one - 2}) singles.pushValue(a);
  for (const std::uint32_t ab : {half - 2, half - 2, half - 2, half - 2, one - 9, half - 2})
    pairs.pushValue(ab);
  const auto conflict = firstInconsistentPair({singles, pairs});
  ASSERT_TRUE(conflict.has_value());
  EXPECT_EQ(conflict->first, 1u);
  EXPECT_EQ(conflict->second, 3u);
  EXPECT_EQ(conflict->pair, 4u);
  EXPECT_EQ(conflict->kind, PairConflict::unionAboveOne);
}

}  // namespace
