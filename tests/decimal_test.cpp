// The exact decimals every printed bound passes through: the text of a
// rational at a number of decimals, rounded as asked, and the exact value of
// a decimal text.

#include "reporting/decimal.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

namespace {

using intersections::formatFixed;
using intersections::parseDecimal;
using intersections::Rounding;

mpq_class ratio(long numerator, long denominator) {
  mpq_class value(numerator, denominator);
  value.canonicalize();
  return value;
}

mpq_class powerOfTen(int exponent) {
  mpz_class power;
  mpz_ui_pow_ui(power.get_mpz_t(), 10,
                static_cast<unsigned long>(exponent < 0 ? -exponent : exponent));
  return exponent < 0 ? mpq_class(1, power) : mpq_class(power);
}

TEST(Decimal, FormatsEachRounding) {
  struct Case {
    mpq_class value;
    int decimals;
    const char *down, *up, *nearest;
  };
  const Case cases[] = {
      // value            decimals  down         up          nearest
      {ratio(1, 3), 3, "0.333", "0.334", "0.333"},
      {ratio(2, 3), 3, "0.666", "0.667", "0.667"},
      {ratio(-1, 3), 3, "-0.334", "-0.333", "-0.333"},
      {ratio(1, 8), 2, "0.12", "0.13", "0.13"},  // a half goes away from zero
      {ratio(-1, 8), 2, "-0.13", "-0.12", "-0.13"},
      {ratio(3, 8), 2, "0.37", "0.38", "0.38"},
      {ratio(1, 2000), 3, "0.000", "0.001", "0.001"},
      {ratio(-1, 2000), 3, "-0.001", "0.000", "-0.001"},  // no "-0.000"
      {ratio(5, 1), 1, "5.0", "5.0", "5.0"},
      {ratio(123456789, 1000), 2, "123456.78", "123456.79", "123456.79"},
      {ratio(999999, 1000000), 3, "0.999", "1.000", "1.000"},  // a carry before the point
      {ratio(0, 1), 12, "0.000000000000", "0.000000000000", "0.000000000000"},
      {-powerOfTen(-13), 12, "-0.000000000001", "0.000000000000", "0.000000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.get_str() + " at " + std::to_string(c.decimals));
    EXPECT_EQ(formatFixed(c.value, c.decimals, Rounding::down), c.down);
    EXPECT_EQ(formatFixed(c.value, c.decimals, Rounding::up), c.up);
    EXPECT_EQ(formatFixed(c.value, c.decimals, Rounding::nearest), c.nearest);
  }
  EXPECT_THROW(formatFixed(1, 0, Rounding::down), std::invalid_argument);
}

TEST(Decimal, ParsesExactlyWhatIsADecimalNumber) {
  struct Case {
    const char* text;
    std::optional<mpq_class> value;
  };
  const Case cases[] = {
      {"0.5", ratio(1, 2)},
      {"+.5", ratio(1, 2)},
      {"5.", ratio(5, 1)},
      {"-0.25", ratio(-1, 4)},
      {"000.100", ratio(1, 10)},
      {"1e-3", ratio(1, 1000)},
      {"1E+2", ratio(100, 1)},
      {"2.5e1", ratio(25, 1)},
      {"0e99999999999999999999", ratio(0, 1)},
      {"1e-1000000", powerOfTen(-1000000)},
      {"10e-1000001", powerOfTen(-1000000)},  // its trailing zero moves into the exponent
      {"1e-1000001", std::nullopt},           // a million and one decimals
      {"1e1000001", std::nullopt},
      {"", std::nullopt},
      {".", std::nullopt},
      {"e5", std::nullopt},
      {"1e", std::nullopt},
      {"1e+", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"1..2", std::nullopt},
      {"--1", std::nullopt},
      {"0x10", std::nullopt},
      {"inf", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    const std::optional<mpq_class> value = parseDecimal(c.text);
    ASSERT_EQ(value.has_value(), c.value.has_value());
    if (value) {
      EXPECT_EQ(*value, *c.value);
    }
  }
}

// Every rational with a finite decimal expansion, written with as many
// decimals as it has, reads back as itself.
TEST(Decimal, RoundTripOfExactDecimals) {
  std::mt19937 random(20261210);
  std::uniform_int_distribution<long> numerator(-1000000000, 1000000000);
  std::uniform_int_distribution<int> power(0, 30);
  for (int i = 0; i < 2000; ++i) {
    const int twos = power(random), fives = power(random);
    mpz_class denominator = 1;
    denominator <<= static_cast<mp_bitcnt_t>(twos);
    for (int f = 0; f < fives; ++f) denominator *= 5;
    mpq_class value(numerator(random), denominator);
    value.canonicalize();
    const int decimals = std::max({twos, fives, 1});
    for (const Rounding rounding : {Rounding::down, Rounding::up, Rounding::nearest}) {
      const std::string text = formatFixed(value, decimals, rounding);
      const std::optional<mpq_class> back = parseDecimal(text);
      ASSERT_TRUE(back.has_value()) << text;
      EXPECT_EQ(*back, value) << text;
    }
  }
}

}  // namespace
