// bounds-study: its rows against union-bounds on the files intersections
// writes, shards and threads against the whole study, the summary of a file
// made by hand, and the command lines and files it refuses.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/memory_limit.h"
#include "evaluation/intersections.h"
#include "instance/packed_columns.h"
#include "instance/random_instance.h"
#include "lines/instance_lines.h"
#include "reporting/boolean_note.h"
#include "reporting/decimal.h"
#include "study/instances_csv.h"
#include "study/run_study.h"
#include "study/study_instance.h"
#include "support/in_process.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "union_bounds/run_union_bounds.h"

namespace {

using namespace intersections;
using testing_support::linesAfterHeader;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

using testing_support::Outcome;

Outcome study(const std::vector<std::string>& args) {
  return testing_support::boundsStudyHere(args);
}

// A row of an instances file from its twelfth field on: union-bounds' row.
std::string boundsPart(const std::string& row) {
  std::size_t at = 0;
  for (int field = 0; field < 11; ++field) at = row.find(',', at) + 1;
  return row.substr(at);
}

TEST(BoundsStudy, EachRowIsWhatUnionBoundsPrintsForTheFileOfThatSecond) {
  struct Case {
    std::int32_t n, density;
    const char* P;
    std::int32_t m;
    std::int64_t second;
    std::int32_t atLeast = 1;
    bool boolean = true;  // by default; false: --no-boolean (a second an instance at n = 12)
  };
  const Case cases[] = {
      {1, 50, "0.3", 1, 1},     {4, 30, "0.8", 4, 1700000000},
      {6, 100, "1", 9, 5},      {12, 20, "0.9", 6, 1700000123, 1, false},
      {10, 5, "0", 2, 42},      {40, 3, "0.99", 2, 7},
      {8, 40, "0.7", 5, 11, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n = " + std::to_string(c.n) + ", P = " + c.P + ", second " +
                 std::to_string(c.second));
    const StudyAnswers answers{c.n, c.density, c.P, std::strtod(c.P, nullptr), c.m};
    // The file that intersections writes when its clock reads the second.
    std::srand(static_cast<unsigned>(c.second));
    const PackedColumns columns = generatePackedColumns(c.n, c.density);
    const DoubleSequence weights = makeWeights(c.n, answers.probability);
    TempDir dir;
    const std::string path = (dir.path / "prob.txt").string();
    writeIntersectionProbabilitiesTo(path, c.m, weights, columns);
    std::ostringstream out, err;
    ASSERT_EQ(runUnionBounds({"--csv", "--at-least", std::to_string(c.atLeast),
                              c.boolean ? "--boolean" : "--no-boolean", std::to_string(c.n), path},
                             out, err),
              0)
        << err.str();

    BoundsRequest request;
    request.atLeast = c.atLeast;
    request.booleanOrders = booleanScope(c.n, c.m, c.boolean ? BooleanMode::all : BooleanMode::none,
                                         booleanMemoryBytes(memoryLimit()))
                                .orders;
    const BooleanMode mode = c.boolean ? BooleanMode::all : BooleanMode::none;
    const InstanceResult result =
        studyInstance(answers, c.second, request, {mode, 0, std::nullopt, {}});
    EXPECT_TRUE(result.wrongSide.empty());
    const std::vector<std::string> expected = linesAfterHeader(out.str());
    ASSERT_EQ(result.rows.size(), expected.size());
    // Every outcome has an event: the union weighs all 2n weights, exactly.
    const mpq_class probability = c.atLeast == 1
                                      ? mpq_class(weights[0]) * (2 * c.n)
                                      : probabilityOfAtLeast(columns, weights[0], c.atLeast);
    const std::string lead = std::to_string(c.n) + ',' + std::to_string(c.density) + ',' + c.P +
                             ',' + std::to_string(c.m) + ',' + std::to_string(c.atLeast) + ',' +
                             booleanModeText(mode) + ",0,,2n," + std::to_string(c.second) + ',';
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const std::string& row = result.rows[i];
      EXPECT_EQ(row.substr(0, lead.size()), lead);
      EXPECT_EQ(parseDecimal(row.substr(lead.size(), row.find(',', lead.size()) - lead.size())),
                probability);
      EXPECT_EQ(boundsPart(row), expected[i]);
    }
  }
}

