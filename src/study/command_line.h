#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bounds/order_bounds.h"
#include "common/options.h"
#include "reporting/boolean_scope.h"
#include "study/instance_family.h"
#include "study/study_answers.h"
#include "study/user_bound.h"

namespace intersections {

// What the command line of bounds-study asks for.
struct StudyOptions {
  bool help = false;
  bool version = false;
  bool csv = false;
  bool summarize = false;
  std::vector<std::string> files;  // with --summarize: the instances files to read
  // The settings (N, DENSITY, P, M) of the study: one from the operands, or
  // every combination of the lists of --n, --density, --P and --m, in that
  // order (the last varying fastest).
  std::vector<StudyAnswers> settings;
  std::optional<std::int64_t> first;  // the first second; the current one when not given
  std::int64_t count = 100;
  std::optional<int> jobs;  // threads; the processors this process may use when not given
  std::int64_t shard = 0;   // this process takes shard `shard` of `shards` (see studyPlan)
  std::int64_t shards = 1;
  std::string instancesFile;  // where to write the rows of every instance, "" for nowhere
  bool resume = false;        // --resume FILE: go on from the rows FILE holds
  BoundsRequest request;      // its Boolean orders are set for each setting once memory is known
  BooleanMode boolean = BooleanMode::cheap;   // --boolean: all, --no-boolean: none
  std::optional<std::uint64_t> booleanLimit;  // --boolean-limit L
  std::optional<std::uint32_t> halfWidth;     // --delta D, in units, rounded up
  InstanceFamily family;                      // --outcomes, --weights
  std::vector<UserBound> userBounds;          // --bound, in the order given
};

// Parses the arguments after the program's name:
//   [options] N DENSITY P M
//   [options] --n LIST --density LIST --P LIST --m LIST
//   --summarize [--csv] FILE...
// with the options --first T, --count K, --jobs J, --shard I/S (each also as
// --option=value), --instances FILE, --resume FILE, --at-least R, --boolean,
// --no-boolean (the last of the two counts), --boolean-limit L, --delta D,
// --outcomes OUTCOMES (1 to largestOutcomes), --weights equal|random, --bound
// NAME:lower|upper:COMMAND (parseUserBound; any number of them, each NAME
// once), --csv, --help, --version; "--" ends the options. N is a whole number from 1
// to 1073741823, DENSITY one from 1 to 2147483647, P a decimal number from 0
// to 1, M a whole number from 1 to 2147483647; the lists of whole numbers as
// parseWholeList takes them, that of P decimal numbers separated by commas.
// With --help or --version nothing else is checked. Throws UsageError.
StudyOptions parseStudyCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string studyUsageText();

}  // namespace intersections
