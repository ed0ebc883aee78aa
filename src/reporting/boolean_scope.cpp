#include "reporting/boolean_scope.h"

#include <algorithm>

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
