// union-bounds on files written by the evaluator, on a small file worked out
// by hand, on files it must refuse and on files cut short.

#include "bounds/union_bounds.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "evaluation/intersections.h"
#include "instance/random_instance.h"
#include "support/temp_dir.h"
#include "union_bounds/prob_file.h"
#include "union_bounds/run_union_bounds.h"

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

TEST(UnionBounds, CsvOfSmallFilesWorkedOutByHand) {
  // a_1 = 1/2, a_2 = 1/4, b_12 = 1/8, each true value within h of these:
  // order 1: lower (S_1 - 2h)/2, upper S_1 + 2h; order 2: v_2 = S_2, so the
  // union v_1 + v_2 = S_1 - S_2 to within 3h, and Hunter-Worsley gives the
  // same upper bound; de Caen (1/2 - h)^2/(5/8 + 2h) + (1/4 - h)^2/(3/8 + 2h),
  // 0.56666666156444... for h = 10^-9. One value, n = 1: lower and upper are
  // the ends of its interval.
  const std::string header = "order,S,bonferroni,lower,upper,hunter_worsley,de_caen\n";
  const std::string nineDecimals =
      "1,0.750000000,0.750000000,0.374999999000,0.750000002000,,\n"
      "2,0.125000000,0.625000000,0.624999997000,0.625000003000,0.625000003000,0.566666661564\n";
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string content, csv;
  };
  const Case cases[] = {
      {"nine decimals, CR LF", {}, "0.500000000\r\n0.250000000\r\n0.125000000\r\n", nineDecimals},
      {"nine decimals, LF alone", {}, "0.500000000\n0.250000000\n0.125000000\n", nineDecimals},
      {"four decimals: h = 10^-4",
       {},
       "0.5000\n0.2500\n0.1250\n",
       "1,0.750000000,0.750000000,0.374900000000,0.750200000000,,\n"
       "2,0.125000000,0.625000000,0.624700000000,0.625300000000,0.625300000000,0.566156697677\n"},
      {"--delta 0: exact values",
       {"--delta", "0"},
       "0.500000000\r\n0.250000000\r\n0.125000000\r\n",
       "1,0.750000000,0.750000000,0.375000000000,0.750000000000,,\n"
       "2,0.125000000,0.625000000,0.625000000000,0.625000000000,0.625000000000,0.566666666666\n"},
      {"a mixed file: each line by its own decimals and line end",
       {},
       "0.5\r\n0.250000000\n0.125\r\n",
       "1,0.750000000,0.750000000,0.324999999500,0.850000001000,,\n"
       "2,0.125000000,0.625000000,0.523999999000,0.726000001000,0.726000001000,0.386609077414\n"},
      // 0.12345678951 +- 10^-11 lies in (123456789, 123456790) units; the
      // sums take it as 123456790, its nearest.
      {"eleven decimals, rounded outwards to the grid",
       {},
       "0.12345678951\n",
       "1,0.123456790,0.123456790,0.123456789000,0.123456790000,,\n"},
      {"--delta 0 with eleven decimals: still the two units around it",
       {"--delta", "0"},
       "0.12345678951\n",
       "1,0.123456790,0.123456790,0.123456789000,0.123456790000,,\n"},
      {"--delta=1.5e-9 rounds up to 2 units",
       {"--delta=1.5e-9"},
       "0.5\n",
       "1,0.500000000,0.500000000,0.499999998000,0.500000002000,,\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = (dir.path / "prob.txt").string();
    writeFile(path, c.content);
    std::vector<std::string> args = c.options;
    const bool single = std::count(c.content.begin(), c.content.end(), '\n') == 1;
    args.insert(args.end(), {"--csv", single ? "1" : "2", path});
    const Outcome result = run(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, header + c.csv);
  }

  // A known union probability above every upper bound: a warning for each.
  TempDir dir;
  const std::string path = (dir.path / "two.txt").string();
  writeFile(path, cases[0].content);
  const Outcome warned = run({"--union", "0.9", "--csv", "2", path});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.out, header + nineDecimals);
  EXPECT_EQ(
      warned.err,
      "union-bounds: warning: P = 0.9 lies above the upper bound of order 1 (0.750000002000)\n"
      "union-bounds: warning: P = 0.9 lies above the upper bound of order 2 (0.625000003000)\n"
      "union-bounds: warning: P = 0.9 lies above the hunter_worsley bound of order 2 "
      "(0.625000003000)\n");
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
      {"an exponent",
       "0.500000000\r\n1e-05\r\n0.1\r\n",
       {"2", "FILE"},
       1,
       "FILE:2: \"1e-05\" is not a number in fixed notation"},
      {"a point without decimals",
       "0.\n",
       {"1", "FILE"},
       1,
       "FILE:1: \"0.\" is not a number in fixed notation"},
      {"above 1 in the tenth decimal",
       "1.0000000001\n",
       {"1", "FILE"},
       1,
       "FILE:1: 1.0000000001 is not a probability"},
      {"a negative --delta",
       nullptr,
       {"--delta", "-1e-9", "2"},
       2,
       "--delta takes a half-width, a decimal number from 0 to 1, not \"-1e-9\"; try "
       "'union-bounds --help'"},
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

}  // namespace
