// union-bounds on files written by the evaluator, on a small file worked out
// by hand, on files it must refuse and on files cut short.

#include "bounds/union_bounds.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "evaluation/intersections.h"
#include "instance/random_instance.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "union_bounds/prob_file.h"
#include "union_bounds/run_union_bounds.h"

namespace intersections {
void PrintTo(const UnitInterval& interval, std::ostream* out) {
  *out << "[" << interval.low << ", " << interval.high << "]";
}
}  // namespace intersections

namespace {

using namespace intersections;
using testing_support::TempDir;
using testing_support::writeFile;

struct Outcome {
  int status;
  std::string out, err;
};

Outcome run(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = runUnionBounds(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(UnionBounds, BracketTheUnionOfRandomInstances) {
  struct Case {
    std::int32_t n, density;
    double P;
    std::int32_t m;
    unsigned seed;
  };
  const Case cases[] = {
      {1, 50, 0.3, 1, 1},    {2, 100, 1.0, 2, 2},  {4, 30, 0.8, 4, 3}, {6, 50, 1.0, 6, 4},
      {8, 10, 0.37, 8, 5},   {10, 70, 0.9, 10, 6}, {12, 5, 0.5, 3, 7}, {9, 100, 0.6, 9, 8},
      {14, 20, 0.75, 14, 9}, {40, 3, 0.99, 2, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n = " + std::to_string(c.n) + ", density " + std::to_string(c.density) +
                 ", m = " + std::to_string(c.m));
    std::srand(c.seed);
    const DoubleSequence weights = makeWeights(c.n, c.P);
    TempDir dir;
    const std::string path = (dir.path / "prob.txt").string();
    writeIntersectionProbabilitiesTo(path, c.m, weights, generateEventMatrix(c.n, c.density));
    // Every outcome has an event, so the union has all the weight.
    const mpq_class P = mpq_class(weights.front()) * static_cast<long>(weights.size());

    const int descriptor = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(descriptor, 0);
    const ProbFile file = readProbFile(descriptor, "prob.txt", c.n);
    ::close(descriptor);
    const std::vector<OrderBounds> rows = unionBounds(file.observations);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.m));
    for (const OrderBounds& row : rows) {
      EXPECT_LE(row.lower, P) << "order " << row.order;
      EXPECT_GE(row.upper, P) << "order " << row.order;
      if (row.order == 1) continue;
      EXPECT_LE(*row.deCaen, P) << "order " << row.order;
      EXPECT_GE(*row.hunterWorsley, P) << "order " << row.order;
    }
    if (c.m == c.n) {
      // All orders pin the union down to the rounding of the 2^n - 1 lines.
      const mpq_class slack(mpz_class(1) << c.n, mpz_class(1000000000));
      EXPECT_LE(P - rows.back().lower, slack);
      EXPECT_LE(rows.back().upper - P, slack);
    }
  }
}

TEST(UnionBounds, CsvOfASmallFileWorkedOutByHand) {
  const std::string header = "order,S,bonferroni,lower,upper,hunter_worsley,de_caen\n";
  // A certain event and an impossible one: a_1 in [1 - e, 1], a_2 and b_12 in
  // [0, e], e = 10^-9, so S_1 in [1 - e, 1 + e] and S_2 in [0, e]. Order 1:
  // lower S_1 low / 2, upper 1; order 2: the union S_1 - S_2 is at least
  // 1 - 2e, Hunter-Worsley 1 + e - 0, de Caen (1 - e)^2 / (1 + e) =
  // 0.99999999700000000299... (a_2 can be 0 and has no term).
  const std::string certainAndNever =
      header +
      "1,1.000000000,1.000000000,0.499999999500,1.000000000000,,\n"
      "2,0.000000000,1.000000000,0.999999998000,1.000000000000,1.000000001000,0.999999997000\n";
  struct Case {
    const char* name;
    std::string file;
    std::string csv;
  };
  const Case cases[] = {
      // a_1 = 1/2, a_2 = 1/4, b_12 = 1/8, each true value within 10^-9 of
      // these: order 1: lower (S_1 - 2e-9)/2, upper S_1 + 2e-9; order 2: v_2 =
      // S_2, so the union v_1 + v_2 = S_1 - S_2 to within 3e-9, and
      // Hunter-Worsley gives the same upper bound; de Caen 0.499999999^2 /
      // 0.625000002 + 0.249999999^2 / 0.375000002 = 0.56666666156444...
      {"halves and quarters", "0.500000000\r\n0.250000000\r\n0.125000000\r\n",
       header + "1,0.750000000,0.750000000,0.374999999000,0.750000002000,,\n"
                "2,0.125000000,0.625000000,0.624999997000,0.625000003000,0.625000003000,"
                "0.566666661564\n"},
      // Lines of 13 bytes are added in blocks, others one by one: both must
      // widen a 0 only upwards and a 1 only downwards.
      {"1 and 0 in lines of 13 bytes", "1.000000000\r\n0.000000000\r\n0.000000000\r\n",
       certainAndNever},
      {"1 and 0 in longer lines", "01.000000000\r\n00.000000000\r\n00.000000000\r\n",
       certainAndNever},
  };
  TempDir dir;
  const std::string path = (dir.path / "two.txt").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path, c.file);
    const Outcome result = run({"--csv", "2", path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, c.csv);
  }

