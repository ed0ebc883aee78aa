#include "evaluation/number_format.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/reference_format.h"

namespace intersections {
namespace {

using testing_support::LeadingDigits;
using testing_support::leadingDigits;
using testing_support::referenceFormat;
using testing_support::referenceText;
using testing_support::referenceTextRoom;

std::string hex(double value) {
  std::ostringstream text;
  text << std::hexfloat << value;
  return text.str();
}

// ---------------------------------------------------------------------------
// Table of known texts. Each row is also checked against the reference
// formatter, so a fault in the reference shows up here first.
// ---------------------------------------------------------------------------

TEST(ProbabilityFormat, KnownTexts) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double largest = std::numeric_limits<double>::max();
  const std::string largestText = "17976931348623157" + std::string(292, '0') + ".000000000";
  volatile double fifth = 0.2;  // kept out of constant folding: three additions
  const double threeFifths = fifth + fifth + fifth;
  double sixSixths = 0.0;
  for (int i = 0; i < 6; ++i) sixSixths += 1.0 / 6.0;

  struct Case {
    double value;
    std::string text;
  };
  const Case cases[] = {
      {1.0 / 1024, "0.000976563"},  // exact half at the tenth decimal
      {5.0 / 1024, "0.004882813"},
      {100000000.0 + 1.0 / 1024, "100000000.000976560"},  // the 5 falls past digit 17
      {10000000.0 + 5.0 / 1024, "10000000.004882813"},    // 18th digit exactly 5
      {100000000.0 + 5.0 / 1024, "100000000.004882810"},
      {-1e-300, "-0.000000000"},
      {-std::numeric_limits<double>::denorm_min(), "-0.000000000"},
      {-0.0, "-0.000000000"},
      {0.0625, "0.062500000"},
      {0.0, "0.000000000"},
      {1.0, "1.000000000"},
      {-0.25, "-0.250000000"},
      {inf, "inf"},
      {-inf, "-inf"},
      {nan, "nan"},
      {-nan, "nan"},
      {threeFifths, "0.600000000"},  // 0.60000000000000008881...
      {sixSixths, "1.000000000"},    // 0.99999999999999988898...
      {std::numeric_limits<double>::denorm_min(), "0.000000000"},
      {0x1.12e0be826d695p-31, "0.000000001"},  // 5e-10 = 5.00000000000000031...e-10
      {0x1.12e0be826d694p-31, "0.000000000"},  // 4.99999999999999927...e-10
      {0x1.fffffffbb47d0p-1, "0.999999999"},   // 0.99999999949999995863
      {0x1.fffffffbb47d1p-1, "1.000000000"},   // 0.99999999950000006965
      // 9.99999999949999995863: 17 digits give 9.9999999995000000, which
      // then rounds up into a new leading digit.
      {0x1.3fffffffbb47dp+3, "10.000000000"},
      {0x1.3fffffffbb47cp+3, "9.999999999"},
      {0x1.dcd64ffffffffp+29, "999999999.999999880"},
      {1e9, "1000000000.000000000"},
      {123456789012345.625, "123456789012345.630000000"},       // 18th digit exactly 5
      {0x1.6345785d8a001p+56, "100000000000000020.000000000"},  // 100000000000000016
      {0x1.1c37937e08001p+53, "10000000000000002.000000000"},
      {0x1.78c29df9add3cp+23, "12345678.987654321"},  // 12345678.98765432089...
      {largest, largestText},
      {-largest, "-" + largestText},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatProbability(c.value), c.text) << hex(c.value);
    EXPECT_EQ(referenceText(c.value), c.text) << "reference formatter, " << hex(c.value);
  }
}

TEST(ProbabilityFormat, WriteProbabilityFillsExactlyTheReturnedLength) {
  // The longest text is the negative largest double; it must fit in
  // maxProbabilityLength, and nothing past the returned length is written.
  for (double value : {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                       -0.0, 0.5, -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN(), 123456789.123456789}) {
    std::vector<char> buffer(maxProbabilityLength + 8, '#');
    const std::size_t length = writeProbability(value, buffer.data());
    ASSERT_LE(length, maxProbabilityLength) << hex(value);
    EXPECT_EQ(std::string(buffer.data(), length), referenceText(value)) << hex(value);
    EXPECT_EQ(std::string(buffer.data() + length, buffer.size() - length),
              std::string(buffer.size() - length, '#'))
        << "bytes written past the returned length for " << hex(value);
  }
  char buffer[maxProbabilityLength];
  EXPECT_EQ(writeProbability(-std::numeric_limits<double>::max(), buffer), maxProbabilityLength);
}

