#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bounds/boolean_bounds.h"

namespace intersections {

// Which orders get the Boolean bounds (the linear program over the 2^n atoms).
enum class BooleanMode {
  cheap,  // by default: up to cheapBooleanEvents events and cheapBooleanLines lines
  all,    // --boolean: up to maxBooleanEvents events and maxBooleanLines lines
  none,   // --no-boolean
};

inline constexpr std::int32_t cheapBooleanEvents = 14;
inline constexpr std::uint64_t cheapBooleanLines = 800;
inline constexpr std::int32_t maxBooleanEvents = booleanEventsLimit;
inline constexpr std::uint64_t maxBooleanLines = 6000;

// The work the Boolean bounds may do by default, in the units of BooleanWork:
// about a second on the 2-core test machines (see the manual page), so that a
// study stays fast on every file, not only on generated ones. --boolean lifts
// it; --boolean-limit sets it.
inline constexpr std::uint64_t defaultBooleanWorkLimit = 15000;

// The value of --boolean-limit: a whole number of work units. Throws UsageError.
std::uint64_t parseBooleanLimit(const std::string& text);

// The work limit of a run in `mode`, given --boolean-limit L when it was (0:
// no limit).
std::uint64_t booleanWorkLimit(BooleanMode mode, std::optional<std::uint64_t> given);

// The mode as the files of a study name it: "default", "all" (--boolean) or
// "none" (--no-boolean); and back, nothing for another text.
std::string booleanModeText(BooleanMode mode);
std::optional<BooleanMode> booleanModeOf(const std::string& text);

// The orders that get the Boolean bounds, and why the next one does not.
struct BooleanScope {
  enum Stop { allOrders, switchedOff, tooManyEvents, tooManyLines, tooLittleMemory };
  std::int32_t orders = 0;  // orders 1 to this one are computed (0: none)
  Stop stop = allOrders;    // why order orders + 1 is not (allOrders: it is not asked for)
  std::uint64_t lines = 0;  // the lines of orders 1 to orders + 1, when stop is tooManyLines
  double bytes = 0;         // the memory that order orders + 1 needs, when stop is tooLittleMemory
};

// The scope for n events and `orders` orders in `mode`, with `memoryBytes`
// the memory the computation may take (see booleanBytes).
BooleanScope booleanScope(std::int32_t n, std::int32_t orders, BooleanMode mode,
                          double memoryBytes);

}  // namespace intersections
