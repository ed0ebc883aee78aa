#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/options.h"
#include "reporting/boolean_scope.h"
#include "reporting/known_union.h"

namespace intersections {

// What the command line asks for.
struct BoundsOptions {
  bool help = false;
  bool version = false;
  bool csv = false;
  std::optional<KnownUnion> known;  // --union P: the known probability of the event bounded
  std::int32_t atLeast = 1;         // --at-least R: bound "at least R events" (1: the union)
  // --delta D: the half-width of every line, in units of 10^-9, rounded up
  std::optional<std::uint32_t> halfWidth;
  BooleanMode boolean = BooleanMode::cheap;   // --boolean: all, --no-boolean: none
  std::optional<std::uint64_t> booleanLimit;  // --boolean-limit L: their work (0: no limit)
  std::optional<std::string> certificates;    // --certificates FILE: where to write the proofs
  std::int32_t n = 0;
  std::string file = "prob.txt";  // "-" for standard input
};

// Parses the arguments after the program's name:
//   [--union P | --union=P] [--at-least R | --at-least=R] [--delta D | --delta=D]
//   [--boolean | --no-boolean] [--boolean-limit L] [--certificates FILE] [--csv]
//   [--help] [--version] [--] N [FILE]
// Options may stand anywhere before "--"; "-" alone is a file. N is a whole
// number from 1 to 1073741823, R one from 1 to N, P and D decimal numbers
// from 0 to 1, L a whole number; of --boolean and --no-boolean the last
// counts. With --help or
// --version nothing else is checked. Throws UsageError.
BoundsOptions parseCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string usageText();

}  // namespace intersections
