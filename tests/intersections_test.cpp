#include "evaluation/intersections.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "evaluation/line_file.h"
#include "evaluation/number_format.h"
#include "instance/index_sets.h"
#include "instance/sequence_ops.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace intersections {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runInChild;
using testing_support::TempDir;
using testing_support::WorkingDirectory;
using testing_support::writeFile;

constexpr std::int32_t largestM = std::numeric_limits<std::int32_t>::max();
const std::string oldContent = "old content\r\n";

EventMatrix matrixOf(std::initializer_list<std::initializer_list<std::int32_t>> rows) {
  EventMatrix matrix;
  for (const auto& row : rows) matrix.emplace_back(row);
  return matrix;
}

DoubleSequence repeated(std::size_t count, double weight) { return DoubleSequence(count, weight); }

// The file the evaluator leaves in a fresh directory that already holds an
// old prob.txt, which it must replace.
std::string evaluate(std::int32_t m, const DoubleSequence& weights, const EventMatrix& matrix) {
  TempDir dir;
  writeFile(dir.path / outputFileName, oldContent);
  WorkingDirectory inside(dir.path);
  writeIntersectionProbabilities(m, weights, matrix);
  return readFile(dir.path / outputFileName);
}

// The same file built the long way: transpose the matrix, list the sets, take
// the product of the columns of each set and add the weights of the rows
// where it is 1, in row order.
std::string composedFile(std::int32_t m, const DoubleSequence& weights, const EventMatrix& matrix) {
  const EventMatrix columns = transpose(matrix);
  const auto n = static_cast<std::int32_t>(columns.size());
  std::string file;
  for (const IndexSet& set : enumerateIndexSets(n, m)) {
    IntSequence indicator = columns[static_cast<std::size_t>(set[0] - 1)];
    for (std::size_t i = 1; i < set.size(); ++i) {
      indicator = coordProduct(indicator, columns[static_cast<std::size_t>(set[i] - 1)]);
    }
    double sum = 0.0;
    for (std::size_t j = 0; j < indicator.size(); ++j) {
      if (indicator[j] == 1) sum += weights[j];
    }
    file += formatProbability(sum);
    file += "\r\n";
  }
  return file;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// ---------------------------------------------------------------------------
// Small inputs with known files.
// ---------------------------------------------------------------------------

// Two events, rows (1,0), (0,1), (1,1), (1,0), each of weight 0.8 / 4.
EventMatrix exampleMatrix() { return matrixOf({{1, 0}, {0, 1}, {1, 1}, {1, 0}}); }
DoubleSequence exampleWeights() { return repeated(4, 0.8 / 4); }
const std::string exampleFile = "0.600000000\r\n0.400000000\r\n0.200000000\r\n";

TEST(IntersectionProbabilities, WorkedExample) {
  EXPECT_EQ(evaluate(2, exampleWeights(), exampleMatrix()), exampleFile);
}

TEST(IntersectionProbabilities, EdgeCases) {
  const std::string sixths =
      "1.000000000\r\n1.000000000\r\n0.833333333\r\n"
      "1.000000000\r\n0.833333333\r\n0.833333333\r\n0.833333333\r\n";
  struct Case {
    const char* name;
    std::int32_t m;
    DoubleSequence weights;
    EventMatrix matrix;
    std::string expected;
  };
  const Case cases[] = {
      {"m = 0 empties an old file", 0, exampleWeights(), exampleMatrix(), ""},
      {"negative m", -1, exampleWeights(), exampleMatrix(), ""},
      {"smallest m", std::numeric_limits<std::int32_t>::min(), exampleWeights(), exampleMatrix(),
       ""},
      {"m = n + 1", 3, exampleWeights(), exampleMatrix(), exampleFile},
      {"largest m", largestM, exampleWeights(), exampleMatrix(), exampleFile},
      {"m = 1 stops after the single events", 1, exampleWeights(), exampleMatrix(),
       "0.600000000\r\n0.400000000\r\n"},
      {"one event", 1, {0.25, 0.5, 0.125}, matrixOf({{1}, {0}, {1}}), "0.375000000\r\n"},
      {"one event, larger m", 5, {0.25, 0.5, 0.125}, matrixOf({{1}, {0}, {1}}), "0.375000000\r\n"},
      {"a set in no row",
       2,
       {0.5, 0.5},
       matrixOf({{1, 0}, {0, 1}}),
       "0.500000000\r\n0.500000000\r\n0.000000000\r\n"},
      // Six sixths add up to 0.99999999999999989, five to 0.83333333333333326.
      {"P = 1 over six rows", 3, repeated(6, 1.0 / 6),
       matrixOf({{1, 1, 1}, {1, 1, 1}, {1, 1, 0}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}}), sixths},
      {"P = 1 over six rows, unequal bits",
       3,
       {1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6, 1.0 / 6, 42.0},  // the extra weight is ignored
       matrixOf({{1, 1, 1}, {1, 1, 1}, {1, 1, 0}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}}),
       sixths},
      // A set in no row sums to +0.0: no minus sign even with negative weights.
      {"negative P", 2, repeated(4, -1.0 / 4), matrixOf({{1, 0}, {0, 0}, {0, 1}, {0, 1}}),
       "-0.250000000\r\n-0.500000000\r\n0.000000000\r\n"},
      {"sums of 10^8 and more",
       2,
       {1e8, 1.0 / 1024, 5e8, 0.25},
       matrixOf({{1, 1}, {1, 0}, {0, 1}, {1, 1}}),
       "100000000.250976560\r\n600000000.250000000\r\n100000000.250000000\r\n"},
      {"equal weights past 10^9", 1, repeated(4, 3e8), matrixOf({{1}, {1}, {1}, {1}}),
       "1200000000.000000000\r\n"},
      {"a sum past 10^17",
       1,
       {1e17, 16.0},
       matrixOf({{1}, {1}}),
       "100000000000000020.000000000\r\n"},
      {"matrix without rows", 3, {}, {}, ""},
      {"matrix without rows, spare weights", 3, {0.5, 0.5}, {}, ""},
      {"rows without events", 3, {0.5, 0.5}, matrixOf({{}, {1, 1}}), ""},
      // Entries past the length of the first row are ignored, whatever they hold.
      {"longer later rows", 2, {0.25, 0.5}, matrixOf({{1}, {1, 7, -3}}), "0.750000000\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(evaluate(c.m, c.weights, c.matrix), c.expected) << c.name;
  }
}

