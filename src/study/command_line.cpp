#include "study/command_line.h"

#include <gmpxx.h>

#include <algorithm>
#include <limits>
#include <locale>
#include <sstream>

#include "common/message_text.h"
#include "common/options.h"
#include "common/whole_number.h"
#include "instance/limits.h"
#include "reporting/decimal.h"
#include "study/grid.h"

namespace intersections {

namespace {

constexpr std::int64_t largestInt32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t largestSecond = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t largestCount = 1000000000;
constexpr std::int64_t largestJobs = 1024;
constexpr std::size_t largestGrid = 100000;

std::int64_t whole(const std::string& text, std::int64_t smallest, std::int64_t largest,
                   const std::string& message) {
  const auto value = parseWholeNumber(text, smallest, largest);
  if (!value) throw UsageError(message + ", not \"" + shownText(text) + "\"");
  return *value;
}

// P as the dialogue of intersections reads the same text: formatted extraction
// of a double in the classic locale.
double probability(const std::string& text) {
  const std::optional<mpq_class> exact = parseDecimal(text);
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  double value = 0;
  in >> value;
  if (!exact || *exact < 0 || *exact > 1 || in.fail() || in.peek() != EOF) {
    throw UsageError("P must be a decimal number from 0 to 1, not \"" + shownText(text) + "\"");
  }
  return value;
}

// The settings of the grid: every N of `ns` with every DENSITY, P and M, in
// that order.
std::vector<StudyAnswers> gridSettings(const std::string& ns, const std::string& densities,
                                       const std::string& Ps, const std::string& ms) {
  const auto list = [](const char* name, const std::string& text, std::int64_t largest) {
    const auto values = parseWholeList(text, 1, largest);
    if (!values) {
      throw UsageError(
          std::string(name) + " takes whole numbers from 1 to " + std::to_string(largest) +
          ", separated by commas, and ranges A:B or A:B:STEP, not \"" + shownText(text) + "\"");
    }
    return *values;
  };
  const std::vector<std::int64_t> nValues = list("--n", ns, largestEventCount);
  const std::vector<std::int64_t> densityValues = list("--density", densities, largestInt32);
  const std::vector<std::int64_t> mValues = list("--m", ms, largestInt32);
  std::vector<std::string> PTexts;
  // Each value once: "0.9" and "0.90" are one setting, the first text given.
  std::vector<mpq_class> PValues;
  for (const std::string& item : listItems(Ps)) {
    probability(item);  // refuses what is no P
    const mpq_class value = *parseDecimal(item);
    if (std::find(PValues.begin(), PValues.end(), value) != PValues.end()) continue;
    PValues.push_back(value);
    PTexts.push_back(item);
  }
  std::vector<StudyAnswers> settings;
  for (const std::int64_t n : nValues) {
    for (const std::int64_t density : densityValues) {
      for (const std::string& P : PTexts) {
        for (const std::int64_t m : mValues) {
          settings.push_back({static_cast<std::int32_t>(n), static_cast<std::int32_t>(density), P,
                              probability(P), static_cast<std::int32_t>(m)});
        }
      }
    }
  }
  if (settings.size() > largestGrid) {
    throw UsageError("the grid has " + std::to_string(settings.size()) + " settings, more than " +
                     std::to_string(largestGrid));
  }
  return settings;
}

void parseShard(const std::string& text, StudyOptions& options) {
  const std::string message =
      "--shard takes I/S, whole numbers with 0 <= I < S, not \"" + shownText(text) + "\"";
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) throw UsageError(message);
  const auto index = parseWholeNumber(text.substr(0, slash), 0, largestCount - 1);
  const auto count = parseWholeNumber(text.substr(slash + 1), 1, largestCount);
  if (!index || !count || *index >= *count) throw UsageError(message);
  options.shard = *index;
  options.shards = *count;
}

}  // namespace