  // A known union probability above every upper bound: a warning for each.
  writeFile(path, cases[0].file);
  const Outcome warned = run({"--union", "0.9", "--csv", "2", path});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.out, cases[0].csv);
  EXPECT_EQ(
      warned.err,
      "union-bounds: warning: P = 0.9 lies above the upper bound of order 1 (0.750000002000)\n"
      "union-bounds: warning: P = 0.9 lies above the upper bound of order 2 (0.625000003000)\n"
      "union-bounds: warning: P = 0.9 lies above the hunter_worsley bound of order 2 "
      "(0.625000003000)\n");
}

// Each line stands for the values within one unit of it, cut to [0, 1]: the
// sums of each order add the ends, and the lines of orders 1 and 2 are kept
// as those intervals, whichever path reads the line.
TEST(UnionBounds, ReadsEachLineAsTheIntervalOneUnitAroundIt) {
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

TEST(UnionBounds, RefusesWhatIsNoFileOfProbabilities) {
  struct Case {
    const char* name;
    const char* content;            // nullptr: no file
    std::vector<std::string> args;  // "FILE" stands for the file's path
    int status;
    std::string message;  // the line on standard error, after "union-bounds: "
  };
  const Case cases[] = {
      {"no digits after the point",
       "0.500000000\r\n0.5\r\n0.1\r\n",
       {"2", "FILE"},
       1,
       "FILE:2: \"0.5\" is not a number with nine decimals"},
      {"a line without its CR",
       "0.500000000\n",
       {"1", "FILE"},
       1,
       "FILE:1: the line ends in LF alone, not CR LF"},
      {"a value above 1",
       "0.100000000\r\n1.250000000\r\n0.1\r\n",
       {"2", "FILE"},
       1,
       "FILE:2: 1.250000000 is not a probability"},
      {"a tiny negative value",
       "-0.000000000\r\n",
       {"1", "FILE"},
       1,
       "FILE:1: -0.000000000 is not a probability"},
      {"more lines than sets",
       "0.100000000\r\n0.100000000\r\n",
       {"1", "FILE"},
       1,
       "FILE:2: more lines than the 2^1 - 1 sets of 1 events; is N right?"},
      {"no lines", "", {"3", "FILE"}, 1, "FILE: the file has no lines"},
      {"fewer lines than events",
       "0.100000000\r\n0.200000000\r\n",
       {"5", "FILE"},
       1,
       "FILE: no complete order: order 1 stops after 2 of its 5 lines; is N right?"},
      {"moments no distribution has",
       "0.900000000\r\n0.900000000\r\n0.100000000\r\n",
       {"2", "FILE"},
       1,
       "FILE: the values of orders 1 to 2 fit no probability space of 2 events; is N right?"},
      {"no such file", nullptr, {"2", "FILE"}, 1, "cannot open FILE: No such file or directory"},
      {"no N", nullptr, {}, 2, "N, the number of events, is missing; try 'union-bounds --help'"},
      {"N of 0",
       nullptr,
       {"0"},
       2,
       "N must be a whole number from 1 to 1073741823, not \"0\"; try 'union-bounds --help'"},
      {"P above 1",
       nullptr,
       {"--union=1.5", "2"},
       2,
       "--union takes a probability, a decimal number from 0 to 1, not \"1.5\"; try 'union-bounds "
       "--help'"},
      {"an unknown option",
       nullptr,
       {"--cvs", "2"},
       2,
       "unknown option \"--cvs\"; try 'union-bounds --help'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = (dir.path / "prob.txt").string();
    if (c.content != nullptr) writeFile(path, c.content);
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
      if (arg == "FILE") arg = path;
    }
    std::string message = c.message;
    if (const auto at = message.find("FILE"); at != std::string::npos) message.replace(at, 4, path);
    const Outcome result = run(args);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "union-bounds: " + message + "\n");
  }
}