// ---------------------------------------------------------------------------
// Differential comparison against the reference.
// ---------------------------------------------------------------------------

// The random comparisons run in full under the CTest label long (the test
// suites named ...Long); the default run, and the one under the sanitizers,
// take a tenth of their values.
constexpr std::size_t fullRun = 1, defaultRun = 10;

class Comparison {
 public:
  // Exactly maxProbabilityLength bytes on the heap, so that AddressSanitizer
  // sees any write past the documented bound.
  Comparison() : actual_(new char[maxProbabilityLength]) {}

  bool stopped() const { return mismatches_ >= maxMismatches; }
  std::size_t compared() const { return compared_; }

  void check(double value) {
    if (stopped()) return;
    ++compared_;
    char expected[referenceTextRoom];
    const std::size_t expectedLength = referenceFormat(value, expected);
    const std::size_t actualLength = writeProbability(value, actual_.get());
    if (actualLength != expectedLength ||
        std::memcmp(expected, actual_.get(), expectedLength) != 0) {
      ++mismatches_;
      ADD_FAILURE() << "value " << hex(value) << ": expected "
                    << std::string(expected, expectedLength) << ", got "
                    << std::string(actual_.get(), actualLength > maxProbabilityLength
                                                      ? maxProbabilityLength
                                                      : actualLength);
    }
  }

  // The value, its negation and `steps` neighbours on each side.
  void checkAround(double value, int steps) {
    double below = value;
    double above = value;
    check(value);
    check(-value);
    for (int i = 0; i < steps; ++i) {
      below = std::nextafter(below, -std::numeric_limits<double>::infinity());
      above = std::nextafter(above, std::numeric_limits<double>::infinity());
      check(below);
      check(above);
      check(-below);
      check(-above);
    }
  }

 private:
  static constexpr int maxMismatches = 5;
  std::unique_ptr<char[]> actual_;
  std::size_t compared_ = 0;
  int mismatches_ = 0;
};

double randomSign(std::mt19937_64& random, double value) { return random() & 1 ? -value : value; }

void report(const char* name, std::size_t count) {
  ::testing::Test::RecordProperty("compared", std::to_string(count));
  std::cout << "[ compared ] " << name << ": " << count << " values\n";
}

void compareOnRandomDoubles(std::size_t randomScale) {
  std::mt19937_64 random(20240611);
  Comparison comparison;

  // Any bit pattern: every exponent, subnormals, both signs, infinities and NaNs.
  for (std::size_t i = 0; i < 1000000 / randomScale && !comparison.stopped(); ++i) {
    comparison.check(std::bit_cast<double>(random()));
  }
  // Random significands with binary exponents from 2^-45 to 2^60, where both
  // roundings matter.
  std::uniform_int_distribution<int> binaryExponent(-45, 60);
  for (std::size_t i = 0; i < 1000000 / randomScale && !comparison.stopped(); ++i) {
    const std::uint64_t significand = (random() >> 11) | (std::uint64_t{1} << 52);
    comparison.check(randomSign(
        random, std::ldexp(static_cast<double>(significand), binaryExponent(random) - 52)));
  }
  // Uniform in [0, 10^c) for c = 0 .. 9.
  std::uniform_int_distribution<int> decade(0, 9);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (std::size_t i = 0; i < 600000 / randomScale && !comparison.stopped(); ++i) {
    comparison.check(randomSign(random, unit(random) * std::pow(10.0, decade(random))));
  }
  // An integer part below 10^9 plus a short binary fraction: exact halves
  // and other short expansions.
  std::uniform_int_distribution<std::uint64_t> integerPart(0, 999999999);
  std::uniform_int_distribution<int> fractionBits(1, 40);
  for (std::size_t i = 0; i < 300000 / randomScale && !comparison.stopped(); ++i) {
    const int bits = fractionBits(random);
    const double fraction = std::ldexp(static_cast<double>(random() >> (64 - bits)), -bits);
    const double whole = static_cast<double>(integerPart(random) >> (random() % 30));
    comparison.check(randomSign(random, whole + fraction));
  }
  // Typical probabilities: running sums of equal weights P / (2n), as the
  // evaluator builds them, and of random weights.
  std::uniform_int_distribution<int> events(1, 1000);
  for (std::size_t i = 0; i < 200 / randomScale && !comparison.stopped(); ++i) {
    const int n = events(random);
    const double P = i % 4 == 0   ? 1.0
                     : i % 4 == 1 ? unit(random)
                     : i % 4 == 2 ? unit(random) * 2 - 1
                                  : unit(random) * 1e9;
    const double weight = P / (2.0 * n);
    double sum = 0.0;
    for (int k = 0; k <= 2 * n; ++k) {
      comparison.check(sum);
      sum += weight;
    }
  }
  for (std::size_t i = 0; i < 1000 / randomScale && !comparison.stopped(); ++i) {
    double sum = 0.0;
    const double scale = std::pow(10.0, decade(random) - 6);
    for (int k = 0; k < 300; ++k) {
      sum += unit(random) * scale;
      comparison.check(sum);
    }
  }
  // Decimal halves of the ninth decimal: the doubles nearest to
  // I + (2j + 1) / 2000000000 and three neighbours on each side.
  std::uniform_int_distribution<std::uint64_t> halfIndex(0, 999999999);
  for (std::size_t i = 0; i < 100000 / randomScale && !comparison.stopped(); ++i) {
    const double half = static_cast<double>(2 * halfIndex(random) + 1) / 2000000000.0;
    const double whole = static_cast<double>(
        integerPart(random) / static_cast<std::uint64_t>(std::pow(10.0, decade(random))));
    comparison.checkAround(whole + half, 3);
  }
  report("random doubles", comparison.compared());
  EXPECT_GT(comparison.compared(), 4000000 / randomScale);
}
TEST(ProbabilityFormat, MatchesReferenceOnRandomDoubles) { compareOnRandomDoubles(defaultRun); }
TEST(ProbabilityFormatLong, MatchesReferenceOnRandomDoubles) { compareOnRandomDoubles(fullRun); }

