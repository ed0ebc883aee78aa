#include "union_bounds/command_line.h"

#include <algorithm>

#include "common/message_text.h"
#include "common/options.h"
#include "common/whole_number.h"
#include "instance/limits.h"
#include "reporting/decimal.h"

namespace intersections {

namespace {

// The value of `text` if it is digits alone, from 1 to `largest`.
std::optional<std::int32_t> parseWhole(const std::string& text, std::int32_t largest) {
  const auto value = parseWholeNumber(text, 1, largest);
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

std::int32_t parseN(const std::string& text) {
  const std::optional<std::int32_t> n = parseWhole(text, largestEventCount);
  if (!n) {
    throw UsageError("N must be a whole number from 1 to " + std::to_string(largestEventCount) +
                     ", not \"" + shownText(text) + "\"");
  }
  return *n;
}

std::int32_t parseAtLeast(const std::string& text, std::int32_t n) {
  const std::optional<std::int32_t> r = parseWhole(text, n);
  if (!r)
    throw UsageError("--at-least takes a whole number R from 1 to N, not \"" + shownText(text) +
                     "\"");
  return *r;
}

KnownUnion parseUnion(const std::string& text) {
  const std::optional<mpq_class> value = parseDecimal(text);
  if (!value || *value < 0 || *value > 1) {
    throw UsageError("--union takes a probability, a decimal number from 0 to 1 with at most " +
                     std::to_string(decimalExponentLimit) + " decimals, not \"" + shownText(text) +
                     "\"");
  }
  return {text, *value};
}

}  // namespace

BoundsOptions parseCommandLine(const std::vector<std::string>& args) {
  static const std::vector<KnownOption> known{
      {"--help"},
      {"-h"},
      {"--version"},
      {"--csv"},
      {"--boolean"},
      {"--no-boolean"},
      {"--union", true, "the known union probability P"},
      {"--at-least", true, "the number R of events that must occur"},
      {"--delta", true, "the half-width of a line"},
      {"--boolean-limit", true, "the work the Boolean bounds may do"},
      {"--certificates", true, "the file to write the certificates to"},
  };
  const Arguments split = splitArguments(args, known);
  BoundsOptions options;
  std::optional<std::string> atLeast;  // checked once N is known
  for (const GivenOption& option : split.options) {
    const std::string& name = option.name;
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else if (name == "--csv") {
      options.csv = true;
    } else if (name == "--boolean") {
      options.boolean = BooleanMode::all;
    } else if (name == "--no-boolean") {
      options.boolean = BooleanMode::none;
    } else if (name == "--union") {
      options.known = parseUnion(option.value);
    } else if (name == "--at-least") {
      atLeast = option.value;
    } else if (name == "--boolean-limit") {
      options.booleanLimit = parseBooleanLimit(option.value);
    } else if (name == "--certificates") {
      options.certificates = option.value;
    } else {
      options.halfWidth = parseHalfWidth(option.value);
    }
  }
  const std::vector<std::string>& operands = split.operands;
  if (options.help || options.version) return options;
  if (operands.empty()) throw UsageError("N, the number of events, is missing");
  if (operands.size() > 2)
    throw UsageError("too many operands: \"" + shownText(operands[2]) + "\"");
  options.n = parseN(operands[0]);
  if (atLeast) options.atLeast = parseAtLeast(*atLeast, options.n);
  if (operands.size() == 2) options.file = operands[1];
  return options;
}

std::string usageText() {
  return "usage: union-bounds [--union P] [--at-least R] [--delta D] [--boolean | --no-boolean]\n"
         "                    [--boolean-limit L] [--certificates FILE] [--csv] N [FILE]\n"
         "Reads the probabilities of the intersections of n = N events, as intersections\n"
         "writes them (FILE, prob.txt by default, - for standard input), and prints exact\n"
         "bounds on the probability of their union for each order of the file: the sum S of\n"
         "the order, the Bonferroni sum, the sharp lower and upper bounds given the orders up\n"
         "to it, the bounds of Hunter-Worsley, de Caen and Kuai-Alajaji-Takahara, and a\n"
         "t-cherry tree bound, and the Boolean bounds: the best any bound from those orders\n"
         "could do. Each line is taken as any true value within one unit of its\n"
         "last decimal (10^-9 for nine decimals), and every bound holds for all of them.\n"
         "Lines may end in CR LF or LF.\n"
         "\n"
         "  --union P      the known probability of the event bounded: also show each\n"
         "                 bound's margin to P, and warn when P lies outside a bound\n"
         "  --at-least R   bound the probability that at least R of the N events occur\n"
         "                 (1 to N; 1 is the union): the Bonferroni-type sums, the sharp\n"
         "                 and the Boolean bounds\n"
         "  --delta D      take every line as any value within D of it instead (0: exact\n"
         "                 values), D rounded up to a multiple of 10^-9\n"
         "  --boolean      the Boolean bounds up to n = 48 and 6,000 lines of orders 1 to k\n"
         "                 (by default up to n = 14 and 800 lines)\n"
         "  --no-boolean   leave the Boolean bounds out\n"
         "  --boolean-limit L\n"
         "                 the work the Boolean bounds may do, in units that do not depend\n"
         "                 on the machine (about 15,000 a second here; 0: no limit; by\n"
         "                 default 15,000 without --boolean, no limit with it); where it runs\n"
         "                 out they are the best proved so far, marked *, boolean_optimal 0\n"
         "  --certificates FILE\n"
         "                 also write to FILE, for every sharp and Boolean bound printed,\n"
         "                 the exact certificate that proves it, which\n"
         "                 scripts/check-certificates re-proves (see union-bounds(1))\n"
         "  --csv          print order,S,bonferroni,lower,upper,hunter_worsley,de_caen,\n"
         "                 kat,cherry,boolean_lower,boolean_upper,boolean_optimal instead\n"
         "                 of the table\n"
         "  --help         show this text\n"
         "  --version      show the version\n"
         "\n"
         "Exit status: 0 done, 1 the file cannot be read or does not hold probabilities of\n"
         "N events, 2 a usage error, 3 out of memory, 4 an internal error.\n";
}

}  // namespace intersections
