// union-bounds --certificates: the file agrees with the report it comes with,
// and scripts/check-certificates, which shares no code with the program,
// re-proves every bound of generated files from the file alone and rejects
// certificates changed by one unit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "evaluation/intersections.h"
#include "instance/random_instance.h"
#include "reporting/columns.h"
#include "reporting/decimal.h"
#include "support/in_process.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using namespace intersections;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

using Words = std::vector<std::string>;
using BoundKey = std::pair<int, std::string>;  // the order and the column

const std::string checker =
    (std::filesystem::path(__FILE__).parent_path().parent_path() / "scripts" / "check-certificates")
        .string();

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

std::string wordAfter(const Words& words, const std::string& key) {
  for (std::size_t i = 0; i + 1 < words.size(); ++i)
    if (words[i] == key) return words[i + 1];
  return "";
}

// The words of the lines of a certificates file that start with `kind`, by
// their order and column.
std::map<BoundKey, Words> linesOf(const std::string& certificates, const std::string& kind) {
  std::map<BoundKey, Words> lines;
  for (const std::string& line : split(certificates, '\n')) {
    const Words words = split(line, ' ');
    if (words.size() > 3 && words[0] == kind) lines[{std::stoi(words[3]), words[1]}] = words;
  }
  return lines;
}

// A probability file in `dir`: `content`, or, without it, the evaluator's
// file of a random instance of n events, orders 1 to m.
std::string writeProbFile(const TempDir& dir, std::int32_t n, std::int32_t density, std::int32_t m,
                          unsigned seed, const char* content = nullptr) {
  const std::string path = (dir.path / "prob.txt").string();
  if (content != nullptr) {
    writeFile(path, content);
    return path;
  }
  std::srand(seed);
  writeIntersectionProbabilitiesTo(path, m, makeWeights(n, 0.9), generateEventMatrix(n, density));
  return path;
}

// union-bounds with --certificates on `path`; the certificates, or "" when it fails.
std::string certify(const TempDir& dir, const std::string& path, std::int32_t n, Words options,
                    std::string* csv = nullptr) {
  const std::string certificates = (dir.path / "certificates.txt").string();
  options.insert(options.end(), {"--csv", "--certificates", certificates, std::to_string(n), path});
  const testing_support::Outcome outcome = testing_support::unionBoundsHere(options);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  if (csv != nullptr) *csv = outcome.out;
  return outcome.status == 0 ? readFile(certificates) : "";
}

testing_support::ProgramResult check(const TempDir& dir, const std::string& path,
                                     const std::string& certificates, Words extra = {}) {
  const std::string file = (dir.path / "checked.txt").string();
  writeFile(file, certificates);
  Words args{path, file};
  args.insert(args.end(), extra.begin(), extra.end());
  return testing_support::runProgram(checker, args, dir.path, "");
}

TEST(Certificates, AgreeWithTheReportTheyComeWith) {
  struct Case {
    std::int32_t n, density, m;
    unsigned seed;
    const char* content;  // instead of a random instance
  };
  // The hand-made file of two events: the Boolean upper bound of order 1 is
  // the sharp one, 0.750000002, and its certificate that one's.
  const Case cases[] = {{2, 0, 2, 0, "0.500000000\r\n0.250000000\r\n0.125000000\r\n"},
                        {12, 20, 4, 5, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE("n = " + std::to_string(c.n));
    TempDir dir;
    const std::string path = writeProbFile(dir, c.n, c.density, c.m, c.seed, c.content);
    std::string csv;
    const std::string certificates = certify(dir, path, c.n, {}, &csv);
    EXPECT_NE(certificates.find("\nn " + std::to_string(c.n) + "\nat_least 1\norders " +
                                std::to_string(c.m) + "\nboolean_orders " + std::to_string(c.m) +
                                "\nhalf_width last_decimal\n"),
              std::string::npos);
    const std::map<BoundKey, Words> bounds = linesOf(certificates, "bound");
    const std::map<BoundKey, Words> witnesses = linesOf(certificates, "witness");
    const std::vector<std::string> rows = split(csv, '\n');
    const std::vector<std::string> header = split(rows.at(0), ',');
    std::size_t printed = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
      const std::vector<std::string> cells = split(rows[r], ',');
      for (const BoundColumn& column : boundColumns()) {
        const std::string name = column.name;
        if (name != "lower" && name != "upper" && name.rfind("boolean_", 0) != 0) continue;
        const std::size_t at = static_cast<std::size_t>(
            std::find(header.begin(), header.end(), name) - header.begin());
        const auto line = bounds.find({static_cast<int>(r), name});
        ASSERT_NE(line, bounds.end()) << name << " of order " << r;
        ++printed;
        const Words& words = line->second;
        EXPECT_EQ(wordAfter(words, "printed"), cells.at(at)) << name << " of order " << r;
        // The exact value, rounded as the report rounds, is the text printed.
        EXPECT_EQ(formatBound(column, mpq_class(wordAfter(words, "value"))), cells.at(at))
            << name << " of order " << r;
        if (column.boolean) {
          EXPECT_EQ(witnesses.count({static_cast<int>(r), name}), 1u) << name << " of order " << r;
        }
      }
    }
    EXPECT_EQ(bounds.size(), printed);
    if (c.content) {
      EXPECT_EQ(wordAfter(bounds.at({1, "boolean_upper"}), "from"), "sharp");
    } else {
      EXPECT_EQ(wordAfter(bounds.at({2, "boolean_lower"}), "from"), "atoms");
    }
  }
}