TEST(UnionBounds, UsesTheCompleteOrdersOfAFileCutShort) {
  // Three events: orders of 3, 3 and 1 lines.
  const std::string lines[] = {"0.500000000\r\n", "0.400000000\r\n", "0.300000000\r\n",
                               "0.200000000\r\n", "0.100000000\r\n", "0.100000000\r\n",
                               "0.050000000\r\n"};
  auto firstLines = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += lines[i];
    return text;
  };
  struct Case {
    std::string content;
    std::size_t rows;
    std::string message;  // after "union-bounds: FILE: "
  };
  const Case cases[] = {
      {firstLines(5), 1, "order 2 stops after 2 of its 3 lines; using order 1"},
      {firstLines(6) + "0.05", 2, "line 7 has no line end and is left out; using orders 1 to 2"},
      {firstLines(4) + "0.100000000\r", 1,
       "line 5 has no line end and is left out; order 2 stops after 1 of its 3 lines; using order "
       "1"},
      {firstLines(6), 2, ""},  // a run with m = 2: nothing to say
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    TempDir dir;
    const std::string path = (dir.path / "prob.txt").string();
    writeFile(path, c.content);
    const Outcome result = run({"--csv", "3", path});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err,
              c.message.empty() ? "" : "union-bounds: " + path + ": " + c.message + "\n");
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'),
              static_cast<long>(c.rows + 1));
  }
}

// The executable itself: its arguments reach the program, "-" reads standard
// input, and the status is the program's.
TEST(UnionBounds, TheExecutableReadsStandardInput) {
  const std::string file = "0.500000000\r\n0.250000000\r\n0.125000000\r\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {{"--csv", "2", "-"},
       0,
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen\n"
       "1,0.750000000,0.750000000,0.374999999000,0.750000002000,,\n"
       "2,0.125000000,0.625000000,0.624999997000,0.625000003000,0.625000003000,0.566666661564\n",
       ""},
      {{"--csv", "5", "-"},
       1,
       "",
       "union-bounds: standard input: no complete order: order 1 stops after 3 of its 5 lines; "
       "is N right?\n"},
      {{}, 2, "", "union-bounds: N, the number of events, is missing; try 'union-bounds --help'\n"},
  };
  for (const Case& c : cases) {
    const testing_support::ProgramResult result = testing_support::runProgram(
        {.program = testing_support::unionBoundsPath(), .args = c.args, .input = file});
    EXPECT_EQ(result.exitStatus, c.status);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
  }
}

}  // namespace
