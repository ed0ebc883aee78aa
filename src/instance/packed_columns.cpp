#include "instance/packed_columns.h"

#include <stdexcept>
#include <string>

namespace intersections {

PackedColumns zeroColumns(std::size_t rows, std::size_t events) {
  PackedColumns columns;
  columns.rows = rows;
  columns.events = events;
  columns.words = (rows + PackedColumns::wordBits - 1) / PackedColumns::wordBits;
  columns.bits.assign(events * columns.words, 0);
  return columns;
}

PackedColumns packColumns(const EventMatrix& matrix) {
  const std::size_t n = matrix.empty() ? 0 : matrix.front().size();
  PackedColumns columns = zeroColumns(matrix.size(), n);
  for (std::size_t j = 0; j < matrix.size(); ++j) {
    const IntSequence& row = matrix[j];
    if (row.size() < n) {
      throw std::invalid_argument("row " + std::to_string(j) + " of the outcome matrix has " +
                                  std::to_string(row.size()) + " entries, fewer than the " +
                                  std::to_string(n) + " of the first row");
    }
    auto entry = row.begin();
    for (std::size_t e = 0; e < n; ++e, ++entry) {
      if (*entry == 1) {
        setEntry(columns, j, e);
      } else if (*entry != 0) {
        throw std::invalid_argument("entry " + std::to_string(e) + " of row " + std::to_string(j) +
                                    " of the outcome matrix is " + std::to_string(*entry) +
                                    ", neither 0 nor 1");
      }
    }
  }
  return columns;
}

}  // namespace intersections
