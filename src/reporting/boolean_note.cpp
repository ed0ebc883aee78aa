#include "reporting/boolean_note.h"

#include <limits>

#include "common/byte_sizes.h"

namespace intersections {

namespace {

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
      why = ordersUpTo(next) + groupedDigits(scope.lines) + " lines, more than ";
      why += cheap && scope.lines <= maxBooleanLines
                 ? groupedDigits(cheapBooleanLines) + " (--boolean raises the limit to " +
                       groupedDigits(maxBooleanLines) + ")"
                 : groupedDigits(maxBooleanLines);
      break;
    case BooleanScope::tooLittleMemory:
      why = "order " + std::to_string(next) + " needs about " +
            groupedDigits(megabytesUp(scope.bytes)) + " MB" + ", more than the " +
            (memory ? groupedDigits(megabytesDown(memory->bytes)) + " MB " + memory->source
                    : std::string("memory available"));
      break;
    default:
      return "";
  }
  const std::string from = scope.orders == 0 ? "" : " from order " + std::to_string(next) + " on";
  return "the Boolean bounds are left out" + from + ": " + why;
}

}  // namespace intersections