// 1024 rows of weight 1/1024 spread over 16 words per column. Event 1 is in
// row 1000 only, event 2 in five rows across the first words and row 1000,
// event 3 in every row, event 512 in rows 64 to 127; the others in none.
TEST(IntersectionProbabilities, ManyRowsWithEqualWeights) {
  const std::size_t rows = 1024;
  const std::int32_t n = 512;
  EventMatrix matrix(rows, IntSequence(n, 0));
  std::vector<std::vector<bool>> in(n + 1, std::vector<bool>(rows, false));
  auto set = [&](std::int32_t event, std::size_t row) {
    matrix[row][static_cast<std::size_t>(event - 1)] = 1;
    in[static_cast<std::size_t>(event)][row] = true;
  };
  set(1, 1000);
  for (std::size_t row : {0u, 63u, 64u, 127u, 1000u}) set(2, row);
  for (std::size_t row = 0; row < rows; ++row) set(3, row);
  for (std::size_t row = 64; row < 128; ++row) set(512, row);

  auto line = [](std::size_t count) -> std::string {
    switch (count) {
      case 0:
        return "0.000000000\r\n";
      case 1:
        return "0.000976563\r\n";
      case 2:
        return "0.001953125\r\n";
      case 5:
        return "0.004882813\r\n";
      case 64:
        return "0.062500000\r\n";
      case 1024:
        return "1.000000000\r\n";
    }
    return "unexpected count " + std::to_string(count);
  };
  auto count = [&](std::int32_t a, std::int32_t b) {
    std::size_t total = 0;
    for (std::size_t row = 0; row < rows; ++row)
      total += in[static_cast<std::size_t>(a)][row] && in[static_cast<std::size_t>(b)][row];
    return total;
  };
  std::string expected;
  for (std::int32_t a = 1; a <= n; ++a) expected += line(count(a, a));
  for (std::int32_t a = 1; a <= n; ++a) {
    for (std::int32_t b = a + 1; b <= n; ++b) expected += line(count(a, b));
  }
  const std::string actual = evaluate(2, repeated(rows, 1.0 / 1024), matrix);
  ASSERT_EQ(actual.size(), expected.size());
  EXPECT_TRUE(actual == expected);
  // The lines the counts above stand for, spelled out.
  EXPECT_EQ(actual.substr(0, 3 * 13), "0.000976563\r\n0.004882813\r\n1.000000000\r\n");
  EXPECT_EQ(actual.substr(511 * 13, 13), "0.062500000\r\n");

  // The same matrix with one weight different takes the path without the
  // table of equal sums; row 0 holds none of event 1.
  DoubleSequence weights = repeated(rows, 1.0 / 1024);
  weights[0] = 0.5;
  const std::string unequal = evaluate(1, weights, matrix);
  EXPECT_EQ(unequal.substr(0, 3 * 13), "0.000976563\r\n0.503906250\r\n1.499023438\r\n");
}

