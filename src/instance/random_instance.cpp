#include "instance/random_instance.h"

#include <cstdlib>
#include <utility>

namespace intersections {

EventMatrix generateEventMatrix(std::int32_t n, std::int32_t density) {
  EventMatrix matrix;
  IntSequence row;
  const std::int32_t rows = 2 * n;
  for (std::int32_t accepted = 1; accepted <= rows;) {
    row.clear();
    bool hasOne = false;
    for (std::int32_t column = 1; column <= n; ++column) {
      const int r = std::rand();
      if (r % 100 + 1 <= density) {
        row.push_back(1);
        hasOne = true;
      } else {
        row.push_back(0);
      }
    }
    if (hasOne) {
      // The accepted row is handed over whole; the working row starts again
      // empty (a moved-from deque is valid, and clear() makes it empty).
      matrix.push_back(std::move(row));
      ++accepted;
    }
  }
  return matrix;
}

DoubleSequence makeWeights(std::int32_t n, double P) {
  const std::int32_t count = 2 * n;
  if (count < 1) return {};
  const double weight = P / static_cast<double>(count);
  DoubleSequence weights;
  for (std::int32_t k = 1; k <= count; ++k) weights.push_back(weight);
  return weights;
}

}  // namespace intersections
