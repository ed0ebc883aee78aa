// union-bounds on files written by the evaluator, on a small file worked out
// by hand, on files it must refuse and on files cut short.

#include "bounds/union_bounds.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "evaluation/intersections.h"
#include "instance/random_instance.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "union_bounds/command_line.h"
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

TEST(UnionBounds, CsvOfASmallFileWorkedOutByHand) {
  // a_1 = 1/2, a_2 = 1/4, b_12 = 1/8, each true value within 10^-9 of these:
  // order 1: lower (S_1 - 2e-9)/2, upper S_1 + 2e-9; order 2: v_2 = S_2, so
  // the union v_1 + v_2 = S_1 - S_2 to within 3e-9, and Hunter-Worsley gives
  // the same upper bound; de Caen 0.499999999^2/0.625000002 +
  // 0.249999999^2/0.375000002 = 0.56666666156444...
  TempDir dir;
  const std::string path = (dir.path / "two.txt").string();
  writeFile(path, "0.500000000\r\n0.250000000\r\n0.125000000\r\n");
  const Outcome result = run({"--csv", "2", path});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(
      result.out,
      "order,S,bonferroni,lower,upper,hunter_worsley,de_caen\n"
      "1,0.750000000,0.750000000,0.374999999000,0.750000002000,,\n"
      "2,0.125000000,0.625000000,0.624999997000,0.625000003000,0.625000003000,0.566666661564\n");

  // A known union probability above every upper bound: a warning for each.
  const Outcome warned = run({"--union", "0.9", "--csv", "2", path});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.out, result.out);
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
    std::string message;       // the line on standard error, after "union-bounds: "
    bool outputFails = false;  // standard output takes nothing (a full disk)
  };
  const std::string needN = "N must be a whole number from 1 to 1073741823, not ";
  const std::string needP =
      "--union takes a probability, a decimal number from 0 to 1 with at most 1000000 decimals, "
      "not ";
  const std::string tryHelp = "; try 'union-bounds --help'";
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
      {"moments no distribution has: three disjoint events of 0.5",
       "0.500000000\r\n0.500000000\r\n0.500000000\r\n0.000000000\r\n0.000000000\r\n"
       "0.000000000\r\n",
       {"3", "FILE"},
       1,
       "FILE: the values of orders 1 to 2 fit no probability space of 3 events; is N right?"},
      {"a pair more probable than its first event",
       "0.100000000\r\n0.900000000\r\n0.200000000\r\n",
       {"2", "FILE"},
       1,
       "FILE:3: the values of events 1 and 2 and of their pair fit no probability space: the pair "
       "is more probable than event 1; is N right?"},
      {"a pair of the last two events more probable than the first of them",
       "0.500000000\r\n0.100000000\r\n0.500000000\r\n0.100000000\r\n0.200000000\r\n"
       "0.300000000\r\n",
       {"3", "FILE"},
       1,
       "FILE:6: the values of events 2 and 3 and of their pair fit no probability space: the pair "
       "is more probable than event 2; is N right?"},
      {"a pair more probable than its second event",
       "0.900000000\r\n0.100000000\r\n0.200000000\r\n",
       {"2", "FILE"},
       1,
       "FILE:3: the values of events 1 and 2 and of their pair fit no probability space: the pair "
       "is more probable than event 2; is N right?"},
      {"a union of two events above 1",
       "0.900000000\r\n0.900000000\r\n0.700000000\r\n",
       {"2", "FILE"},
       1,
       "FILE:3: the values of events 1 and 2 and of their pair fit no probability space: their "
       "union would be more probable than 1; is N right?"},
      {"no such file", nullptr, {"2", "FILE"}, 1, "cannot open FILE: No such file or directory"},
      {"no N", nullptr, {}, 2, "N, the number of events, is missing; try 'union-bounds --help'"},
      {"N of 0",
       nullptr,
       {"0"},
       2,
       "N must be a whole number from 1 to 1073741823, not \"0\"; try 'union-bounds --help'"},
      {"P above 1", nullptr, {"--union=1.5", "2"}, 2, needP + "\"1.5\"" + tryHelp},
      {"an unknown option",
       nullptr,
       {"--cvs", "2"},
       2,
       "unknown option \"--cvs\"; try 'union-bounds --help'"},
      {"an option with a line break",
       nullptr,
       {"--cvs\n", "2"},
       2,
       "unknown option \"--cvs\\x0A\"" + tryHelp},
      {"a file name with a line break",
       nullptr,
       {"2", "no\nsuch\x7f"},
       1,
       "cannot open no\\x0Asuch\\x7F: No such file or directory"},
      {"a negative N", nullptr, {"-1"}, 2, needN + "\"-1\"" + tryHelp},
      {"N one above the largest", nullptr, {"1073741824"}, 2, needN + "\"1073741824\"" + tryHelp},
      {"the same after a zero", nullptr, {"01073741824"}, 2, needN + "\"01073741824\"" + tryHelp},
      {"N of eleven digits", nullptr, {"10000000000"}, 2, needN + "\"10000000000\"" + tryHelp},
      {"N of only zeros", nullptr, {"0000000000000"}, 2, needN + "\"0000000000000\"" + tryHelp},
      {"P just above 1",
       nullptr,
       {"--union", "1.0000000001", "2"},
       2,
       needP + "\"1.0000000001\"" + tryHelp},
      {"P with one decimal too many",
       nullptr,
       {"--union", "1e-1000001", "2"},
       2,
       needP + "\"1e-1000001\"" + tryHelp},
      {"the same with a point",
       nullptr,
       {"--union", "0.1e-1000000", "2"},
       2,
       needP + "\"0.1e-1000000\"" + tryHelp},
      {"P of 10", nullptr, {"--union", "0.01e+3", "2"}, 2, needP + "\"0.01e+3\"" + tryHelp},
      {"--help to a full disk", nullptr, {"--help"}, 1, "cannot write standard output", true},
      {"--version to a full disk", nullptr, {"--version"}, 1, "cannot write standard output", true},
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
    std::ostringstream out, err;
    if (c.outputFails) out.setstate(std::ios::badbit);
    EXPECT_EQ(runUnionBounds(args, out, err), c.status);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "union-bounds: " + message + "\n");
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

