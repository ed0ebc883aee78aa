#include "instance/binomial.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace intersections {
namespace {

TEST(Binomial, Boundaries) {
  struct Case {
    std::int32_t a, b, expected;
  };
  const Case cases[] = {
      // a      b      C(a, b)
      {3, 5, 0},    // a < b
      {-1, 0, 0},   // negative a
      {-5, -7, 0},  // negative b
      {0, 0, 1},
      {7, 0, 1},
      {7, 7, 1},
      {5, 2, 10},
      {30, 14, 145422675},  // last product 2035917450 would overflow 32 bits
      {30, 15, 155117520},
      {30, 16, 145422675},
      {33, 16, 1166803110},
      {2147483647, 1, 2147483647},
      {2147483647, 2147483647, 1},
      {2147483647, 2147483646, 2147483647},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(binomial(c.a, c.b), c.expected) << "binomial(" << c.a << ", " << c.b << ")";
  }
}

TEST(Binomial, MatchesPascalsTriangle) {
  for (std::int32_t a = 1; a <= 33; ++a) {
    for (std::int32_t b = 1; b < a; ++b) {
      const std::int64_t sum = std::int64_t{binomial(a - 1, b - 1)} + binomial(a - 1, b);
      if (sum > 2147483647) continue;
      EXPECT_EQ(binomial(a, b), sum) << a << " over " << b;
    }
  }
}

TEST(Binomial, ThrowsWhenTheCoefficientDoesNotFit) {
  for (auto [a, b] : {std::pair{34, 17}, std::pair{40, 20}, std::pair{2147483647, 2}}) {
    try {
      binomial(a, b);
      ADD_FAILURE() << "binomial(" << a << ", " << b << ") did not throw";
    } catch (const std::overflow_error& error) {
      const std::string expected = "binomial(" + std::to_string(a) + ", " + std::to_string(b) + ")";
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace intersections
