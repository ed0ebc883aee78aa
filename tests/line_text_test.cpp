// The one parser of a line's text: the 13-byte lines intersections writes,
// read eight digits at a time, and every other form a line may take.

#include "lines/line_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>

namespace {

using namespace intersections;

TEST(LineText, ProbabilityLinesOfThirteenBytes) {
  struct Case {
    const char* line;
    std::int64_t value;  // -1: not such a line
  };
  const Case cases[] = {
      {"0.000000000\r\n", 0},         {"0.062500000\r\n", 62500000},
      {"0.999999999\r\n", 999999999}, {"1.000000000\r\n", 1000000000},
      {"0.123456789\r\n", 123456789}, {"1.000000001\r\n", -1},  // above 1
      {"2.000000000\r\n", -1},        {"0,500000000\r\n", -1},
      {"0.5000000a0\r\n", -1},        {"0.50000000:\r\n", -1},  // ':' follows '9'
      {"0.500000000\n\n", -1},        {"0.500000000\r\r", -1},
      {"-.500000000\r\n", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(probabilityLineValue(c.line), c.value);
  }
  // Every value agrees with the slow reading of the same text.
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> units(0, unitsPerOne);
  for (int i = 0; i < 20000; ++i) {
    const std::uint32_t value = i < 2 ? static_cast<std::uint32_t>(i) * unitsPerOne : units(random);
    char line[32];
    std::snprintf(line, sizeof line, "%u.%09u\r\n", value / unitsPerOne, value % unitsPerOne);
    ASSERT_EQ(probabilityLineValue(line), value) << line;
    const LineReading slow = readLineText(line, line + 11);
    EXPECT_EQ(slow.value, value);
    EXPECT_EQ(slow.interval, oneUnitAround(value)) << line;
  }
}

TEST(LineText, EachFormStandsForAnInterval) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> halfWidth;
    std::uint32_t value, low, high;
  };
  constexpr std::uint32_t one = unitsPerOne;
  const Case cases[] = {
      // text               half-width     value        low         high
      {"0.5", std::nullopt, 500000000, 400000000, 600000000},  // one unit of the last decimal
      {"0.50", std::nullopt, 500000000, 490000000, 510000000},
      {"1", std::nullopt, one, 0, one},  // cut to [0, 1]
      {"0", std::nullopt, 0, 0, one},
      {"00.000000001", std::nullopt, 1, 0, 2},
      {"0.0000000004", std::nullopt, 0, 0, 1},  // beyond nine decimals
      {"0.0000000015", std::nullopt, 2, 1, 2},  // rounded half up, outwards ends
      {"0.1234567891", std::nullopt, 123456789, 123456789, 123456790},
      {"0.1234567890", std::nullopt, 123456789, 123456788, 123456790},
      {"0.500000000", 0u, 500000000, 500000000, 500000000},  // --delta 0: the value itself
      {"0.500000000", 1000u, 500000000, 499999000, 500001000},
      {"0.5000000001", 0u, 500000000, 500000000, 500000001},
      {"1.000000000", 5u, one, one - 5, one},
      {"0.000000003", 5u, 3, 0, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + (c.halfWidth ? " +- " + std::to_string(*c.halfWidth) : ""));
    const std::string text = c.text;
    const LineReading reading = readLineText(text.data(), text.data() + text.size(), c.halfWidth);
    EXPECT_EQ(reading.value, c.value);
    EXPECT_EQ(reading.interval.low, c.low);
    EXPECT_EQ(reading.interval.high, c.high);
  }
}

TEST(LineText, RefusesWhatIsNoProbability) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"1e-05", "\"1e-05\" is not a number in fixed notation"},
      {"0.", "\"0.\" is not a number in fixed notation"},
      {".5", "\".5\" is not a number in fixed notation"},
      {"", "\"\" is not a number in fixed notation"},
      {"0.5\t", "\"0.5\\x09\" is not a number in fixed notation"},
      {std::string(50, '7') + "x",
       "\"" + std::string(40, '7') + "...\" is not a number in fixed notation"},
      {"1.0000000001", "1.0000000001 is not a probability"},
      {"-0.000000000", "-0.000000000 is not a probability"},
      {"-1", "-1 is not a probability"},
      {"10", "10 is not a probability"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      readLineText(c.text.data(), c.text.data() + c.text.size());
      ADD_FAILURE() << "read as a probability";
    } catch (const LineTextError& error) {
      EXPECT_EQ(error.what(), c.message);
    }
  }
  EXPECT_TRUE(startsLineText("0.12", "0.12" + 4));
  EXPECT_TRUE(startsLineText("0.", "0." + 2));
  EXPECT_TRUE(startsLineText("1\r", "1\r" + 2));
  EXPECT_FALSE(startsLineText("0.\r", "0.\r" + 3));
  EXPECT_FALSE(startsLineText("0x", "0x" + 2));
}

}  // namespace
