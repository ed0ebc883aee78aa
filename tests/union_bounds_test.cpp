// union-bounds on files written by the evaluator, on a small file worked out
// by hand, on files it must refuse and on files cut short.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounds/cherry_bound.h"
#include "bounds/order_bounds.h"
#include "evaluation/intersections.h"
#include "instance/random_instance.h"
#include "lines/prob_file.h"
#include "support/in_process.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "union_bounds/command_line.h"
#include "union_bounds/run_union_bounds.h"

namespace {

using namespace intersections;
using testing_support::TempDir;
using testing_support::writeFile;

using testing_support::Outcome;

Outcome run(const std::vector<std::string>& args) { return testing_support::unionBoundsHere(args); }

// A CSV of the bounds as given, with its last column, boolean_optimal: 1 on
// every row that has the Boolean bounds (these small files never run out of
// work), empty on the others.
std::string withBooleanOptimal(const std::string& csv) {
  std::string result;
  std::istringstream lines(csv);
  for (std::string line; std::getline(lines, line);) {
    if (result.empty()) {
      result += line + ",boolean_optimal\n";
    } else {
      result += line + (line.back() == ',' ? ",\n" : ",1\n");
    }
  }
  return result;
}

// Reads `path` as the program does for the union: orders 1 and 2 in full,
// of order 3 the lines the cherry tree may read (or, with keepOrders 3, all).
ProbFile readFile(const std::string& path, std::int32_t n, std::int32_t keepOrders = 2) {
  const int descriptor = ::open(path.c_str(), O_RDONLY);
  if (descriptor < 0) throw std::runtime_error("cannot open " + path);
  BoundsRequest request;
  request.booleanOrders = keepOrders;
  ProbFile file = readProbFile(descriptor, "prob.txt", n, linesNeeded(request));
  ::close(descriptor);
  return file;
}

TEST(UnionBounds, BracketTheUnionOfRandomInstances) {
  struct Case {
    std::int32_t n, density;
    double P;
    std::int32_t m;
    unsigned seed;
  };
  const Case cases[] = {
      {1, 50, 0.3, 1, 1},    {2, 100, 1.0, 2, 2},  {4, 30, 0.8, 4, 3},   {6, 50, 1.0, 6, 4},
      {8, 10, 0.37, 8, 5},   {10, 70, 0.9, 10, 6}, {12, 5, 0.5, 3, 7},   {9, 100, 0.6, 9, 8},
      {14, 20, 0.75, 14, 9}, {40, 3, 0.99, 2, 10}, {30, 10, 0.5, 3, 11}, {25, 40, 0.9, 4, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n = " + std::to_string(c.n) + ", density " + std::to_string(c.density) +
                 ", m = " + std::to_string(c.m));
    std::srand(c.seed);
    const DoubleSequence weights = makeWeights(c.n, c.P);
    const EventMatrix matrix = generateEventMatrix(c.n, c.density);
    TempDir dir;
    const std::string path = (dir.path / "prob.txt").string();
    writeIntersectionProbabilitiesTo(path, c.m, weights, matrix);
    // Every outcome has an event, so the union has all the weight; at least
    // r events occur in the rows with r ones or more.
    const mpq_class weight(weights.front());
    std::vector<mpq_class> atLeast(static_cast<std::size_t>(c.n) + 2);
    for (const IntSequence& row : matrix) {
      const auto events = static_cast<std::size_t>(std::count(row.begin(), row.end(), 1));
      for (std::size_t r = 1; r <= events; ++r) atLeast[r] += weight;
    }
    const mpq_class& P = atLeast[1];

    const ProbFile file = readFile(path, c.n);
    const std::vector<OrderBounds> rows = boundsByOrder(file.observations);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.m));
    for (const OrderBounds& row : rows) {
      EXPECT_LE(row.lower, P) << "order " << row.order;
      EXPECT_GE(row.upper, P) << "order " << row.order;
      EXPECT_EQ(row.cherry.has_value(), row.order >= 3) << "order " << row.order;
      if (row.order == 1) continue;
      EXPECT_LE(*row.deCaen, P) << "order " << row.order;
      EXPECT_GE(*row.hunterWorsley, P) << "order " << row.order;
      EXPECT_LE(*row.kat, P) << "order " << row.order;
      EXPECT_GE(*row.kat, *row.deCaen) << "order " << row.order;
      if (row.order == 2) continue;
      EXPECT_GE(*row.cherry, P) << "order " << row.order;
      EXPECT_LE(*row.cherry, *row.hunterWorsley) << "order " << row.order;
    }
    if (c.m >= 3) {
      // The lines picked give the bound that all the lines of order 3 give.
      const std::size_t most =
          static_cast<std::size_t>(c.n) * cherryPartners * (cherryPartners - 1) / 2;
      EXPECT_LE(file.observations.picked.size(), std::min<std::size_t>(most, linesOfOrder(c.n, 3)));
      EXPECT_EQ(*boundsByOrder(readFile(path, c.n, 3).observations).back().cherry,
                *rows.back().cherry);
      // And so do they when every line takes the reader's slow path ("00.5...").
      std::string slow;
      for (const char ch : testing_support::readFile(path))
        slow += slow.empty() || slow.back() == '\n' ? std::string("0") + ch : std::string(1, ch);
      const std::string slowPath = (dir.path / "slow.txt").string();
      writeFile(slowPath, slow);
      EXPECT_EQ(*boundsByOrder(readFile(slowPath, c.n).observations).back().cherry,
                *rows.back().cherry);
    }
    if (c.m == c.n) {
      // All orders pin the union down to the rounding of the 2^n - 1 lines.
      const mpq_class slack(mpz_class(1) << static_cast<mp_bitcnt_t>(c.n), mpz_class(1000000000));
      EXPECT_LE(P - rows.back().lower, slack);
      EXPECT_LE(rows.back().upper - P, slack);
    }
    // At least r of the events, for every r: the sharp bounds hold, and only they.
    for (std::int32_t r = 2; r <= c.n; ++r) {
      BoundsRequest request;
      request.atLeast = r;
      for (const OrderBounds& row : boundsByOrder(file.observations, request)) {
        const mpq_class& exact = atLeast[static_cast<std::size_t>(r)];
        EXPECT_LE(row.lower, exact) << "r = " << r << ", order " << row.order;
        EXPECT_GE(row.upper, exact) << "r = " << r << ", order " << row.order;
        EXPECT_FALSE(row.hunterWorsley || row.deCaen || row.kat || row.cherry);
      }
    }
  }
}