TEST(BoundsStudy, TheRowOfASecondIsUnionBoundsOnTheFileIntersectionsWroteThen) {
  // intersections itself, its clock stopped at 2023-11-14 22:13:20 UTC, second 1700000000.
  TempDir dir;
  // Runs command[0] (looked up in PATH) with the rest as its arguments.
  auto runCommand = [](const std::filesystem::path& in, const std::vector<std::string>& command,
                       const std::string& input) {
    return testing_support::runProgram(
        {command[0], std::vector<std::string>(command.begin() + 1, command.end()), input, in});
  };
  // libfaketime comes before the sanitizers' runtime in a sanitized build.
  const std::vector<std::string> faketime{
      "env",      "TZ=UTC", "ASAN_OPTIONS=verify_asan_link_order=0",
      "faketime", "-f",     "2023-11-14 22:13:20"};
  auto stopped = [&](std::vector<std::string> command) {
    command.insert(command.begin(), faketime.begin(), faketime.end());
    return command;
  };
  const auto clock = runCommand(dir.path, stopped({"date", "+%s"}), "");
  if (clock.exitStatus != 0 || clock.out != "1700000000\n")
    GTEST_SKIP() << "faketime cannot set the clock here: " << clock.err;
  const auto written =
      runCommand(dir.path, stopped({testing_support::programPath()}), "12 20 0.9 6\n");
  ASSERT_EQ(written.exitStatus, 0) << written.err;
  const auto bounds = runCommand(
      dir.path, {testing_support::unionBoundsPath(), "--csv", "--no-boolean", "12", "prob.txt"},
      "");
  ASSERT_EQ(bounds.exitStatus, 0) << bounds.err;
  const auto studied =
      runCommand(dir.path,
                 {testing_support::boundsStudyPath(), "--no-boolean", "12", "20", "0.9", "6",
                  "--first", "1700000000", "--count", "1", "--instances", "rows.csv"},
                 "");
  ASSERT_EQ(studied.exitStatus, 0) << studied.err;
  std::vector<std::string> rows = linesAfterHeader(readFile(dir.path / "rows.csv"));
  for (std::string& row : rows) row = boundsPart(row);
  EXPECT_EQ(rows, linesAfterHeader(bounds.out));
  EXPECT_EQ(rows.size(), 6u);
}

TEST(BoundsStudy, ProbabilityOfAtLeastCountsTheRowsWithThatManyOnes) {
  std::srand(31);
  const EventMatrix matrix = generateEventMatrix(70, 4);  // 140 rows over three words
  const PackedColumns columns = packColumns(matrix);
  const double weight = 0.9 / 140;
  for (const std::int32_t atLeast : {0, 1, 2, 3, 5, 71}) {
    long rows = 0;
    for (const IntSequence& row : matrix) {
      rows += std::count(row.begin(), row.end(), 1) >= atLeast;
    }
    EXPECT_EQ(probabilityOfAtLeast(columns, weight, atLeast), mpq_class(weight) * rows)
        << "at least " << atLeast;
  }
  // 140 weights a little above 1/140 add up to more than 1: taken as shares of
  // their sum, all the rows together have probability 1.
  const double above = std::nextafter(1.0 / 140, 1.0);
  ASSERT_GT(mpq_class(above) * 140, 1);
  EXPECT_EQ(probabilityOfAtLeast(columns, above, 0), 1);
}

