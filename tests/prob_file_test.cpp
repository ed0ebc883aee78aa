// The reader of probability files: what it keeps of each line, and which lines.

#include "lines/prob_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace intersections {
void PrintTo(const UnitInterval& interval, std::ostream* out) {
  *out << "[" << interval.low << ", " << interval.high << "]";
}
}  // namespace intersections

namespace {

using namespace intersections;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(ProbFile, PicksTheLinesAskedForOnceTheNextOrderBegins) {
  // Four events: orders of 4 and 6 lines, then order 3 of 4 lines, asked for
  // at places 0 and 3 (the last in the slow form "00.x").
  std::string lines;
  for (int i = 1; i <= 10; ++i)
    lines += (i < 10 ? "0.0" : "0.") + std::to_string(i) + "0000000\r\n";
  const std::string third = "0.001000000\r\n0.002000000\r\n0.003000000\r\n00.004000000\r\n";
  struct Case {
    std::string content;
    int calls;                          // of the picker
    std::vector<std::uint32_t> picked;  // in units
  };
  const Case cases[] = {
      {lines + third, 1, {1000000, 4000000}},
      {lines, 0, {}},                        // no order 3: nothing asked
      {lines + third.substr(0, 26), 1, {}},  // order 3 cut short: nothing kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    TempDir dir;
    const std::string path = (dir.path / "prob.txt").string();
    writeFile(path, c.content);
    int calls = 0;
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(descriptor, 0);
    const ProbFile file =
        readProbFile(descriptor, "prob.txt", 4, {2, [&](const Observations& seen) {
                                                   ++calls;
                                                   EXPECT_EQ(seen.lines.size(), 2u);
                                                   return std::vector<std::uint64_t>{0, 3};
                                                 }});
    ::close(descriptor);
    EXPECT_EQ(calls, c.calls);
    std::vector<std::uint32_t> picked;
    for (std::size_t t = 0; t < file.observations.picked.size(); ++t)
      picked.push_back(file.observations.picked[t].low + 1);
    EXPECT_EQ(picked, c.picked);
    EXPECT_EQ(file.observations.pickedPlaces.size(), c.picked.size());
  }
}

// Each line stands for the values within one unit of it, cut to [0, 1]: the
// sums of each order add the ends, and the lines of orders 1 and 2 are kept
// as those intervals, whichever path reads the line.
TEST(ProbFile, ReadsEachLineAsTheIntervalOneUnitAroundIt) {
  constexpr std::uint32_t one = unitsPerOne, half = unitsPerOne / 2;
  const std::vector<UnitInterval> kept = {{one - 1, one}, {0, 1}, {half - 1, half + 1}};
  struct Case {
    const char* name;
    std::string file;  // lines 1, 0 and 1/2 of two events
  };
  const Case cases[] = {
      {"lines of 13 bytes", "1.000000000\r\n0.000000000\r\n0.500000000\r\n"},
      {"longer lines", "01.000000000\r\n00.000000000\r\n00.500000000\r\n"},
  };
  TempDir dir;
  const std::string path = (dir.path / "prob.txt").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path, c.file);
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(descriptor, 0);
    const ProbFile file = readProbFile(descriptor, "prob.txt", 2);
    ::close(descriptor);
    const Observations& seen = file.observations;
    ASSERT_EQ(seen.orders.size(), 2u);
    EXPECT_EQ(seen.orders[0].value, one);
    EXPECT_EQ(seen.orders[0].low, one - 1);
    EXPECT_EQ(seen.orders[0].high, one + 1);
    EXPECT_EQ(seen.orders[1].value, half);
    EXPECT_EQ(seen.orders[1].low, half - 1);
    EXPECT_EQ(seen.orders[1].high, half + 1);
    ASSERT_EQ(seen.lines.size(), 2u);
    ASSERT_EQ(seen.lines[0].size(), 2u);
    ASSERT_EQ(seen.lines[1].size(), 1u);
    EXPECT_EQ(seen.lines[0][0], kept[0]);
    EXPECT_EQ(seen.lines[0][1], kept[1]);
    EXPECT_EQ(seen.lines[1][0], kept[2]);
  }
}

}  // namespace
