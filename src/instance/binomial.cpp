#include "instance/binomial.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

namespace intersections {

std::int32_t binomial(std::int32_t a, std::int32_t b) {
  if (b < 0 || a < b) return 0;
  // C(a, b) = C(a, a - b); the shorter product gives the same value and keeps
  // calls such as C(2000000000, 1999999999) from looping for seconds.
  const std::int64_t steps = std::min<std::int64_t>(b, std::int64_t{a} - b);
  const std::int64_t rest = std::int64_t{a} - steps;
  constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
  std::int64_t c = 1;
  for (std::int64_t j = 1; j <= steps; ++j) {
    // c <= limit before the step, so the product stays below 2^63. After the
    // step c is C(rest + j, j), which grows with j: once it passes the limit,
    // the final coefficient does too.
    c = (rest + j) * c / j;
    if (c > limit) {
      throw std::overflow_error("binomial(" + std::to_string(a) + ", " + std::to_string(b) +
                                ") does not fit in a signed 32-bit integer");
    }
  }
  return static_cast<std::int32_t>(c);
}

}  // namespace intersections