TEST(BoundsStudy, ShardsAndThreadsGiveTheWholeStudy) {
  TempDir dir;
  // The Boolean bounds of n = 12 would take about a second an instance.
  const std::vector<std::string> answers{"12",         "20",      "0.9", "6",           "--first",
                                         "1700000000", "--count", "11",  "--no-boolean"};
  auto with = [&](std::vector<std::string> options) {
    options.insert(options.begin(), answers.begin(), answers.end());
    return options;
  };
  const std::string whole = (dir.path / "whole.csv").string();
  const Outcome table = study(with({"--jobs", "1", "--instances", whole}));
  ASSERT_EQ(table.status, 0) << table.err;
  const Outcome csv = study(with({"--csv", "--jobs", "3"}));
  ASSERT_EQ(csv.status, 0) << csv.err;
  // A summary row per order and bound with a value: bonferroni, lower and upper
  // at order 1, the pairwise hunter_worsley, de_caen, kat and gallot_kounias
  // from order 2, cherry from order 3.
  EXPECT_EQ(linesAfterHeader(csv.out).size(), 3u + 7u + 4u * 8);

  std::vector<std::string> files{"--summarize"};
  std::vector<std::string> shardRows;
  for (int shard = 0; shard < 3; ++shard) {
    files.push_back((dir.path / ("shard" + std::to_string(shard) + ".csv")).string());
    const Outcome part = study(with(
        {"--shard", std::to_string(shard) + "/3", "--jobs", "2", "--instances", files.back()}));
    ASSERT_EQ(part.status, 0) << part.err;
    for (const std::string& row : linesAfterHeader(readFile(files.back())))
      shardRows.push_back(row);
  }
  // The shards hold the instances whose index is the shard modulo 3.
  EXPECT_EQ(shardRows.size(), 11u * 6);
  EXPECT_EQ(boundsPart(shardRows[6]).substr(0, 2), "1,");
  EXPECT_NE(shardRows[6].find(",1700000003,"), std::string::npos);
  std::vector<std::string> wholeRows = linesAfterHeader(readFile(whole));
  std::sort(wholeRows.begin(), wholeRows.end());
  std::sort(shardRows.begin(), shardRows.end());
  EXPECT_EQ(shardRows, wholeRows);

  const Outcome summarized = study(files);
  EXPECT_EQ(summarized.status, 0) << summarized.err;
  EXPECT_EQ(summarized.out, table.out);
  files.push_back("--csv");
  EXPECT_EQ(study(files).out, csv.out);

  const Outcome threads = study(with({"--jobs", "3", "--instances", whole + ".3"}));
  EXPECT_EQ(threads.out, table.out);
  EXPECT_EQ(readFile(whole + ".3"), readFile(whole));
}

TEST(BoundsStudy, SummaryOfInstancesFilesMadeByHand) {
  // n = 2, m = 2, every instance of true probability 1/2. Order 1: the
  // distances of bonferroni 0.1, 0.2, 0.3; of lower 0.2, 0.15, 0.1; of upper
  // 0.100000001, 0.2, 0.3 (mean 0.600000001 / 3). Order 2: bonferroni 0,
  // -1e-9 (crossing P by its rounding, no defect), 0.05; lower 1, 2, 3 (e-8)
  // and de_caen 5e-2, 2e-8, -1e-7 (a defect in second 12): the closest lower
  // bounds are lower, both (a tie), de_caen; upper 1, 3, 1 and
  // hunter_worsley 1, 2, 2 (e-8): both, hunter_worsley, upper.
  const std::string head = instancesHeader() + "\n";
  const std::string lead = "2,40,0.5,2,1,default,15000,,2n,";
  // The rows give the columns up to de_caen; the later ones are left empty.
  const auto fields = [](const std::string& line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
  };
  const auto row = [&](const std::string& text) {
    return lead + text + std::string(fields(instancesHeader()) - fields(lead + text), ',') + "\n";
  };
  const std::string first =
      head + row("10,0.5,1,0.600000000,0.600000000,0.300000000000,0.600000001000,,") +
      row("10,0.5,2,0.100000000,0.500000000,0.499999990000,0.500000010000,"
          "0.500000010000,0.450000000000") +
      row("11,0.5,1,0.700000000,0.700000000,0.350000000000,0.700000000000,,") +
      row("11,0.5,2,0.200000000,0.500000001,0.499999980000,0.500000030000,"
          "0.500000020000,0.499999980000");
  const std::string second =
      head + row("12,0.5,1,0.800000000,0.800000000,0.400000000000,0.800000000000,,") +
      row("12,0.5,2,0.350000000,0.450000000,0.499999970000,0.500000010000,"
          "0.500000020000,0.500000100000");
  TempDir dir;
  const std::string a = (dir.path / "a.csv").string(), b = (dir.path / "b.csv").string();
  writeFile(a, first);
  writeFile(b, second);
  const Outcome result = study({"--summarize", "--csv", b, a});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "bounds-study: second 12: the true probability 0.5 lies below the de_caen bound of "
            "order 2 (0.500000100000)\n");
  const std::string prefix = "2,40,0.5,2,1,default,15000,,2n,10,12,";
  EXPECT_EQ(
      result.out,
      "n,density,P,m,r,boolean,boolean_limit,delta,family,first,last,order,bound,side,instances,"
      "smallest,mean,median,largest,tightest,gap_smallest,gap_mean,gap_median,gap_largest,best,"
      "not_optimal\n" +
          prefix +
          "1,bonferroni,upper,3,0.100000000000,0.200000000000,0.200000000000,0.300000000000,,,,,,,"
          "\n" +
          prefix +
          "1,lower,lower,3,0.100000000000,0.150000000000,0.150000000000,0.200000000000,3,,,,,,\n" +
          prefix +
          "1,upper,upper,3,0.100000001000,0.200000000333,0.200000000000,0.300000000000,3,,,,,,\n" +
          prefix +
          "2,bonferroni,lower,3,-0.000000001000,0.016666666333,0.000000000000,0.050000000000,,,,,,,"
          "\n" +
          prefix +
          "2,lower,lower,3,0.000000010000,0.000000020000,0.000000020000,0.000000030000,2,,,,,,\n" +
          prefix +
          "2,upper,upper,3,0.000000010000,0.000000016667,0.000000010000,0.000000030000,2,,,,,,\n" +
          prefix +
          "2,hunter_worsley,upper,3,0.000000010000,0.000000016667,0.000000020000,0.000000020000,"
          "2,,,,,,\n" +
          prefix +
          "2,de_caen,lower,3,-0.000000100000,0.016666640000,0.000000020000,0.050000000000,2,,,,,,"
          "\n");
  // Two instances: the median is the mean of the middle two.
  EXPECT_NE(study({"--summarize", "--csv", a})
                .out.find("\n2,40,0.5,2,1,default,15000,,2n,10,11,2,lower,lower,2,0.000000010000,0."
                          "000000015000,"
                          "0.000000015000,0.000000020000,2,,,,,,\n"),
            std::string::npos);
  const Outcome table = study({"--summarize", a, b});
  EXPECT_EQ(table.out.substr(0, table.out.find('\n') + 1),
            "n = 2, density 40, P = 0.5, m = 2: 3 instances, the seconds 10 to 12\n");
  EXPECT_EQ(study({"--summarize", b}).out.substr(0, 53),
            "n = 2, density 40, P = 0.5, m = 2: 1 instance, the se");
}