StudyOptions parseStudyCommandLine(const std::vector<std::string>& args) {
  static const std::vector<KnownOption> known{
      {"--help"},
      {"-h"},
      {"--version"},
      {"--csv"},
      {"--summarize"},
      {"--boolean"},
      {"--no-boolean"},
      {"--first", true},
      {"--count", true},
      {"--jobs", true},
      {"--shard", true},
      {"--instances", true},
      {"--resume", true},
      {"--at-least", true},
      {"--boolean-limit", true, "the work the Boolean bounds may do"},
      {"--delta", true, "the half-width of a line"},
      {"--outcomes", true, "the number of outcomes"},
      {"--weights", true, "equal or random"},
      {"--bound", true, "NAME:lower:COMMAND or NAME:upper:COMMAND"},
      {"--n", true},
      {"--density", true},
      {"--P", true},
      {"--m", true},
  };
  const Arguments split = splitArguments(args, known);
  const std::vector<std::string>& operands = split.operands;
  StudyOptions options;
  std::vector<std::string> studyOptions;  // given, and meaningless with --summarize
  std::optional<std::string> atLeast;
  // The lists of the grid, by option.
  std::optional<std::string> ns, densities, Ps, ms;
  for (const GivenOption& option : split.options) {
    const std::string& name = option.name;
    const std::string& value = option.value;
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else if (name == "--csv") {
      options.csv = true;
    } else if (name == "--summarize") {
      options.summarize = true;
    } else {
      studyOptions.push_back(name);
      if (name == "--boolean" || name == "--no-boolean") {
        options.boolean = name == "--boolean" ? BooleanMode::all : BooleanMode::none;
      } else if (name == "--first") {
        options.first = whole(
            value, 0, largestSecond,
            "--first takes a second, a whole number from 0 to " + std::to_string(largestSecond));
      } else if (name == "--count") {
        options.count =
            whole(value, 1, largestCount,
                  "--count takes a whole number from 1 to " + std::to_string(largestCount));
      } else if (name == "--jobs") {
        options.jobs = static_cast<int>(
            whole(value, 1, largestJobs,
                  "--jobs takes a whole number from 1 to " + std::to_string(largestJobs)));
      } else if (name == "--shard") {
        parseShard(value, options);
      } else if (name == "--at-least") {
        atLeast = value;  // checked once N is known
      } else if (name == "--boolean-limit") {
        options.booleanLimit = parseBooleanLimit(value);
      } else if (name == "--delta") {
        options.halfWidth = parseHalfWidth(value);
      } else if (name == "--outcomes") {
        options.family.outcomes =
            whole(value, 1, largestOutcomes,
                  "--outcomes takes a whole number from 1 to " + std::to_string(largestOutcomes));
      } else if (name == "--weights") {
        if (value != "equal" && value != "random")
          throw UsageError("--weights takes equal or random, not \"" + shownText(value) + "\"");
        options.family.randomWeights = value == "random";
      } else if (name == "--bound") {
        UserBound bound = parseUserBound(value);
        for (const UserBound& before : options.userBounds) {
          if (before.column.name == bound.column.name)
            throw UsageError("--bound " + bound.column.name + " is given twice");
        }
        options.userBounds.push_back(std::move(bound));
      } else if (name == "--n") {
        ns = value;
      } else if (name == "--density") {
        densities = value;
      } else if (name == "--P") {
        Ps = value;
      } else if (name == "--m") {
        ms = value;
      } else {
        if (value.empty()) throw UsageError(name + " needs a file name");
        if (!options.instancesFile.empty())
          throw UsageError("--instances and --resume name the one instances file: give one");
        options.instancesFile = value;
        options.resume = name == "--resume";
      }
    }
  }
  if (options.help || options.version) return options;
  if (options.summarize) {
    if (!studyOptions.empty())
      throw UsageError("--summarize reads instances files and takes no " + studyOptions[0]);
    if (operands.empty()) throw UsageError("--summarize needs one instances file or more");
    options.files = operands;
    return options;
  }
  if (ns || densities || Ps || ms) {
    if (!operands.empty())
      throw UsageError(
          "give N DENSITY P M as operands or as --n, --density, --P and --m, not both");
    static const char* const missing[] = {"--n", "--density", "--P", "--m"};
    const std::optional<std::string>* lists[] = {&ns, &densities, &Ps, &ms};
    for (std::size_t i = 0; i < 4; ++i) {
      if (!*lists[i]) throw UsageError(std::string(missing[i]) + " is missing from the grid");
    }
    options.settings = gridSettings(*ns, *densities, *Ps, *ms);
  } else {
    static const char* const names[] = {"N, the number of events",
                                        "DENSITY, the percentage of ones",
                                        "P, the probability of the union", "M, the maximum order"};
    if (operands.size() < 4) throw UsageError(std::string(names[operands.size()]) + ", is missing");
    if (operands.size() > 4)
      throw UsageError("too many operands: \"" + shownText(operands[4]) + "\"");
    StudyAnswers answers;
    answers.n = static_cast<std::int32_t>(
        whole(operands[0], 1, largestEventCount,
              "N must be a whole number from 1 to " + std::to_string(largestEventCount)));
    answers.density = static_cast<std::int32_t>(
        whole(operands[1], 1, largestInt32,
              "DENSITY must be a whole number from 1 to " + std::to_string(largestInt32) +
                  " (percent; 100 or more gives a matrix of ones)"));
    answers.probabilityText = operands[2];
    answers.probability = probability(operands[2]);
    answers.m = static_cast<std::int32_t>(
        whole(operands[3], 1, largestInt32,
              "M must be a whole number from 1 to " + std::to_string(largestInt32)));
    options.settings.push_back(answers);
  }
  if (atLeast) {
    std::int32_t fewest = options.settings.front().n;
    for (const StudyAnswers& setting : options.settings) fewest = std::min(fewest, setting.n);
    options.request.atLeast = static_cast<std::int32_t>(
        whole(*atLeast, 1, fewest, "--at-least takes a whole number R from 1 to N"));
  }
  const std::int64_t first = options.first.value_or(0);
  if (options.count - 1 > largestSecond - first) {
    throw UsageError("--first " + std::to_string(first) + " and --count " +
                     std::to_string(options.count) + " go past the last second " +
                     std::to_string(largestSecond));
  }
  return options;
}

