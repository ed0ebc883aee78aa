#pragma once

#include <cstdint>

namespace intersections {

// The number of lines of the file for n events and the highest order m: the
// sum of C(n, k) for k = 1 to min(m, n), 0 when m < 1 or n < 1, and the
// largest 64-bit value when the sum does not fit in 64 bits.
std::uint64_t lineCount(std::int32_t n, std::int32_t m);

}  // namespace intersections