TEST(ProbabilityFormat, MatchesReferenceOnBoundaries) {
  Comparison comparison;
  const double inf = std::numeric_limits<double>::infinity();

  // Exact halves at the tenth decimal: odd multiples of 1/1024, alone and
  // behind integer parts of every length up to ten digits.
  for (double whole :
       {0.0, 1.0, 7.0, 12345.0, 999999.0, 1e7, 99999999.0, 1e8, 123456789.0, 999999999.0, 1e9}) {
    for (int k = 1; k < 1024; k += 2) comparison.checkAround(whole + k / 1024.0, 3);
  }
  // Other dyadic fractions k / 2^p.
  for (int p = 1; p <= 64; ++p) {
    for (int k = 1; k < 200; k += 2) comparison.checkAround(std::ldexp(k, -p), 2);
  }
  // Powers of ten over the whole range, and carries across them.
  for (int e = -323; e <= 308; ++e)
    comparison.checkAround(std::strtod(("1e" + std::to_string(e)).c_str(), nullptr), 20);
  for (double value : {1e7, 1e8, 1e16, 1e17}) comparison.checkAround(value, 2000);
  for (double step = 1; step <= 64; step *= 2) {
    for (int k = -300; k <= 300; ++k) {
      comparison.check(1e16 + k * step);
      comparison.check(1e17 + k * step * 16);
    }
  }
  // 5e-10 and the cut at the ninth decimal in general.
  for (double value : {5e-10, 1e-9, 1.5e-9, 4.5e-9, 9.5e-9, 5e-11, 5e-9, 0.5, 0.05}) {
    comparison.checkAround(value, 200);
  }
  // Carry chains: 9...9.9999999995 and 0.9999999995 for every integer length.
  for (const char* text :
       {"0.9999999995", "9.9999999995", "99.9999999995", "999.9999999995", "9999.9999999995",
        "99999.9999999995", "999999.9999999995", "9999999.9999999995", "99999999.9999999995",
        "999999999.9999999995", "0.0999999999500", "0.00999999995", "0.0000000095",
        "0.9999999994999999999", "0.99999999950000000001", "99999999999999999.5",
        "9999999999999999.5", "99999999999999995"}) {
    comparison.checkAround(std::strtod(text, nullptr), 50);
  }
  // The ends of the range.
  const double largest = std::numeric_limits<double>::max();
  comparison.checkAround(largest, 100);
  comparison.checkAround(std::numeric_limits<double>::min(), 100);  // smallest normal
  comparison.checkAround(std::numeric_limits<double>::denorm_min(), 100);
  for (double value :
       {0.0, -0.0, inf, -inf, std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::signaling_NaN(),
        std::bit_cast<double>(std::uint64_t{0xfff0000000000001}), std::nextafter(inf, 0.0),
        std::nextafter(-inf, 0.0)}) {
    comparison.check(value);
  }
  report("boundary values", comparison.compared());
  EXPECT_GT(comparison.compared(), 100000u);
}

