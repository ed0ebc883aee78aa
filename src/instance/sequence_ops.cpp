#include "instance/sequence_ops.h"

#include <cstdint>
#include <iostream>
#include <stdexcept>
#include <string>

namespace intersections {

EventMatrix transpose(EventMatrix matrix) {
  if (matrix.empty()) return {};
  const std::size_t width = matrix.front().size();
  for (std::size_t i = 1; i < matrix.size(); ++i) {
    if (matrix[i].size() < width) {
      throw std::invalid_argument("transpose: row " + std::to_string(i) + " has " +
                                  std::to_string(matrix[i].size()) + " entries, fewer than the " +
                                  std::to_string(width) + " of the first row");
    }
  }
  EventMatrix result(width);
  for (const IntSequence& row : matrix) {
    for (std::size_t j = 0; j < width; ++j) result[j].push_back(row[j]);
  }
  return result;
}

IntSequence coordProduct(IntSequence a, IntSequence b) {
  if (a.size() != b.size()) {
    std::cout << "Coord product: wrong sizes!";
    return {};
  }
  IntSequence product;
  for (std::size_t k = 0; k < a.size(); ++k) {
    // The 64-bit product narrowed to 32 bits wraps modulo 2^32 instead of
    // overflowing.
    product.push_back(static_cast<std::int32_t>(std::int64_t{a[k]} * b[k]));
  }
  return product;
}

}  // namespace intersections
