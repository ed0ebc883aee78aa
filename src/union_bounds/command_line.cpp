#include "union_bounds/command_line.h"

#include "bounds/units.h"
#include "union_bounds/decimal.h"

namespace intersections {

namespace {

// The largest n whose 2n outcomes fit in a signed 32-bit integer, as for the
// program that writes the files.
constexpr std::int32_t largestN = 1073741823;

std::int32_t parseN(const std::string& text) {
  std::int64_t value = 0;
  bool ok = !text.empty() && text.size() <= 10;
  for (const char c : text) {
    if (c < '0' || c > '9') ok = false;
    if (ok) value = value * 10 + (c - '0');
  }
  if (!ok || value < 1 || value > largestN) {
    throw UsageError("N must be a whole number from 1 to " + std::to_string(largestN) + ", not \"" +
                     text + "\"");
  }
  return static_cast<std::int32_t>(value);
}

KnownUnion parseUnion(const std::string& text) {
  const std::optional<mpq_class> value = parseDecimal(text);
  if (!value || *value < 0 || *value > 1) {
    throw UsageError("--union takes a probability, a decimal number from 0 to 1, not \"" + text +
                     "\"");
  }
  return {text, *value};
}

// A half-width on the grid of 10^-9 that is at least D: rounding up keeps
// every true value inside its interval.
std::uint32_t parseDelta(const std::string& text) {
  const std::optional<mpq_class> value = parseDecimal(text);
  if (!value || *value < 0 || *value > 1) {
    throw UsageError("--delta takes a half-width, a decimal number from 0 to 1, not \"" + text +
                     "\"");
  }
  mpz_class units;
  const mpq_class scaled = *value * unitsPerOne;
  mpz_cdiv_q(units.get_mpz_t(), scaled.get_num_mpz_t(), scaled.get_den_mpz_t());
  return static_cast<std::uint32_t>(units.get_ui());
}

}  // namespace

BoundsOptions parseCommandLine(const std::vector<std::string>& args) {
  BoundsOptions options;
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      operands.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--csv") {
      options.csv = true;
    } else if (arg == "--union") {
      if (i + 1 == args.size())
        throw UsageError("--union needs a value, the known union probability P");
      options.known = parseUnion(args[++i]);
    } else if (arg.rfind("--union=", 0) == 0) {
      options.known = parseUnion(arg.substr(8));
    } else if (arg == "--delta") {
      if (i + 1 == args.size()) throw UsageError("--delta needs a value, the half-width of a line");
      options.halfWidth = parseDelta(args[++i]);
    } else if (arg.rfind("--delta=", 0) == 0) {
      options.halfWidth = parseDelta(arg.substr(8));
    } else {
      throw UsageError("unknown option \"" + arg + "\"");
    }
  }
  if (options.help || options.version) return options;
  if (operands.empty()) throw UsageError("N, the number of events, is missing");
  if (operands.size() > 2) throw UsageError("too many operands: \"" + operands[2] + "\"");
  options.n = parseN(operands[0]);
  if (operands.size() == 2) options.file = operands[1];
  return options;
}

std::string usageText() {
  return "usage: union-bounds [--union P] [--delta D] [--csv] N [FILE]\n"
         "Reads the probabilities of the intersections of n = N events, as intersections\n"
         "writes them (FILE, prob.txt by default, - for standard input), and prints exact\n"
         "bounds on the probability of their union for each order of the file: the sum S of\n"
         "the order, the Bonferroni sum, the sharp lower and upper bounds given the orders up\n"
         "to it, and the bounds of Hunter-Worsley and de Caen. Each line is taken as any true\n"
         "value within one unit of its last decimal (10^-9 for nine decimals), and every\n"
         "bound holds for all of them. Lines may end in CR LF or LF.\n"
         "\n"
         "  --union P   the known union probability: also show each bound's margin to P,\n"
         "              and warn when P lies outside a bound\n"
         "  --delta D   take every line as any value within D of it instead (0: exact\n"
         "              values), D rounded up to a multiple of 10^-9\n"
         "  --csv       print order,S,bonferroni,lower,upper,hunter_worsley,de_caen instead\n"
         "              of the table\n"
         "  --help      show this text\n"
         "  --version   show the version\n"
         "\n"
         "Exit status: 0 done, 1 the file cannot be read or does not hold probabilities of\n"
         "N events, 2 a usage error.\n";
}

}  // namespace intersections