// Doubles whose exact expansion has exactly 18 significant digits, the last a
// 5: M / 2^k with M odd and M * 5^k of 18 digits. The first rounding then
// meets a tie, which goes up.
void compareWhenThe18thDigitIsExactlyFive(std::size_t randomScale) {
  std::mt19937_64 random(7);
  Comparison comparison;
  std::size_t ties = 0;
  std::uniform_int_distribution<int> power(2, 25);
  for (std::size_t i = 0; i < 200000 / randomScale && !comparison.stopped(); ++i) {
    const int k = power(random);
    double fivePower = 1;
    for (int j = 0; j < k; ++j) fivePower *= 5;
    // M in [10^17 / 5^k, min(10^18 / 5^k, 2^53)).
    const auto low = static_cast<std::uint64_t>(std::ceil(1e17 / fivePower));
    const auto high = static_cast<std::uint64_t>(std::min(1e18 / fivePower, 9007199254740992.0));
    if (high <= low + 1) continue;
    std::uint64_t M = std::uniform_int_distribution<std::uint64_t>(low, high - 1)(random) | 1;
    if (M >= high) M -= 2;
    if (M < low) continue;
    const double value = std::ldexp(static_cast<double>(M), -k);
    const LeadingDigits digits = leadingDigits(value, 40);
    bool tie = digits.digit[17] == 5;
    for (std::size_t j = 18; j < 40; ++j) tie = tie && digits.digit[j] == 0;
    if (tie) ++ties;
    comparison.checkAround(value, 1);
  }
  report("18th digit 5", comparison.compared());
  // The construction must really produce ties, or this test checks nothing new.
  EXPECT_GT(ties, 100000 / randomScale);
}
TEST(ProbabilityFormat, MatchesReferenceWhenThe18thDigitIsExactlyFive) {
  compareWhenThe18thDigitIsExactlyFive(defaultRun);
}
TEST(ProbabilityFormatLong, MatchesReferenceWhenThe18thDigitIsExactlyFive) {
  compareWhenThe18thDigitIsExactlyFive(fullRun);
}

// Modular arithmetic for the construction below; moduli stay below 2^53, so
// additions never overflow.
std::uint64_t mulMod(std::uint64_t a, std::uint64_t b, std::uint64_t modulus) {
  std::uint64_t result = 0;
  a %= modulus;
  for (; b != 0; b >>= 1) {
    if (b & 1) result = (result + a) % modulus;
    a = (a + a) % modulus;
  }
  return result;
}

std::uint64_t powMod(std::uint64_t base, int exponent, std::uint64_t modulus) {
  std::uint64_t result = 1 % modulus;
  for (; exponent > 0; --exponent) result = mulMod(result, base, modulus);
  return result;
}

