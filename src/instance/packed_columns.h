#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "instance/types.h"

namespace intersections {

// The outcome matrix held by its columns, one bit per entry: bit j % 64 of
// word j / 64 of the column of an event is 1 when row j (counted from 0) has a
// 1 for that event. The bits past the last row are 0.
struct PackedColumns {
  using Word = std::uint64_t;
  static constexpr std::size_t wordBits = 64;

  std::size_t rows = 0;    // outcomes
  std::size_t events = 0;  // columns
  std::size_t words = 0;   // words per column: rows / 64 rounded up
  std::vector<Word> bits;  // the column of event e (from 1) is [(e - 1) * words, e * words)

  const Word* column(std::int32_t event) const {
    return bits.data() + static_cast<std::size_t>(event - 1) * words;
  }
};

// `rows` rows of `events` zeros.
PackedColumns zeroColumns(std::size_t rows, std::size_t events);

// Sets the entry of row `row` (from 0) in column `column` (from 0) to 1.
inline void setEntry(PackedColumns& columns, std::size_t row, std::size_t column) {
  columns.bits[column * columns.words + row / PackedColumns::wordBits] |=
      PackedColumns::Word{1} << (row % PackedColumns::wordBits);
}

// The rows whose bit is set in `a`, and in both `a` and `b`: the popcount
// over `words` words.
inline std::size_t countRows(const PackedColumns::Word* a, std::size_t words) {
  std::size_t count = 0;
  for (std::size_t w = 0; w < words; ++w) count += static_cast<std::size_t>(std::popcount(a[w]));
  return count;
}
inline std::size_t countRows(const PackedColumns::Word* a, const PackedColumns::Word* b,
                             std::size_t words) {
  std::size_t count = 0;
  for (std::size_t w = 0; w < words; ++w)
    count += static_cast<std::size_t>(std::popcount(a[w] & b[w]));
  return count;
}

// The columns of `matrix`, whose rows are the outcomes; the number of events
// is the length of its first row (0 without rows), extra entries of longer
// rows are ignored. Throws std::invalid_argument when a row is shorter than
// the first or an entry is neither 0 nor 1.
PackedColumns packColumns(const EventMatrix& matrix);

}  // namespace intersections