// For at least 2 events the Bonferroni-type sum of order k is a lower bound
// below k = 2, then upper and lower in turn: its distance is taken on that side.
TEST(BoundsStudy, BonferroniSideFollowsTheEventBounded) {
  const Outcome result = study(
      {"--csv", "--at-least", "2", "--first", "1700000000", "--count", "3", "6", "40", "0.7", "3"});
  ASSERT_EQ(result.status, 0) << result.err;
  std::vector<std::string> sides;
  for (const std::string& line : linesAfterHeader(result.out)) {
    if (line.find(",bonferroni,") != std::string::npos)
      sides.push_back(line.substr(line.find(",bonferroni,") + 12, 5));
  }
  EXPECT_EQ(sides, (std::vector<std::string>{"lower", "upper", "lower"}));
}

// The Boolean columns of the instances file, filled or empty as the options
// and n have them, and the note on those left out once for the whole study.
TEST(BoundsStudy, BooleanOptionsFillTheirColumnsAndTheNoteComesOnce) {
  struct Case {
    std::vector<std::string> args;
    bool filled;
    std::string err;
  };
  const Case cases[] = {
      {{"6", "40", "0.7", "3"}, true, ""},
      {{"--no-boolean", "6", "40", "0.7", "3"}, false, ""},
      {{"17", "10", "0.5", "2"},
       false,
       "bounds-study: note: the Boolean bounds are left out: n = 17 is more than 14 (--boolean "
       "raises it to 48)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    TempDir dir;
    const std::string path = (dir.path / "instances.csv").string();
    std::vector<std::string> args{"--first", "1700000000", "--count", "3", "--instances", path};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome result = study(args);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, c.err);
    const std::vector<std::string> rows = linesAfterHeader(readFile(path));
    ASSERT_FALSE(rows.empty());
    for (const std::string& row : rows) {
      const InstanceRow parsed = parseInstancesRow(row);
      const auto& bounds = parsed.bounds;
      EXPECT_EQ(bounds[bounds.size() - 2].has_value(), c.filled) << row;
      EXPECT_EQ(bounds.back().has_value(), c.filled) << row;
    }
    EXPECT_EQ(result.out.find("boolean_upper") != std::string::npos, c.filled);
  }
}