// The command lines at the edges of what N and --union accept.
TEST(UnionBounds, AcceptsEveryNAndPInRange) {
  struct Case {
    std::vector<std::string> args;
    std::int32_t n;
    long mantissa, power;  // P = mantissa * 10^power; power 1: no P
  };
  const Case cases[] = {
      {{"1073741823"}, 1073741823, 0, 1},
      {{"00000000004"}, 4, 0, 1},
      {{"000000000001073741823"}, 1073741823, 0, 1},
      {{"--union", "5e-00001", "1"}, 1, 5, -1},
      {{"--union=1e-10000", "1"}, 1, 1, -10000},
      {{"--union", "1e-1000000", "1"}, 1, 1, -1000000},
      {{"--union", "100e-1000002", "1"}, 1, 1, -1000000},
      {{"--union", "1e+00000000000000000000", "1"}, 1, 1, 0},
      {{"--union", "0.01e2", "1"}, 1, 1, 0},
      {{"--union", "0e99999999999999999999", "1"}, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
    const BoundsOptions options = parseCommandLine(c.args);
    EXPECT_EQ(options.n, c.n);
    ASSERT_EQ(options.known.has_value(), c.power <= 0);
    if (!options.known) continue;
    mpz_class scale;
    mpz_ui_pow_ui(scale.get_mpz_t(), 10, static_cast<unsigned long>(-c.power));
    mpq_class expected(c.mantissa, scale);
    expected.canonicalize();
    EXPECT_TRUE(options.known->value == expected);
  }
}

// The margins of order 1 of the file worked out by hand (lower 0.374999999,
// upper 0.750000002, S_1 = 0.75): each is the distance to P on the bound's
// side, negative when P lies outside, and so also when it rounds to 0.
TEST(UnionBounds, MarginsKeepTheirSign) {
  struct Case {
    const char* P;
    std::string row;  // order, bonferroni, lower, upper, hunter_worsley, de_caen
  };
  const Case cases[] = {
      {"0.9", "1 -0.150000000000 0.525000001000 -0.149999998000 - -"},
      {"0.7500000020000001", "1 -0.000000002000 0.375000003000 -0.000000000000 - -"},
      {"0.750000002", "1 -0.000000002000 0.375000003000 0.000000000000 - -"},
  };
  TempDir dir;
  const std::string path = (dir.path / "two.txt").string();
  writeFile(path, "0.500000000\r\n0.250000000\r\n0.125000000\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.P);
    const Outcome result = run({"--union", c.P, "2", path});
    ASSERT_EQ(result.status, 0);
    const std::size_t margins = result.out.find("margin to P");
    ASSERT_NE(margins, std::string::npos);
    // The margin table: a blank line, the heading, then the row of order 1.
    std::istringstream lines(result.out.substr(margins));
    std::string line;
    for (int skip = 0; skip < 4; ++skip) std::getline(lines, line);
    std::istringstream cells(line);
    std::string row, cell;
    while (cells >> cell) row += (row.empty() ? "" : " ") + cell;
    EXPECT_EQ(row, c.row);
  }
}

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
          const auto conflict = firstInconsistentPair(singles, pairs);
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
  const auto conflict = firstInconsistentPair(singles, pairs);
  ASSERT_TRUE(conflict.has_value());
  EXPECT_EQ(conflict->first, 1u);
  EXPECT_EQ(conflict->second, 3u);
  EXPECT_EQ(conflict->pair, 4u);
  EXPECT_EQ(conflict->kind, PairConflict::unionAboveOne);
}