TEST(Certificates, CheckerProvesEveryBoundOfGeneratedFiles) {
  struct Case {
    std::int32_t n, density, m;
    unsigned seed;
    Words options;
    const char* content = nullptr;  // instead of a random instance
  };
  const Case cases[] = {
      // Lines of every form the reader takes, and a last one without its end.
      {3, 0, 0, 0, {}, "0.5\r\n0.4000\n0.30000000001\n0.2\r\n0.1000000000\n0.1\n0.05"},
      {3, 0, 0, 0, {"--delta", "0.0000000015"}, "0.5\r\n0.4000\n0.30000000001\n0.2\r\n"},
      {6, 50, 6, 1, {}},
      {8, 30, 4, 2, {"--delta", "0.000001"}},
      {12, 20, 4, 3, {}},
      {12, 20, 3, 4, {"--at-least", "2"}},
      {8, 40, 3, 5, {"--at-least", "2", "--delta", "0.0000005"}},
      {12, 30, 4, 6, {"--boolean-limit", "2000"}},
  };
  // The Boolean bounds proved by an earlier order's proof, and by the sharp one.
  int carried = 0, sharp = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("n = " + std::to_string(c.n) + ", seed " + std::to_string(c.seed));
    TempDir dir;
    const std::string path = writeProbFile(dir, c.n, c.density, c.m, c.seed, c.content);
    const std::string certificates = certify(dir, path, c.n, c.options);
    const std::map<BoundKey, Words> bounds = linesOf(certificates, "bound");
    for (const auto& [key, words] : bounds) {
      if (key.second.rfind("boolean_", 0) != 0) continue;
      sharp += wordAfter(words, "from") == "sharp";
      carried += wordAfter(words, "from") == "atoms" && std::stoi(words.at(11)) < key.first;
    }
    const testing_support::ProgramResult result =
        check(dir, path, certificates, {std::to_string(c.n)});
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(result.out.find("FAILS"), std::string::npos) << result.out;
    const std::string total = std::to_string(bounds.size());
    EXPECT_NE(
        result.out.find("check-certificates: " + total + " bounds, " + total + " proved, 0 not"),
        std::string::npos)
        << result.out;
  }
  EXPECT_GT(carried, 0);
  EXPECT_GT(sharp, 0);
}