TEST(BoundsStudy, RefusesWhatItCannotFollow) {
  struct Case {
    const char* name;
    std::vector<std::string> args;       // "FILE" stands for a file in a scratch folder
    std::optional<std::string> content;  // of FILE; none: no such file
    int status;
    std::string message;                              // after "bounds-study: "; FILE for its path
    std::optional<std::string> other = std::nullopt;  // of FILE2, a second file
    bool outputFails = false;                         // standard output takes nothing (a full disk)
  };
  const std::string usage = "; try 'bounds-study --help'";
  const std::string header = instancesHeader() + "\n";
  const auto fields = [](const std::string& line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
  };
  const std::size_t headerFields = fields(instancesHeader());
  // The rows give the columns up to de_caen; the later ones are left empty.
  const auto padded = [&](const std::string& text) {
    return text + std::string(headerFields - fields(text), ',') + "\n";
  };
  const std::string row1 = padded(
      "2,40,0.5,2,1,default,15000,,2n,10,0.5,1,0.600000000,0.600000000,0.300000000000,"
      "0.600000001000,,");
  const std::string row2 = padded(
      "2,40,0.5,2,1,default,15000,,2n,10,0.5,2,0.100000000,0.500000000,0.499999990000,0."
      "500000010000,"
      "0.500000010000,"
      "0.450000000000");
  // The same row of second 11.
  auto secondEleven = [](std::string row) { return row.replace(31, 2, "11"); };
  // The same row made with --no-boolean.
  auto noBoolean = [](std::string row) { return row.replace(13, 13, "none,0"); };
  const Case cases[] = {
      {"I not below S",
       {"--shard", "3/3", "4", "50", "0.9", "4"},
       std::nullopt,
       2,
       "--shard takes I/S, whole numbers with 0 <= I < S, not \"3/3\"" + usage},
      {"no slash",
       {"--shard=1", "4", "50", "0.9", "4"},
       std::nullopt,
       2,
       "--shard takes I/S, whole numbers with 0 <= I < S, not \"1\"" + usage},
      {"a sign",
       {"--shard", "-1/2", "4", "50", "0.9", "4"},
       std::nullopt,
       2,
       "--shard takes I/S, whole numbers with 0 <= I < S, not \"-1/2\"" + usage},
      {"R above N",
       {"--at-least", "5", "4", "50", "0.9", "4"},
       std::nullopt,
       2,
       "--at-least takes a whole number R from 1 to N, not \"5\"" + usage},
      {"count of 0",
       {"4", "50", "0.9", "4", "--count", "0"},
       std::nullopt,
       2,
       "--count takes a whole number from 1 to 1000000000, not \"0\"" + usage},
      {"P above 1",
       {"4", "50", "1.5", "4"},
       std::nullopt,
       2,
       "P must be a decimal number from 0 to 1, not \"1.5\"" + usage},
      {"M missing",
       {"4", "50", "0.9"},
       std::nullopt,
       2,
       "M, the maximum order, is missing" + usage},
      {"summarize and count",
       {"--summarize", "--count", "3", "FILE"},
       "",
       2,
       "--summarize reads instances files and takes no --count" + usage},
      {"summarize and --boolean",
       {"--summarize", "--boolean", "FILE"},
       "",
       2,
       "--summarize reads instances files and takes no --boolean" + usage},
      {"no instances file",
       {"--summarize", "FILE"},
       std::nullopt,
       2,
       "cannot open FILE: No such file or directory"},
      {"a folder as instances file",
       {"--summarize", "."},
       std::nullopt,
       2,
       "cannot read .: Is a directory"},
      {"another header",
       {"--summarize", "FILE"},
       "order,S\n",
       2,
       "FILE:1: the first line is not the header \"" + instancesHeader() + "\""},
      {"a row cut short",
       {"--summarize", "FILE"},
       header + "2,40,0.5\n",
       2,
       "FILE:2: 3 fields, not the " + std::to_string(headerFields) + " of the header"},
      {"an instance cut short",
       {"--summarize", "FILE"},
       header + row1,
       2,
       "FILE: second 10 stops after order 1 of 2"},
      {"an instance twice",
       {"--summarize", "FILE"},
       header + row1 + row2 + secondEleven(row1) + secondEleven(row2) + row1,
       2,
       "FILE:6: second 10 comes twice"},
      {"cannot create",
       {"4", "50", "0.9", "4", "--count", "1", "--instances", "FILE/x.csv"},
       std::nullopt,
       2,
       "cannot create FILE/x.csv: No such file or directory"},
      // A study stopped part-way leaves its last row cut anywhere.
      {"the last row cut before its line end",
       {"--summarize", "FILE"},
       header + row1 + row2.substr(0, row2.size() - 1),
       2,
       "FILE:3: the last line has no line end: the file is cut short"},
      {"the last row cut inside its last field",
       {"--summarize", "FILE"},
       header + row1 + row2.substr(0, row2.find("0.450000000000") + 5),
       2,
       "FILE:3: the last line has no line end: the file is cut short"},
      {"the last row cut after a comma",
       {"--summarize", "FILE"},
       header + row1 + row2.substr(0, row2.find("0.450000000000")),
       2,
       "FILE:3: the last line has no line end: the file is cut short"},
      {"a bound without its twelve decimals",
       {"--summarize", "FILE"},
       header + row1 + std::string(row2).replace(row2.find("0.450000000000"), 14, "0.450000"),
       2,
       "FILE:3: de_caen \"0.450000\" is not valid"},
      {"rows of another Boolean mode",
       {"--summarize", "FILE", "FILE2"},
       header + row1 + row2,
       2,
       "FILE2:2: the row was made with the options boolean,boolean_limit,delta,family = "
       "none,0,,2n, "
       "those of FILE with default,15000,,2n; a summary does not mix them",
       header + noBoolean(secondEleven(row1)) + noBoolean(secondEleven(row2))},
      {"a resumed study shorter than its file",
       {"--resume", "FILE", "--first", "10", "--count", "1", "2", "40", "0.5", "2"},
       header + row1 + row2 + secondEleven(row1) + secondEleven(row2),
       2,
       "FILE:4: the file holds more instances than this study: resume it with the options and "
       "settings it was made with"},
      {"--help to a full disk",
       {"--help"},
       std::nullopt,
       1,
       "cannot write standard output",
       std::nullopt,
       true},
      {"--version to a full disk",
       {"--version"},
       std::nullopt,
       1,
       "cannot write standard output",
       std::nullopt,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = (dir.path / "instances.csv").string();
    if (c.content) writeFile(path, *c.content);
    if (c.other) writeFile(path + "2", *c.other);
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
      if (const auto at = arg.find("FILE"); at != std::string::npos) arg.replace(at, 4, path);
    }
    std::string message = c.message;
    for (auto at = message.find("FILE"); at != std::string::npos; at = message.find("FILE", at))
      message.replace(at, 4, path);
    Outcome result = study(args);
    if (c.outputFails) {
      std::ostringstream out, err;
      out.setstate(std::ios::badbit);
      result = {runBoundsStudy(args, out, err), out.str(), err.str()};
    }
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "bounds-study: " + message + "\n");
  }
  if (memoryLimit()) {
    const Outcome large = study({"1073741823", "50", "0.9", "2", "--jobs", "1"});
    EXPECT_EQ(large.status, 3);
    EXPECT_EQ(large.err.rfind("bounds-study: n = 1073741823 needs about ", 0), 0u) << large.err;
  }
}