TEST(IntersectionProbabilities, BadInputThrowsAndLeavesTheFileAlone) {
  EventMatrix longMatrix(200, IntSequence{1, 0, 1});
  EventMatrix shortLate = longMatrix;
  shortLate[150].pop_back();
  EventMatrix twoLate = longMatrix;
  twoLate[199][2] = 2;
  struct Case {
    const char* name;
    std::int32_t m;
    DoubleSequence weights;
    EventMatrix matrix;
  };
  const Case cases[] = {
      {"second row shorter", 2, repeated(2, 0.5), matrixOf({{1, 0}, {1}})},
      {"late row shorter", 3, repeated(200, 0.005), shortLate},
      {"entry 2", 2, repeated(2, 0.5), matrixOf({{1, 2}, {1, 0}})},
      {"entry -1", 2, repeated(2, 0.5), matrixOf({{1, 0}, {-1, 0}})},
      {"entry 2 in the last row", 3, repeated(200, 0.005), twoLate},
      {"fewer weights than rows", 2, repeated(3, 0.25), matrixOf({{1, 0}, {0, 1}, {1, 1}, {1, 1}})},
      {"no weights", 1, {}, matrixOf({{1}})},
      {"bad entry with m = 0", 0, repeated(2, 0.5), matrixOf({{1, 0}, {1, 3}})},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path file = dir.path / outputFileName;
    writeFile(file, oldContent);
    {
      WorkingDirectory inside(dir.path);
      EXPECT_THROW(writeIntersectionProbabilities(c.m, c.weights, c.matrix), std::invalid_argument)
          << c.name;
    }
    EXPECT_EQ(readFile(file), oldContent) << c.name;
    const fs::path other = dir.path / "other.txt";
    writeFile(other, oldContent);
    EXPECT_THROW(writeIntersectionProbabilitiesTo(other.string(), c.m, c.weights, c.matrix),
                 std::invalid_argument)
        << c.name;
    EXPECT_EQ(readFile(other), oldContent) << c.name;
  }
}

// ---------------------------------------------------------------------------
// Random inputs against the composed file.
// ---------------------------------------------------------------------------

#ifdef INTERSECTIONS_SANITIZED_BUILD
constexpr int randomFiles = 60;
#else
constexpr int randomFiles = 400;
#endif

