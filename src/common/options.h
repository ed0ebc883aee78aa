#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace intersections {

// A command line that cannot be followed; the message is one line.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// An option a program knows: its name ("--union"); for one that takes a
// value, what that value is, for the message when it is missing ("the known
// union probability P"; "" says only that a value is needed).
struct KnownOption {
  const char* name;
  bool takesValue = false;
  const char* value = "";
};

// An option given, and its value when it takes one.
struct GivenOption {
  std::string name;
  std::string value;
};

// The arguments after a program's name, split.
struct Arguments {
  std::vector<GivenOption> options;  // in the order given
  std::vector<std::string> operands;
};

// Splits `args`. An argument that starts with '-' is an option, unless it is
// "-" alone or a negative number ("-1"), anywhere before "--", which ends the
// options; every other argument is an operand. An option that takes a value
// gets it as "--name=value" or from the next argument, whatever that is.
// Throws UsageError for an option not in `known` ('unknown option "--x"',
// shown as shownText shows it) and for one whose value is missing ("--union
// needs a value, the known union probability P").
Arguments splitArguments(const std::vector<std::string>& args,
                         const std::vector<KnownOption>& known);

}  // namespace intersections