// A study ended by SIGTERM at any moment leaves a file that --resume
// completes to the bytes of the study run through, with the same summary.
TEST(BoundsStudyLong, SigtermAtRandomMomentsThenResumeGivesTheWholeFile) {
  TempDir dir;
  const std::vector<std::string> study = {"--first", "1700000000", "--count", "30", "--csv",
                                          "10",      "20",         "0.9",     "3"};
  const auto argsWith = [&](const char* store, const std::string& file) {
    std::vector<std::string> args = study;
    args.insert(args.begin(), {store, file});
    return args;
  };
  const std::string wholeFile = (dir.path / "whole.csv").string();
  const auto started = std::chrono::steady_clock::now();
  const auto whole = testing_support::runProgram(testing_support::boundsStudyPath(),
                                                 argsWith("--instances", wholeFile), dir.path, "");
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(whole.exitStatus, 0) << whole.err;
  std::mt19937 generator(20261210);
  std::uniform_int_distribution<long> moment(
      0, std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
  int cut = 0;
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const std::string file = (dir.path / ("cut" + std::to_string(run) + ".csv")).string();
    testing_support::RunningProgram running =
        testing_support::startProgram({.program = testing_support::boundsStudyPath(),
                                       .args = argsWith("--instances", file),
                                       .dir = dir.path});
    std::this_thread::sleep_for(std::chrono::milliseconds(moment(generator)));
    kill(running.pid, SIGTERM);
    const auto ended = testing_support::finishProgram(running);
    ASSERT_TRUE(ended.signal == SIGTERM || ended.exitStatus == 0) << ended.err;
    cut += ended.signal == SIGTERM;
    const auto resumed = testing_support::runProgram(testing_support::boundsStudyPath(),
                                                     argsWith("--resume", file), dir.path, "");
    EXPECT_EQ(resumed.exitStatus, 0) << resumed.err;
    EXPECT_EQ(resumed.out, whole.out);
    EXPECT_EQ(readFile(file), readFile(wholeFile));
  }
  EXPECT_GE(cut, 10);  // most runs were cut short
}

}  // namespace