TEST(IntersectionProbabilities, MatchesTheComposedFileOnRandomInputs) {
  std::mt19937_64 random(31337);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto below = [&](std::size_t bound) { return static_cast<std::size_t>(random() % bound); };
  std::size_t files = 0;
  std::size_t lines = 0;
  std::size_t failures = 0;
  for (int iteration = 0; iteration < randomFiles && failures < 3; ++iteration) {
    const auto n = static_cast<std::int32_t>(1 + below(12));
    // Row counts around the word boundaries and beyond two words.
    static constexpr std::size_t rowChoices[] = {1,   2,   5,   17,  63,  64, 65,
                                                 127, 128, 129, 191, 200, 300};
    const std::size_t rows =
        iteration % 3 == 0 ? 1 + below(300) : rowChoices[below(std::size(rowChoices))];
    const double density = unit(random);
    EventMatrix matrix(rows);
    for (std::size_t j = 0; j < rows; ++j) {
      IntSequence& row = matrix[j];
      for (std::int32_t e = 0; e < n; ++e) row.push_back(unit(random) < density ? 1 : 0);
      // Later rows may be longer than the first; their extra entries are ignored.
      if (j > 0 && below(10) == 0) row.push_back(static_cast<std::int32_t>(below(5)));
    }

    DoubleSequence weights;
    const int kind = iteration % 4;
    const double P = below(5) == 0   ? -unit(random)
                     : below(4) == 0 ? unit(random) * 1e9
                                     : unit(random);
    if (kind == 0) {
      // Unequal weights of very different sizes.
      for (std::size_t j = 0; j < rows; ++j)
        weights.push_back(unit(random) * std::pow(10.0, static_cast<double>(below(12)) - 6));
    } else if (kind == 1) {
      weights = repeated(rows, P / static_cast<double>(rows));
    } else if (kind == 2) {
      weights = repeated(rows, P / static_cast<double>(rows));
      weights[below(rows)] += 1.0 / 1024;  // one weight differs
    } else {
      // Equal weights followed by ignored extra ones that differ.
      weights = repeated(rows, 1.0 / static_cast<double>(rows));
      weights.push_back(0.5);
      weights.push_back(-3.0);
    }
    const auto m = below(20) == 0
                       ? largestM
                       : static_cast<std::int32_t>(below(static_cast<std::size_t>(n) + 3)) - 1;

    const std::string expected = composedFile(m, weights, matrix);
    std::string actual;
    if (iteration % 2 == 0) {
      actual = evaluate(m, weights, matrix);
    } else {
      TempDir dir;
      const fs::path path = dir.path / "elsewhere.txt";
      writeFile(path, oldContent);
      WorkingDirectory inside(dir.path);
      writeIntersectionProbabilitiesTo(path.string(), m, weights, matrix);
      actual = readFile(path);
      EXPECT_FALSE(fs::exists(dir.path / outputFileName))
          << "writing to another path created prob.txt";
    }
    ++files;
    for (char c : expected) lines += c == '\n';
    if (actual != expected) {
      ++failures;
      std::size_t at = 0;
      while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
      ADD_FAILURE() << "n = " << n << ", rows = " << rows << ", m = " << m << ", weights kind "
                    << kind << ": files differ at byte " << at << " (expected " << expected.size()
                    << " bytes, got " << actual.size()
                    << ")\n  expected: " << expected.substr(at > 40 ? at - 40 : 0, 80)
                    << "\n  actual:   " << actual.substr(at > 40 ? at - 40 : 0, 80);
    }
  }
  RecordProperty("files", std::to_string(files));
  RecordProperty("lines", std::to_string(lines));
  std::cout << "[ compared ] " << files << " files, " << lines << " lines\n";
  EXPECT_GT(lines, std::size_t{1000});
}

// ---------------------------------------------------------------------------
// Output failures.
// ---------------------------------------------------------------------------

// Runs the worked example in the working directory and returns the message of
// the OutputError it must throw.
std::string exampleOutputError() {
  try {
    writeIntersectionProbabilities(2, exampleWeights(), exampleMatrix());
  } catch (const OutputError& error) {
    return error.what();
  }
  ADD_FAILURE() << "no OutputError";
  return "";
}

TEST(IntersectionProbabilitiesOutput, DirectoryInTheWay) {
  TempDir dir;
  const fs::path blocker = dir.path / outputFileName;
  fs::create_directory(blocker);
  writeFile(blocker / "inside.txt", "kept");
  WorkingDirectory inside(dir.path);
  const std::string message = exampleOutputError();
  EXPECT_TRUE(contains(message, outputFileName)) << message;
  EXPECT_TRUE(fs::is_directory(blocker));
  EXPECT_EQ(readFile(blocker / "inside.txt"), "kept");
}

TEST(IntersectionProbabilitiesOutput, FullDevice) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  TempDir dir;
  fs::create_symlink("/dev/full", dir.path / outputFileName);
  WorkingDirectory inside(dir.path);
  const std::string message = exampleOutputError();
  EXPECT_TRUE(contains(message, outputFileName)) << message;
  EXPECT_TRUE(contains(message, "No space left on device")) << message;
}