TEST(UnionBounds, CsvOfSmallFilesWorkedOutByHand) {
  const std::string halfQuarter =
      "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
      "lower,boolean_upper\n"
      "1,0.750000000,0.750000000,0.374999999000,0.750000002000,,,,,,0.499999999000,0.750000002000\n"
      "2,0.125000000,0.625000000,0.624999997000,0.625000003000,0.625000003000,0.566666661564,"
      "0.624999997000,0.571428566530,,0.624999997000,0.625000003000\n";
  const std::string certainAndNever =
      "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
      "lower,boolean_upper\n"
      "1,1.000000000,1.000000000,0.499999999500,1.000000000000,,,,,,0.999999999000,1.000000000000\n"
      "2,0.000000000,1.000000000,0.999999998000,1.000000000000,1.000000000000,0.999999997000,"
      "0.999999998500,0.999999998000,,0.999999999000,1.000000000000\n";
  struct Case {
    const char* content;
    std::vector<std::string> args;  // before the file
    std::string csv;
  };
  // A1 to A4 nested: the lines of orders 1 to 4, each the a of its first event.
  const char* const nested =
      "0.1\n0.2\n0.3\n0.4\n0.1\n0.1\n0.1\n0.2\n0.2\n0.3\n0.1\n0.1\n0.1\n0.2\n0.1\n";
  const Case cases[] = {
      // a_1 = 1/2, a_2 = 1/4, b_12 = 1/8, each true value within 10^-9 of
      // these: order 1: lower (S_1 - 2e-9)/2, upper S_1 + 2e-9; order 2: v_2 =
      // S_2, so the union v_1 + v_2 = S_1 - S_2 to within 3e-9, and
      // Hunter-Worsley gives the same upper bound; de Caen 0.499999999^2 /
      // 0.625000002 + 0.249999999^2 / 0.375000002 = 0.56666666156444...;
      // Kuai-Alajaji-Takahara with t = 1 for both: (2 0.499999999 -
      // 0.125000001)/2 + (2 0.249999999 - 0.125000001)/2 = 0.624999997.
      {"0.500000000\r\n0.250000000\r\n0.125000000\r\n",
       {"2"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,0.750000000,0.750000000,0.374999999000,0.750000002000,,,,,,0.499999999000,0."
       "750000002000\n"
       "2,0.125000000,0.625000000,0.624999997000,0.625000003000,0.625000003000,0.566666661564,"
       "0.624999997000,0.571428566530,,0.624999997000,0.625000003000\n"},
      // a = 0.4, 0.3, 0.5, b_01 = 0.2, b_02 = 0.3, b_12 = 0.15, c = 0.1, union
      // 0.65. Order 3 fixes the union to S_1 - S_2 + S_3 within 7e-9.
      // Hunter-Worsley: 1.200000003 - 0.299999999 - 0.199999999. Kuai-Alajaji-
      // Takahara, t = 2, 2, 1: (4 0.399999999 - 0.500000002)/6 + (4 0.299999999
      // - 0.350000002)/6 + (2 0.499999999 - 0.450000002)/2 = 0.599999996. The
      // cherry tree: {0, 2}, then 1 gaining 0.199999999 + 0.149999999 -
      // 0.100000001, so 1.200000003 - 0.299999999 - 0.249999997.
      {"0.400000000\r\n0.300000000\r\n0.500000000\r\n0.200000000\r\n0.300000000\r\n0.150000000\r\n"
       "0.100000000\r\n",
       {"3"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,1.200000000,1.200000000,0.399999999000,1.000000000000,,,,,,0.499999999000,1."
       "000000000000\n"
       "2,0.650000000,0.550000000,0.583333330333,0.766666671667,0.700000005000,0.579397206048,"
       "0.599999996000,0.595454540540,,0.649999997000,0.700000005000\n"
       "3,0.100000000,0.650000000,0.649999993000,0.650000007000,0.700000005000,0.579397206048,"
       "0.599999996000,0.595454540540,0.650000007000,0.649999997000,0.650000007000\n"},
      // At least 2 of them: 0, S_2 and S_2 - 2 S_3 as the Bonferroni-type sums.
      // Order 1: v_3 >= (1.199999997 - 1)/2 at least, v_2 <= 1.200000003/2 at
      // most; order 2: the vertices of the program give 0.649999997/3 and
      // 1.750000009/3; order 3 fixes v_2 + v_3 = S_2 - 2 S_3 within 5e-9.
      {"0.400000000\r\n0.300000000\r\n0.500000000\r\n0.200000000\r\n0.300000000\r\n0.150000000\r\n"
       "0.100000000\r\n",
       {"--at-least", "2", "3"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,1.200000000,0.000000000,0.099999998500,0.600000001500,,,,,,0.099999998500,0."
       "600000001500\n"
       "2,0.650000000,0.650000000,0.216666665666,0.583333336334,,,,,,0.349999997000,0."
       "450000005000\n"
       "3,0.100000000,0.450000000,0.449999995000,0.450000005000,,,,,,0.449999995000,0."
       "450000003000\n"},
      // A certain event and an impossible one: a_1 in [1 - e, 1], a_2 and b_12
      // in [0, e], e = 10^-9, so S_1 in [1 - e, 1 + e] and S_2 in [0, e].
      // Order 1: lower S_1 low / 2, upper 1; order 2: the union S_1 - S_2 is at
      // least 1 - 2e, Hunter-Worsley 1 + e - 0 shown as 1, de Caen (1 - e)^2 / (1 + e) =
      // 0.99999999700000000299... (a_2 can be 0 and has no term), kat with
      // t = 1: (2 (1 - e) - e) / 2. Lines of 13 bytes are added in blocks,
      // others one by one: both must widen a 0 only upwards and a 1 only
      // downwards.
      {"1.000000000\r\n0.000000000\r\n0.000000000\r\n", {"2"}, certainAndNever},
      {"01.000000000\r\n00.000000000\r\n00.000000000\r\n", {"2"}, certainAndNever},
      // Other files: each line stands for the values within one unit of its
      // last decimal, whatever its line end. Four decimals (h = 10^-4): de
      // Caen 0.4999^2/0.6252 + 0.2499^2/0.3752, kat (2 0.4999 - 0.1251)/2 +
      // (2 0.2499 - 0.1251)/2. Exact values (--delta 0): kat 0.4375 + 0.1875;
      // Gallot-Kounias at its best weights (1, 2/3): (0.5 + 1/6)^2 / (0.5 + 2/9 +
      // 1/6) = 4/7.
      // A mixed file: a_1 in [0.4, 0.6], a_2 one unit around 1/4, b_12 in
      // [0.124, 0.126]: kat (0.8 - 0.126)/2 + (0.499999998 - 0.126)/2.
      {"0.500000000\n0.250000000\n0.125000000\n", {"2"}, halfQuarter},
      {"0.5000\n0.2500\n0.1250\n",
       {"2"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,0.750000000,0.750000000,0.374900000000,0.750200000000,,,,,,0.499900000000,0."
       "750200000000\n"
       "2,0.125000000,0.625000000,0.624700000000,0.625300000000,0.625300000000,0.566156697677,"
       "0.624700000000,0.570939045007,,0.624700000000,0.625300000000\n"},
      {"0.500000000\r\n0.250000000\r\n0.125000000\r\n",
       {"--delta", "0", "2"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,0.750000000,0.750000000,0.375000000000,0.750000000000,,,,,,0.500000000000,0."
       "750000000000\n"
       "2,0.125000000,0.625000000,0.625000000000,0.625000000000,0.625000000000,0.566666666666,"
       "0.625000000000,0.571428571428,,0.625000000000,0.625000000000\n"},
      {"0.5\r\n0.250000000\n0.125\r\n",
       {"2"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,0.750000000,0.750000000,0.324999999500,0.850000001000,,,,,,0.400000000000,0."
       "850000001000\n"
       "2,0.125000000,0.625000000,0.523999999000,0.726000001000,0.726000001000,0.386609077414,"
       "0.523999999000,0.389937667582,,0.523999999000,0.726000001000\n"},
      // 0.12345678951 +- 10^-11 lies in (123456789, 123456790) units; the sums
      // take it as 123456790, its nearest; --delta 0 keeps the two units
      // around it; --delta=1.5e-9 rounds up to 2 units.
      {"0.12345678951\n",
       {"1"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,0.123456790,0.123456790,0.123456789000,0.123456790000,,,,,,0.123456789000,0."
       "123456790000\n"},
      {"0.12345678951\n",
       {"--delta", "0", "1"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,0.123456790,0.123456790,0.123456789000,0.123456790000,,,,,,0.123456789000,0."
       "123456790000\n"},
      {"0.5\n",
       {"--delta=1.5e-9", "1"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,0.500000000,0.500000000,0.499999998000,0.500000002000,,,,,,0.499999998000,0."
       "500000002000\n"},
      // Nested events A1 in A2 in A3 in A4, a = 0.1, 0.2, 0.3, 0.4, exact
      // values: every set's line is the a of its lowest event, and the union
      // is A4, 0.4. Order 1 alone allows any union from max a = 0.4 to
      // min(1, S_1) = 1; from order 2 on the Boolean bounds are both 0.4, the
      // chain tree's Hunter-Worsley a1 + a2 + a3 + a4 - a1 - a2 - a3 = a4
      // meeting the lower one. S = 1, 1, 0.5, 0.1; the sharp bounds close in
      // on 0.4 by order 4; de Caen: 0.01/0.4 + 0.04/0.7 + 0.09/0.9 + 0.16/1.
      {nested,
       {"--delta", "0", "4"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,1.000000000,1.000000000,0.250000000000,1.000000000000,,,,,,0.400000000000,1."
       "000000000000\n"
       "2,1.000000000,0.000000000,0.333333333333,0.500000000000,0.400000000000,0.342142857142,"
       "0.350000000000,0.400000000000,,0.400000000000,0.400000000000\n"
       "3,0.500000000,0.500000000,0.375000000000,0.416666666667,0.400000000000,0.342142857142,"
       "0.350000000000,0.400000000000,0.400000000000,0.400000000000,0.400000000000\n"
       "4,0.100000000,0.400000000,0.400000000000,0.400000000000,0.400000000000,0.342142857142,"
       "0.350000000000,0.400000000000,0.400000000000,0.400000000000,0.400000000000\n"},
      // --no-boolean leaves their columns empty, and the others as they were.
      {nested,
       {"--delta", "0", "--no-boolean", "4"},
       "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,gallot_kounias,cherry,boolean_"
       "lower,boolean_upper\n"
       "1,1.000000000,1.000000000,0.250000000000,1.000000000000,,,,,,,\n"
       "2,1.000000000,0.000000000,0.333333333333,0.500000000000,0.400000000000,0.342142857142,"
       "0.350000000000,0.400000000000,,,\n"
       "3,0.500000000,0.500000000,0.375000000000,0.416666666667,0.400000000000,0.342142857142,"
       "0.350000000000,0.400000000000,0.400000000000,,\n"
       "4,0.100000000,0.400000000,0.400000000000,0.400000000000,0.400000000000,0.342142857142,"
       "0.350000000000,0.400000000000,0.400000000000,,\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.csv);
    TempDir dir;
    const std::string path = (dir.path / "prob.txt").string();
    writeFile(path, c.content);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--csv");
    args.push_back(path);
    const Outcome result = run(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, withBooleanOptimal(c.csv));
  }
}

TEST(UnionBounds, WarnsOfEachBoundThatTheKnownProbabilityMisses) {
  TempDir dir;
  const std::string path = (dir.path / "two.txt").string();
  writeFile(path, "0.500000000\r\n0.250000000\r\n0.125000000\r\n");
  // A known union probability above every upper bound: a warning for each.
  const Outcome warned = run({"--union", "0.9", "--csv", "2", path});
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(
      warned.err,
      "union-bounds: warning: P = 0.9 lies above the upper bound of order 1 (0.750000002000)\n"
      "union-bounds: warning: P = 0.9 lies above the boolean_upper bound of order 1 "
      "(0.750000002000)\n"
      "union-bounds: warning: P = 0.9 lies above the upper bound of order 2 (0.625000003000)\n"
      "union-bounds: warning: P = 0.9 lies above the hunter_worsley bound of order 2 "
      "(0.625000003000)\n"
      "union-bounds: warning: P = 0.9 lies above the boolean_upper bound of order 2 "
      "(0.625000003000)\n");
  // Below every lower bound of order 2, kat's among them.
  const Outcome below = run({"--union", "0.6", "--csv", "2", path});
  EXPECT_EQ(
      below.err,
      "union-bounds: warning: P = 0.6 lies below the lower bound of order 2 (0.624999997000)\n"
      "union-bounds: warning: P = 0.6 lies below the kat bound of order 2 (0.624999997000)\n"
      "union-bounds: warning: P = 0.6 lies below the boolean_lower bound of order 2 "
      "(0.624999997000)\n");
}

TEST(UnionBounds, TableForAtLeastRLeavesOutTheUnionsOwnBounds) {
  TempDir dir;
  const std::string path = (dir.path / "prob.txt").string();
  writeFile(
      path,
      "0.400000000\r\n0.300000000\r\n0.500000000\r\n0.200000000\r\n0.300000000\r\n0.150000000\r\n"
      "0.100000000\r\n");
  const Outcome result = run({"--at-least=2", "--union", "0.45", "3", path});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(
      result.out,
      path +
          ": n = 3, 7 lines, orders 1 to 3 used; bounds on the probability that "
          "at least 2 of the 3 events occur\n"
          "\n"
          "order            S   bonferroni           lower           upper   boolean_lower   "
          "boolean_upper\n"
          "    1  1.200000000  0.000000000  0.099999998500  0.600000001500  0.099999998500  "
          "0.600000001500\n"
          "    2  0.650000000  0.650000000  0.216666665666  0.583333336334  0.349999997000  "
          "0.450000005000\n"
          "    3  0.100000000  0.450000000  0.449999995000  0.450000005000  0.449999995000  "
          "0.450000003000\n"
          "\n"
          "S: sum of the lines of the order; bonferroni: the sum over j = 2..k of (-1)^(j-2) "
          "C(j-1, 1) S_j "
          "(an upper bound when\n"
          "k - 2 is even, a lower one when it is odd or k < 2, from the rounded lines); lower, "
          "upper: the "
          "sharp bounds given\n"
          "orders 1 to k; boolean_lower, boolean_upper: the best that any bound from orders 1 to k "
          "could "
          "do, the least and the\n"
          "greatest probability over every distribution on the 2^n atoms that fits the lines, each "
          "proved "
          "exactly (- where left\n"
          "out). Every bound but bonferroni holds whatever the rounding of the lines.\n"
          "\n"
          "margin to P = 0.45: how far each bound lies from P on its own side (negative: P lies "
          "outside "
          "it)\n"
          "\n"
          "order      bonferroni           lower           upper   boolean_lower   boolean_upper\n"
          "    1  0.450000000000  0.350000001500  0.150000001500  0.350000001500  0.150000001500\n"
          "    2  0.200000000000  0.233333334333  0.133333336333  0.100000003000  0.000000005000\n"
          "    3  0.000000000000  0.000000005000  0.000000005000  0.000000005000  "
          "0.000000003000\n");
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
  // The checks before the Boolean bounds are tested with them left out: on
  // these small files the atoms' problem refuses the same values by itself,
  // and would hide a check that is gone.
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
      // A1 = A2 and A1 = A3 by the pairs, yet A2 and A3 disjoint: only the
      // atoms' problem sees it (the pairwise bounds are the union's alone).
      {"pairs that fit no distribution of the atoms",
       "0.5\n0.5\n0.5\n0.5\n0.5\n0.0\n",
       {"--at-least", "2", "--delta", "0", "3", "FILE"},
       1,
       "FILE: the values of orders 1 to 2 fit no probability space of 3 events; is N right?"},
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
       {"--no-boolean", "3", "FILE"},
       1,
       "FILE: the values of orders 1 to 2 fit no probability space of 3 events; is N right?"},
      {"a pair more probable than its first event",
       "0.100000000\r\n0.900000000\r\n0.200000000\r\n",
       {"2", "FILE"},
       1,
       "FILE:3: the values of events 1 and 2 and of their pair fit no probability space: the pair "
       "is more probable than event 1; is N right?"},
      {"pairs only kat shows to fit no space (kat 0.7667 above hunter_worsley 0.75)",
       "0.350000000\r\n0.650000000\r\n0.300000000\r\n0.300000000\r\n0.250000000\r\n0.050000000\r\n",
       {"--no-boolean", "3", "FILE"},
       1,
       "FILE: the values of orders 1 to 2 fit no probability space of 3 events; is N right?"},
      {"triples only cherry shows to fit no space (c_012 = 0 where a = b = 0.5)",
       "0.500000000\r\n0.500000000\r\n0.500000000\r\n0.500000000\r\n0.500000000\r\n0.500000000\r\n"
       "0.500000000\r\n0.500000000\r\n0.500000000\r\n0.500000000\r\n0.000000000\r\n0.666666667\r\n"
       "0.666666667\r\n0.666666666\r\n",
       {"--no-boolean", "4", "FILE"},
       1,
       "FILE: the values of orders 1 to 3 fit no probability space of 4 events; is N right?"},
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
      {"R above N",
       nullptr,
       {"--at-least", "3", "2"},
       2,
       "--at-least takes a whole number R from 1 to N, not \"3\"; try 'union-bounds --help'"},
      {"R of 0",
       nullptr,
       {"--at-least=0", "2"},
       2,
       "--at-least takes a whole number R from 1 to N, not \"0\"; try 'union-bounds --help'"},
      {"no R",
       nullptr,
       {"2", "--at-least"},
       2,
       "--at-least needs a value, the number R of events that must occur; try 'union-bounds "
       "--help'"},
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

// The executable itself: its arguments reach the program, "-" reads standard
// input, and the status is the program's.
TEST(UnionBounds, TheExecutableReadsStandardInput) {
  const std::string file = "0.500000000\r\n0.250000000\r\n0.125000000\r\n";
  // What the program prints for the same lines read from a file (its values
  // are checked by CsvOfSmallFilesWorkedOutByHand).
  TempDir dir;
  writeFile(dir.path / "prob.txt", file);
  const std::string csv = run({"--csv", "2", (dir.path / "prob.txt").string()}).out;
  ASSERT_NE(csv, "");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  };
  const Case cases[] = {
      {{"--csv", "2", "-"}, 0, csv, ""},
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

// The command lines at the edges of what N and --union accept.
TEST(UnionBounds, AcceptsEveryNAndPInRange) {
  struct Case {
    std::vector<std::string> args;
    std::int32_t n;
    long mantissa, power;  // P = mantissa * 10^power; power 1: no P
    BooleanMode boolean = BooleanMode::cheap;
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
      {{"--boolean", "3"}, 3, 0, 1, BooleanMode::all},
      {{"3", "--no-boolean"}, 3, 0, 1, BooleanMode::none},
      {{"--boolean", "--no-boolean", "--boolean", "3"}, 3, 0, 1, BooleanMode::all},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
    const BoundsOptions options = parseCommandLine(c.args);
    EXPECT_EQ(options.n, c.n);
    EXPECT_EQ(options.boolean, c.boolean);
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
    std::string row;  // order, bonferroni, lower, upper (the pairwise columns are empty)
  };
  const Case cases[] = {
      {"0.9", "1 -0.150000000000 0.525000001000 -0.149999998000"},
      {"0.7500000020000001", "1 -0.000000002000 0.375000003000 -0.000000000000"},
      {"0.750000002", "1 -0.000000002000 0.375000003000 0.000000000000"},
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
    for (int column = 0; column < 4 && cells >> cell; ++column)
      row += (row.empty() ? "" : " ") + cell;
    EXPECT_EQ(row, c.row);
  }
}

// Below the address space it needs, union-bounds ends with "out of memory"
// and status 3, never by a signal: for GMP's allocations too, which the exact
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
    const bool said = result.exitStatus == 3 && result.err.size() >= outOfMemory.size() &&
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
