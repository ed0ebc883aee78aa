#include "evaluation/line_count.h"

#include <algorithm>
#include <limits>

namespace intersections {

namespace {

__extension__ typedef unsigned __int128 Wide;

}  // namespace

std::uint64_t lineCount(std::int32_t n, std::int32_t m) {
  constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
  const std::int32_t top = std::min(n, m);
  std::uint64_t total = 0;
  // C(n, k) = C(n, k - 1) (n - k + 1) / k; the product is exact in 128 bits
  // while C(n, k - 1) fits in 64, and the division leaves no remainder.
  Wide choose = 1;
  for (std::int32_t k = 1; k <= top; ++k) {
    choose = choose * static_cast<unsigned>(n - k + 1) / static_cast<unsigned>(k);
    if (choose > most - total) return most;
    total += static_cast<std::uint64_t>(choose);
  }
  return total;
}

}  // namespace intersections