// Below the address space it needs, union-bounds ends with "out of memory"
// and status 1, never by a signal: for GMP's allocations too, which the exact
// value of a P with a million decimals needs a megabyte of. Walked down from
// the least limit that lets it finish, until the limit is so tight that the
// C++ runtime itself fails (it cannot even make the exception, or load).
TEST(UnionBounds, OutOfMemoryUnderATightAddressSpaceLimit) {
#if defined(INTERSECTIONS_SANITIZED_BUILD)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limits allow";
#else
  TempDir dir;
  writeFile(dir.path / "two.txt", "0.500000000\r\n0.250000000\r\n0.125000000\r\n");
  auto runWithin = [&](rlim_t kilobytes) {
    return testing_support::runProgram(testing_support::unionBoundsPath(),
                                       {"--union", "1e-1000000", "2", "two.txt"}, dir.path, "",
                                       [&] {
                                         const rlimit limit{kilobytes << 10, kilobytes << 10};
                                         setrlimit(RLIMIT_AS, &limit);
                                       });
  };
  rlim_t enough = 4096;
  while (enough < 262144 && runWithin(enough).exitStatus != 0) enough += 256;
  ASSERT_LT(enough, 262144u) << "never finished";
  const std::string outOfMemory = "union-bounds: out of memory\n";
  int reported = 0;
  for (rlim_t kilobytes = enough - 32; kilobytes > 0; kilobytes -= 32) {
    const auto result = runWithin(kilobytes);
    if (result.exitStatus == 0) continue;
    const bool said = result.exitStatus == 1 && result.err.size() >= outOfMemory.size() &&
                      result.err.compare(result.err.size() - outOfMemory.size(), outOfMemory.size(),
                                         outOfMemory) == 0;
    if (said) {
      ++reported;
      continue;
    }
    EXPECT_EQ(result.err.find("GNU MP"), std::string::npos) << kilobytes << " kB: " << result.err;
    break;
  }
  // About 2 MB of limits that end in the message.
  EXPECT_GE(reported, 32);
#endif
}

}  // namespace