std::string studyUsageText() {
  return "usage: bounds-study [options] N DENSITY P M\n"
         "       bounds-study [options] --n LIST --density LIST --P LIST --m LIST\n"
         "       bounds-study --summarize [--csv] FILE...\n"
         "Studies the instances that intersections draws for the answers N, DENSITY, P and M\n"
         "when its last answer is read in the clock seconds T, T + 1, ..., T + K - 1: each is\n"
         "drawn as that run draws it, its lines made as prob.txt would hold them (no file is\n"
         "written), and its bounds computed as union-bounds computes them. With lists, every\n"
         "setting of the grid they span, each with the same seconds. Prints, for each setting,\n"
         "order and bound, how far the bound lies from the true probability of the event over\n"
         "the instances (the smallest, mean, median and largest distance, and how often the\n"
         "bound was the tightest of the classical bounds of its side) and from the best bound\n"
         "the orders allow, the Boolean bound of its side. A rigorous bound on the wrong side\n"
         "is a defect: a line on standard error names the second and the bound, and the\n"
         "status is 1.\n"
         "\n"
         "  --n LIST, --density LIST, --P LIST, --m LIST\n"
         "                     the grid: whole numbers separated by commas, or ranges A:B or\n"
         "                     A:B:STEP; P decimal numbers separated by commas\n"
         "  --first T          the first second (default: the current one)\n"
         "  --count K          the number of seconds (default 100)\n"
         "  --jobs J           threads (default: the processors this process may use)\n"
         "  --shard I/S        take only shard I of S, the instances split by their cost\n"
         "  --instances FILE   write one CSV row per instance and order to FILE, each\n"
         "                     instance as soon as it and every earlier one are done\n"
         "  --resume FILE      go on from the instances FILE holds (the same arguments,\n"
         "                     with --first T unless FILE's first row says it)\n"
         "  --at-least R       study the probability that at least R of the N events occur\n"
         "                     (1 to N; 1, the default, is the union)\n"
         "  --boolean          the Boolean bounds up to n = 48 and 6,000 lines of orders 1\n"
         "                     to k (by default up to n = 14 and 800 lines)\n"
         "  --no-boolean       leave the Boolean bounds out\n"
         "  --boolean-limit L  the work they may do an instance, as in union-bounds\n"
         "  --delta D          take every line as any value within D of it, as union-bounds\n"
         "  --outcomes OUTCOMES\n"
         "                     instances of that many equally likely outcomes instead of\n"
         "                     2N, their rows drawn as intersections draws its rows\n"
         "  --weights random   outcomes of random weights adding up to P, drawn after the\n"
         "                     rows (--weights equal, the default: each P / OUTCOMES)\n"
         "  --bound NAME:SIDE:COMMAND\n"
         "                     a bound of your own, SIDE lower or upper: for each instance\n"
         "                     /bin/sh -c 'COMMAND N' reads its lines of orders 1 to M as\n"
         "                     intersections writes them and prints one number per order;\n"
         "                     a column of the rows and lines of the summary (repeatable)\n"
         "  --summarize        compute nothing: read instances files, of any settings and\n"
         "                     shards of one study, and print the summary of all their rows\n"
         "  --csv              print the summary as CSV\n"
         "  --help             show this text\n"
         "  --version          show the version\n"
         "\n"
         "Exit status: 0 done, 1 a bound on the wrong side (or this text could not be\n"
         "written), 2 a refused command line or file, 3 the instances do not fit in\n"
         "memory, 4 an internal error.\n";
}

}  // namespace intersections
