#pragma once

#include <cstdint>
#include <limits>

namespace intersections {

// The most events an instance can have: its 2n outcome rows must be counted
// in a signed 32-bit integer.
inline constexpr std::int32_t largestEventCount = std::numeric_limits<std::int32_t>::max() / 2;

}  // namespace intersections
