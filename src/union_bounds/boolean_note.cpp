#include "union_bounds/boolean_note.h"

#include <cmath>
#include <limits>

namespace intersections {

namespace {

// A whole number with its thousands set apart by commas: "1,585".
std::string grouped(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

// Megabytes, the need rounded up and what is left down, so that the first
// figure is always the larger.
std::string megabytes(double bytes, bool up) {
  const double whole = up ? std::ceil(bytes / 1048576.0) : std::floor(bytes / 1048576.0);
  return grouped(static_cast<std::uint64_t>(whole)) + " MB";
}

std::string ordersUpTo(std::int32_t k) {
  return k == 1 ? "order 1 has " : "orders 1 to " + std::to_string(k) + " have ";
}

}  // namespace

double booleanMemoryBytes(const std::optional<MemoryLimit>& memory) {
  return memory ? memory->bytes : std::numeric_limits<double>::max();
}

std::string booleanNote(std::int32_t n, std::int32_t orders, BooleanMode mode,
                        const BooleanScope& scope, const std::optional<MemoryLimit>& memory) {
  if (mode == BooleanMode::none || scope.stop == BooleanScope::allOrders ||
      scope.stop == BooleanScope::switchedOff || orders <= scope.orders)
    return "";
  const bool cheap = mode == BooleanMode::cheap;
  const std::int32_t next = scope.orders + 1;
  std::string why;
  switch (scope.stop) {
    case BooleanScope::tooManyEvents:
      why = "n = " + std::to_string(n) + " is more than ";
      why += cheap && n <= maxBooleanEvents
                 ? std::to_string(cheapBooleanEvents) + " (--boolean raises it to " +
                       std::to_string(maxBooleanEvents) + ")"
                 : std::to_string(maxBooleanEvents);
      break;
    case BooleanScope::tooManyLines:
      why = ordersUpTo(next) + grouped(scope.lines) + " lines, more than ";
      why += cheap && scope.lines <= maxBooleanLines
                 ? grouped(cheapBooleanLines) + " (--boolean raises the limit to " +
                       grouped(maxBooleanLines) + ")"
                 : grouped(maxBooleanLines);
      break;
    case BooleanScope::tooLittleMemory:
      why = "order " + std::to_string(next) + " needs about " + megabytes(scope.bytes, true) +
            ", more than the " +
            (memory ? megabytes(memory->bytes, false) + " " + memory->source
                    : std::string("memory available"));
      break;
    default:
      return "";
  }
  const std::string from = scope.orders == 0 ? "" : " from order " + std::to_string(next) + " on";
  return "the Boolean bounds are left out" + from + ": " + why;
}

}  // namespace intersections
