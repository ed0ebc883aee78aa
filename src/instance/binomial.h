#pragma once

#include <cstdint>

namespace intersections {

// The binomial coefficient C(a, b): 0 when a < b or b < 0, 1 when b = 0 <= a.
// Computed by the running product c = (a - b + j) * c / j in 64-bit
// arithmetic, so every coefficient that fits in a signed 32-bit integer is
// exact. Throws std::overflow_error, naming a and b, when C(a, b) does not fit.
std::int32_t binomial(std::int32_t a, std::int32_t b);

}  // namespace intersections
