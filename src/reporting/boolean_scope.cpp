#include "reporting/boolean_scope.h"

#include <algorithm>
#include <limits>

#include "common/message_text.h"
#include "common/options.h"
#include "common/whole_number.h"
#include "evaluation/line_count.h"

namespace intersections {

std::string booleanModeText(BooleanMode mode) {
  switch (mode) {
    case BooleanMode::all:
      return "all";
    case BooleanMode::none:
      return "none";
    default:
      return "default";
  }
}

std::optional<BooleanMode> booleanModeOf(const std::string& text) {
  for (const BooleanMode mode : {BooleanMode::cheap, BooleanMode::all, BooleanMode::none}) {
    if (text == booleanModeText(mode)) return mode;
  }
  return std::nullopt;
}

std::uint64_t parseBooleanLimit(const std::string& text) {
  const auto limit = parseWholeNumber(text, 0, std::numeric_limits<std::int64_t>::max());
  if (!limit) {
    throw UsageError("--boolean-limit takes a whole number of work units (0: no limit), not \"" +
                     shownText(text) + "\"");
  }
  return static_cast<std::uint64_t>(*limit);
}

std::uint64_t booleanWorkLimit(BooleanMode mode, std::optional<std::uint64_t> given) {
  if (given) return *given;
  return mode == BooleanMode::cheap ? defaultBooleanWorkLimit : 0;
}

BooleanScope booleanScope(std::int32_t n, std::int32_t orders, BooleanMode mode,
                          double memoryBytes) {
  BooleanScope scope;
  if (mode == BooleanMode::none) {
    scope.stop = BooleanScope::switchedOff;
    return scope;
  }
  const bool cheap = mode == BooleanMode::cheap;
  if (n > (cheap ? cheapBooleanEvents : maxBooleanEvents)) {
    scope.stop = BooleanScope::tooManyEvents;
    return scope;
  }
  for (std::int32_t k = 1; k <= std::min(orders, n); ++k) {
    const std::uint64_t lines = lineCount(n, k);
    if (lines > (cheap ? cheapBooleanLines : maxBooleanLines)) {
      scope.stop = BooleanScope::tooManyLines;
      scope.lines = lines;
      return scope;
    }
    if (booleanBytes(n, k) > memoryBytes) {
      scope.stop = BooleanScope::tooLittleMemory;
      scope.bytes = booleanBytes(n, k);
      return scope;
    }
    scope.orders = k;
  }
  return scope;
}

}  // namespace intersections