// Doubles whose digits 19, 20, ... are a long run of 9s (or of 0s), where a
// formatter that rounds at more than 18 digits, or reads rounded digits, goes
// wrong. With q digits after the 18th:
//   large x = M * 2^e: x = -2^q t (mod 10^q), so the last q digits are
//     10^q - 2^q t, a run of 9s (t > 0), or 2^q |t| after 0s (t < 0);
//   small x = M * 2^-k: M * 5^k = -5^q t (mod 10^q), likewise.
// Only the candidates with exactly 18 + q digits are kept.
void compareOnRunsOfNinesAndZerosAfterThe18thDigit(std::size_t randomScale) {
  Comparison comparison;
  std::size_t nineRuns = 0;
  std::size_t zeroRuns = 0;
  std::size_t fourThenNines = 0;
  const std::uint64_t two52 = std::uint64_t{1} << 52;
  auto consider = [&](double value, int q) {
    const LeadingDigits digits = leadingDigits(value, 30);
    if (digits.exponent + 1 != 18 + q) return;
    std::size_t nines = 0, zeros = 0;
    while (18 + nines < 30 && digits.digit[18 + nines] == 9) ++nines;
    while (18 + zeros < 30 && digits.digit[18 + zeros] == 0) ++zeros;
    if (nines >= 5) ++nineRuns;
    if (zeros >= 5) ++zeroRuns;
    if (nines >= 5 && digits.digit[17] == 4) ++fourThenNines;
    comparison.checkAround(value, 1);
  };
  // A stride through t that stays varied when the sanitizer build thins it out.
  const int step = randomScale == 1 ? 1 : 7;
  // Large values: modulus 5^q (below 2^52 for q <= 22).
  for (int q = 8; q <= 22; ++q) {
    const std::uint64_t modulus = powMod(5, q, ~std::uint64_t{0});
    const std::uint64_t halfInverse = (modulus + 1) / 2;  // 1/2 mod 5^q
    for (int t = -300; t <= 300; t += step) {
      if (t == 0) continue;
      const std::uint64_t magnitude = static_cast<std::uint64_t>(t < 0 ? -t : t) % modulus;
      std::uint64_t inverse = 1;  // (1/2)^(e - q) mod 5^q
      for (int e = q; e <= 4 * q + 20; ++e, inverse = mulMod(inverse, halfInverse, modulus)) {
        // M * 2^e has at least 0.301 (e + 52) + 1 digits and at most one more.
        const double leastDigits = 0.30103 * (e + 52) + 1;
        if (leastDigits < 16 + q || leastDigits > 19 + q) continue;
        const std::uint64_t product = mulMod(magnitude, inverse, modulus);
        const std::uint64_t residue = t > 0 ? (modulus - product) % modulus : product;
        // Every M = residue (mod 5^q) in [2^52, 2^53) qualifies; take a few, spread out.
        const std::uint64_t first = residue + (two52 - residue + modulus - 1) / modulus * modulus;
        const std::uint64_t count = first < 2 * two52 ? (2 * two52 - 1 - first) / modulus + 1 : 0;
        for (std::uint64_t j = 0; j < 4 && j < count; ++j) {
          const std::uint64_t M = first + (count - 1) * j / 3 * modulus;
          consider(std::ldexp(static_cast<double>(M), e), q);
        }
      }
    }
  }
  // Small values: modulus 2^q, q <= 52.
  std::uint64_t fiveInverse = 5;  // Newton's iteration for 1/5 mod 2^64
  for (int i = 0; i < 6; ++i) fiveInverse *= 2 - 5 * fiveInverse;
  for (int q = 20; q <= 52; ++q) {
    const std::uint64_t mask = (std::uint64_t{1} << q) - 1;
    for (int t = -300; t <= 300; t += step) {
      if (t == 0) continue;
      std::uint64_t inverse = 1;  // (1/5)^(k - q) mod 2^64
      for (int k = q; k <= 1074; ++k, inverse *= fiveInverse) {
        // M * 5^k has at least log10(2^52 5^k) + 1 digits and at most one more.
        const double leastDigits = 15.654 + 0.69897 * k + 1;
        if (leastDigits < 16 + q) continue;
        if (leastDigits > 19 + q) break;
        const std::uint64_t residue =
            (std::uint64_t{0} - static_cast<std::uint64_t>(t) * inverse) & mask;
        // Every M = 2^52 + residue + j 2^q below 2^53 qualifies; take a few.
        for (std::uint64_t j = 0; j < 4 && (j << q) < two52; ++j) {
          consider(std::ldexp(static_cast<double>(two52 + residue + (j << q)), -k), q);
        }
      }
    }
  }
  report("runs after the 18th digit", comparison.compared());
  std::cout << "[ compared ] runs of five or more: " << nineRuns << " of 9s (" << fourThenNines
            << " after a 4), " << zeroRuns << " of 0s\n";
  EXPECT_GT(nineRuns, 1000 / randomScale);
  EXPECT_GT(zeroRuns, 1000 / randomScale);
  EXPECT_GT(fourThenNines, 50 / randomScale);
}
TEST(ProbabilityFormat, MatchesReferenceOnRunsOfNinesAndZerosAfterThe18thDigit) {
  compareOnRunsOfNinesAndZerosAfterThe18thDigit(defaultRun);
}
TEST(ProbabilityFormatLong, MatchesReferenceOnRunsOfNinesAndZerosAfterThe18thDigit) {
  compareOnRunsOfNinesAndZerosAfterThe18thDigit(fullRun);
}

}  // namespace
}  // namespace intersections