// `line` of the certificates with `from` replaced by `to` (which must be there).
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(Certificates, CheckerRejectsCertificatesChangedByOneUnit) {
  TempDir dir;
  const std::string path = writeProbFile(dir, 8, 30, 3, 7);
  const std::string certificates = certify(dir, path, 8, {});
  ASSERT_EQ(check(dir, path, certificates).exitStatus, 0);
  const std::map<BoundKey, Words> bounds = linesOf(certificates, "bound");
  // The first Boolean upper bound proved over the atoms, and the first sharp
  // lower bound with a positive dual value.
  Words upper, lower;
  for (const auto& [key, words] : bounds) {
    if (upper.empty() && key.second == "boolean_upper" && wordAfter(words, "from") == "atoms")
      upper = words;
    if (lower.empty() && key.second == "lower" && words.back().find(":low") != std::string::npos)
      lower = words;
  }
  ASSERT_FALSE(upper.empty() || lower.empty()) << certificates;
  const std::string upperName = "order " + upper[3] + " boolean_upper ";
  const std::string lowerName = "order " + lower[3] + " lower ";

  const auto join = [](const Words& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
  };
  const auto withLine = [&](const Words& line, const std::string& changedLine) {
    return replaced(certificates, join(line) + "\n", changedLine);
  };

  // The total's row lies within every atom: one more unit on its multiplier
  // lowers every reduced cost by one, the least one below the least claimed,
  // even with the value moved by what the unit adds.
  const auto y = std::find(upper.begin(), upper.end(), "y") - upper.begin();
  Words changed = upper;
  const std::string& first = changed.at(static_cast<std::size_t>(y + 1));
  if (first.rfind("0:", 0) == 0) {
    changed[static_cast<std::size_t>(y + 1)] =
        "0:" + std::to_string(std::stoll(first.substr(2)) + 1);
  } else {
    changed.insert(changed.begin() + y + 1, "0:1");
  }
  const auto shift = static_cast<mp_bitcnt_t>(std::stoi(wordAfter(upper, "shift")));
  mpq_class value = mpq_class(wordAfter(upper, "value")) - mpq_class(1, mpz_class(1) << shift);
  value.canonicalize();
  changed.at(7) = value.get_str();

  // Likewise the total's dual value of a sharp bound: every v_j's reduced
  // cost drops by the change, and those of the basis are 0.
  Words dual = lower;
  const auto y0 = std::find(dual.begin(), dual.end(), "y") - dual.begin() + 1;
  const mpq_class tiny(1, mpz_class("1000000000000000"));
  mpq_class total = mpq_class(dual.at(static_cast<std::size_t>(y0)).substr(2)) + tiny;
  mpq_class raised = mpq_class(wordAfter(lower, "value")) + tiny;
  total.canonicalize();
  raised.canonicalize();
  dual.at(static_cast<std::size_t>(y0)) = "0:" + total.get_str();
  dual.at(7) = raised.get_str();

  // A moment's interval used at the wrong end, and a printed bound one unit
  // of its last decimal better than the value proved.
  const std::string text = wordAfter(lower, "printed");
  const std::string better = formatFixed(
      *parseDecimal(text) + mpq_class(1, mpz_class("1000000000000")), 12, Rounding::down);
  const std::pair<std::string, std::string> changes[] = {
      {withLine(upper, join(changed) + "\n"),
       upperName + wordAfter(upper, "printed") + ": FAILS: an atom has reduced cost"},
      {withLine(lower, join(dual) + "\n"), lowerName + text + ": FAILS: the dual values fail"},
      {withLine(lower, replaced(join(lower), ":low", ":high") + "\n"),
       lowerName + text + ": FAILS: y_"},
      {withLine(lower, replaced(join(lower), "printed " + text, "printed " + better) + "\n"),
       lowerName + better + ": FAILS: the value proved"},
      {withLine(upper, ""), upperName.substr(0, upperName.size() - 1) + ": FAILS: no certificate"},
  };
  for (const auto& [changedText, failure] : changes) {
    const testing_support::ProgramResult result = check(dir, path, changedText);
    EXPECT_EQ(result.exitStatus, 1) << failure;
    EXPECT_NE(result.out.find(failure), std::string::npos) << result.out;
    EXPECT_NE(result.out.find(" proved, 1 not\n"), std::string::npos) << result.out;
  }

  // Certificates of another n, or a probability file that is not one: bad input.
  EXPECT_EQ(check(dir, path, certificates, {"9"}).exitStatus, 2);
  writeFile(path, readFile(path) + "0.5e-3\r\n");
  EXPECT_EQ(check(dir, path, certificates).exitStatus, 2);
}

TEST(Certificates, AFileThatCannotTakeThemIsRefusedBeforeTheWork) {
  TempDir dir;
  const std::string path = writeProbFile(dir, 4, 50, 2, 8);
  const std::string content = readFile(path);
  const std::string missing = (dir.path / "missing" / "c.txt").string();
  const std::string same = (dir.path / "." / "prob.txt").string();
  const std::pair<std::string, std::string> cases[] = {
      {missing, "cannot write " + missing + ": No such file or directory"},
      {same, same + " is the file read; the certificates need a file of their own"},
  };
  for (const auto& [target, message] : cases) {
    const testing_support::Outcome outcome =
        testing_support::unionBoundsHere({"--certificates", target, "4", path});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "union-bounds: " + message + "\n");
  }
  EXPECT_EQ(readFile(path), content);
}

}  // namespace
