#include "study/bound_command.h"

#include <signal.h>

#include <algorithm>
#include <cstring>

#include "common/message_text.h"
#include "reporting/decimal.h"
#include "study/instance_text.h"

namespace intersections {

namespace {

constexpr std::size_t shownBytes = 200;

// Why the command gave nothing before its output is read; "" when it exited with 0.
std::string endFailure(const CommandOutcome& outcome) {
  if (!outcome.startError.empty()) return "its command could not be started: " + outcome.startError;
  if (outcome.signal != 0) {
    const char* abbreviation = sigabbrev_np(outcome.signal);
    return "its command was ended by signal " + std::to_string(outcome.signal) +
           (abbreviation != nullptr ? std::string(" (SIG") + abbreviation + ")" : "");
  }
  if (outcome.exitStatus != 0)
    return "its command exited with status " + std::to_string(outcome.exitStatus);
  if (outcome.outCut)
    return "it printed more than " + std::to_string(outcome.out.size()) + " bytes";
  return "";
}

std::string numbers(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " number" : " numbers");
}

}  // namespace

UserBoundResult runUserBound(const UserBound& bound, const PackedColumns& columns,
                             const std::vector<double>& weights, std::int32_t m) {
  const auto n = static_cast<std::int32_t>(columns.events);
  InstanceText text(columns, weights, m);
  const auto orders = static_cast<std::size_t>(std::min(m, n));
  const CommandOutcome outcome = runShellCommand(
      bound.command + " " + std::to_string(n),
      [&text](char* buffer, std::size_t capacity) { return text.read(buffer, capacity); },
      (1 << 20) + 64 * orders);
  return readBoundValues(outcome, orders);
}

UserBoundResult readBoundValues(const CommandOutcome& outcome, std::size_t orders) {
  UserBoundResult result;
  result.failure = endFailure(outcome);
  if (result.failure.empty()) {
    static const char* const blanks = " \t\n\r\v\f";
    const std::string& out = outcome.out;
    std::vector<std::string> words;
    for (std::size_t at = out.find_first_not_of(blanks); at != std::string::npos;) {
      const std::size_t end = out.find_first_of(blanks, at);
      words.push_back(out.substr(at, end - at));
      at = end == std::string::npos ? end : out.find_first_not_of(blanks, end);
    }
    for (const std::string& word : words) {
      const std::optional<mpq_class> value = parseDecimal(word);
      if (!value || abs(*value) > largestBoundValue) {
        result.failure = "it printed \"" + shownText(word, shownBytes) +
                         "\", not a decimal number from -10^15 to 10^15";
        break;
      }
      result.values.push_back(*value);
    }
    if (result.failure.empty() && words.empty()) {
      result.failure = "it printed nothing, not the " + numbers(orders) + " of its orders";
    } else if (result.failure.empty() && words.size() != orders) {
      result.failure =
          "it printed " + numbers(words.size()) + " for " + std::to_string(orders) + " orders";
    }
  }
  if (result.failure.empty()) return result;
  result.values.clear();
  if (!outcome.errFirstLine.empty())
    result.failure +=
        "; its standard error: \"" + shownText(outcome.errFirstLine, shownBytes) + "\"";
  return result;
}

}  // namespace intersections