TEST(IntersectionProbabilitiesOutput, ReadOnlyFile) {
  TempDir dir;
  const fs::path file = dir.path / outputFileName;
  writeFile(file, oldContent);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Exit codes of the attempt.
  enum { reported = 0, noDirectory = 10, noPrivilegeDrop = 11, notThrown = 12, wrongMessage = 13 };
  auto attempt = [] {
    try {
      writeIntersectionProbabilities(2, exampleWeights(), exampleMatrix());
      return static_cast<int>(notThrown);
    } catch (const OutputError& error) {
      const bool named = contains(error.what(), outputFileName);
      const bool reason = contains(error.what(), "Permission denied");
      return static_cast<int>(named && reason ? reported : wrongMessage);
    }
  };
  int code;
  if (geteuid() != 0) {
    WorkingDirectory inside(dir.path);
    code = attempt();
  } else {
    // Permissions do not stop root: try as nobody in a child, from inside the
    // directory so that its parents need not be searchable.
    fs::permissions(dir.path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    code = runInChild([&] {
      if (chdir(dir.path.c_str()) != 0) return static_cast<int>(noDirectory);
      if (setgid(65534) != 0 || setuid(65534) != 0) return static_cast<int>(noPrivilegeDrop);
      return attempt();
    });
    if (code == noPrivilegeDrop) GTEST_SKIP() << "running as root and cannot switch to uid 65534";
  }
  EXPECT_EQ(code, reported)
      << "10: no directory, 12: nothing thrown, 13: message without the file name "
         "or \"Permission denied\", other: crashed";
  EXPECT_EQ(readFile(file), oldContent);
}

// A file size limit lets a write through up to the limit and then fails it.
// The file must be cut back to the complete lines before it.
TEST(LineFileOutput, WriteCutPartWayLeavesCompleteLines) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 20; ++i) lines.push_back(formatProbability(i / 1024.0) + "\r\n");
  const std::size_t lineLength = lines[0].size();
  ASSERT_EQ(lineLength, 13u);
  enum {
    failedWhereExpected = 0,
    failedElsewhere = 20,
    wrongMessage = 21,
    neverFailed = 22,
    noLimit = 23
  };
  for (const rlim_t limit :
       {rlim_t{0}, rlim_t{5}, rlim_t{65}, rlim_t{71}, rlim_t{77}, rlim_t{200}}) {
    TempDir dir;
    const fs::path path = dir.path / "lines.txt";
    const std::size_t complete = limit / lineLength;  // lines that fit whole
    const int code = runInChild([&] {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit size{limit, limit};
      if (setrlimit(RLIMIT_FSIZE, &size) != 0) return static_cast<int>(noLimit);
      LineFile out = openLineFile(path.string());
      for (std::size_t i = 0; i < lines.size(); ++i) {
        try {
          writeLine(out, lines[i].data(), lines[i].size());
        } catch (const OutputError& error) {
          if (i != complete) return static_cast<int>(failedElsewhere);
          const bool named = contains(error.what(), path.string());
          const bool reason = contains(error.what(), std::strerror(EFBIG));
          return static_cast<int>(named && reason ? failedWhereExpected : wrongMessage);
        }
      }
      return static_cast<int>(neverFailed);
    });
    EXPECT_EQ(code, failedWhereExpected)
        << "limit " << limit
        << " (20: failed at another line, 21: message without the path or "
           "reason, 22: never failed, 23: no limit set)";
    std::string expected;
    for (std::size_t i = 0; i < complete; ++i) expected += lines[i];
    const std::string content = readFile(path);
    EXPECT_EQ(content.size() % lineLength, 0u) << "limit " << limit;
    EXPECT_EQ(content, expected) << "limit " << limit;
  }
}

// The evaluator stopped by the same limit: prob.txt holds the lines before the
// failing one, for both the table of equal sums and the general path.
TEST(IntersectionProbabilitiesOutput, FileSizeLimitLeavesCompleteLines) {
  std::mt19937_64 random(5);
  EventMatrix matrix(16);
  for (IntSequence& row : matrix) {
    for (int e = 0; e < 8; ++e) row.push_back(static_cast<std::int32_t>(random() % 2));
  }
  DoubleSequence unequal;
  for (int j = 0; j < 16; ++j)
    unequal.push_back(static_cast<double>(j + 1) / 200.0);  // sums below 1
  for (const DoubleSequence& weights : {repeated(16, 1.0 / 16), unequal}) {
    const std::string full = composedFile(8, weights, matrix);
    ASSERT_EQ(full.size(), 255u * 13);
    const rlim_t limit = 100 * 13 + 7;
    TempDir dir;
    writeFile(dir.path / outputFileName, oldContent);
    enum { reported = 0, notThrown = 30, wrongMessage = 31, noLimit = 32, noDirectory = 33 };
    const int code = runInChild([&] {
      if (chdir(dir.path.c_str()) != 0) return static_cast<int>(noDirectory);
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit size{limit, limit};
      if (setrlimit(RLIMIT_FSIZE, &size) != 0) return static_cast<int>(noLimit);
      try {
        writeIntersectionProbabilities(8, weights, matrix);
        return static_cast<int>(notThrown);
      } catch (const OutputError& error) {
        return static_cast<int>(contains(error.what(), outputFileName) ? reported : wrongMessage);
      }
    });
    EXPECT_EQ(code, reported)
        << "30: nothing thrown, 31: message without the file name, 32: no limit set";
    EXPECT_EQ(readFile(dir.path / outputFileName), full.substr(0, 100 * 13));
  }
}

}  // namespace
}  // namespace intersections
