// The study's summary figures on rows made by hand: the smallest, mean,
// median and largest distance of each bound, how often it was the closest of
// its side, and that none of it depends on the order of the instances.

#include "study/summary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace intersections;

// The row of an instance of n = 2, m = 1 with P = 0.5 and the true
// probability 0.5: the sharp bounds and the Boolean ones as given.
std::string row(int second, const std::string& lower, const std::string& upper,
                const std::string& booleanLower, const std::string& booleanUpper) {
  // A bound with twelve decimals, as a study writes it.
  const auto bound = [](const std::string& text) {
    return text + std::string(14 - text.size(), '0');
  };
  return "2,40,0.5,1,1,default,15000,,2n," + std::to_string(second) +
         ",0.5,1,0.900000000,0.900000000," + bound(lower) + "," + bound(upper) + ",,,,,," +
         bound(booleanLower) + "," + bound(booleanUpper) + ",1";
}

std::string csvOf(const std::vector<std::string>& rows) {
  GridSummary summary;
  for (const std::string& text : rows) summary.add(parseInstancesRow(text));
  summary.finish();
  std::ostringstream out;
  summary.writeCsv(out);
  return out.str();
}

// The figures of `bound` in a summary CSV: what follows its side.
std::string figures(const std::string& csv, const std::string& bound) {
  const std::string key = ",1," + bound + ",";
  const std::size_t at = csv.find(key);
  if (at == std::string::npos) return "";
  const std::size_t side = csv.find(',', at + key.size());
  return csv.substr(side + 1, csv.find('\n', at) - side - 1);
}

TEST(StudySummary, FiguresOfEachBound) {
  const std::vector<std::string> rows = {
      // second   lower  upper  boolean_lower  boolean_upper
      row(10, "0.4", "0.6", "0.45", "0.6"),  // upper ties boolean_upper
      row(11, "0.3", "0.7", "0.3", "0.55"),  // lower ties boolean_lower
      row(12, "0.2", "0.8", "0.49", "0.51"),
      row(13, "0.1", "0.9", "0.49", "0.51"),
  };
  const std::string csv = csvOf(rows);
  struct Case {
    const char* bound;
    const char* figures;
  };
  // Each line's figures after its side: instances, smallest, mean, median,
  // largest, tightest; then the gap to the Boolean bound of its side:
  // smallest, mean, median, largest, best; then not_optimal.
  const Case cases[] = {
      // distances 0.1, 0.2, 0.3, 0.4: an even count, the median between the
      // middle two; the only classical bound of its side, always the
      // tightest; gaps 0.05, 0, 0.29, 0.39, reaching the best once
      {"lower",
       "4,0.100000000000,0.250000000000,0.250000000000,0.400000000000,4,"
       "0.000000000000,0.182500000000,0.170000000000,0.390000000000,1,"},
      {"upper",
       "4,0.100000000000,0.250000000000,0.250000000000,0.400000000000,4,"
       "0.000000000000,0.207500000000,0.220000000000,0.390000000000,1,"},
      // the reference: no tightest, no gap, and none of them stopped short
      {"boolean_lower", "4,0.010000000000,0.067500000000,0.030000000000,0.200000000000,,,,,,,0"},
      {"boolean_upper", "4,0.010000000000,0.042500000000,0.030000000000,0.100000000000,,,,,,,0"},
      // 0.9 - 0.5 each time, and never "tightest": it is not rigorous
      {"bonferroni",
       "4,0.400000000000,0.400000000000,0.400000000000,0.400000000000,,"
       "0.300000000000,0.357500000000,0.370000000000,0.390000000000,0,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bound);
    EXPECT_EQ(figures(csv, c.bound), c.figures);
  }
  // An odd count: the middle one.
  EXPECT_EQ(figures(csvOf({rows[0], rows[1], rows[3]}), "lower"),
            "3,0.100000000000,0.233333333333,0.200000000000,0.400000000000,3,"
            "0.000000000000,0.146666666667,0.050000000000,0.390000000000,1,");
}

TEST(StudySummary, TheOrderOfTheInstancesDoesNotMatter) {
  std::vector<std::string> rows;
  for (int second = 0; second < 7; ++second) {
    const std::string low = "0." + std::to_string(second + 1);
    const std::string high = "0." + std::to_string(9 - (second * 3) % 4);
    rows.push_back(row(second, low, high, low, high));
  }
  const std::string csv = csvOf(rows);
  std::vector<std::string> shuffled = rows;
  std::reverse(shuffled.begin(), shuffled.end());
  std::rotate(shuffled.begin(), shuffled.begin() + 3, shuffled.end());
  EXPECT_EQ(csvOf(shuffled), csv);
}

TEST(StudySummary, ABoundOnTheWrongSideIsNamed) {
  StudySummary summary;
  const std::vector<std::string> messages =
      summary.add(parseInstancesRow(row(5, "0.6", "0.4", "0.5", "0.5")));
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "second 5: the true probability 0.5 lies below the lower bound of "
                          "order 1 (0.600000000000)",
                          "second 5: the true probability 0.5 lies above the upper bound of "
                          "order 1 (0.400000000000)"}));
}

}  // namespace
