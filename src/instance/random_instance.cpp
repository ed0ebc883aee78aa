#include "instance/random_instance.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace intersections {

namespace {

// The one place that draws rows, for both forms of the matrix: 2n accepted
// rows by rejection, each attempt calling `draw` (std::rand, or a generator
// that yields the same sequence) once for every entry in column order, also
// after its first 1. `accept` gets each accepted row as the ascending columns
// (from 0) of its ones.
template <typename Draw, typename Accept>
void drawRows(std::int32_t n, std::int32_t density, Draw&& draw, Accept accept) {
  const std::int32_t rows = 2 * n;
  std::vector<std::int32_t> ones;
  for (std::int32_t accepted = 1; accepted <= rows;) {
    ones.clear();
    for (std::int32_t column = 0; column < n; ++column) {
      if (draw() % 100 + 1 <= density) ones.push_back(column);
    }
    if (!ones.empty()) {
      accept(ones);
      ++accepted;
    }
  }
}

int drawRand() { return std::rand(); }

template <typename Draw>
PackedColumns drawPackedColumns(std::int32_t n, std::int32_t density, Draw&& draw) {
  if (n < 1) return {};
  PackedColumns columns = zeroColumns(2 * static_cast<std::size_t>(n), static_cast<std::size_t>(n));
  std::size_t row = 0;
  drawRows(n, density, draw, [&](const std::vector<std::int32_t>& ones) {
    for (const std::int32_t column : ones) setEntry(columns, row, static_cast<std::size_t>(column));
    ++row;
  });
  return columns;
}

}  // namespace

EventMatrix generateEventMatrix(std::int32_t n, std::int32_t density) {
  EventMatrix matrix;
  drawRows(n, density, drawRand, [&](const std::vector<std::int32_t>& ones) {
    IntSequence row(static_cast<std::size_t>(n), 0);
    for (const std::int32_t column : ones) row[static_cast<std::size_t>(column)] = 1;
    matrix.push_back(std::move(row));
  });
  return matrix;
}

PackedColumns generatePackedColumns(std::int32_t n, std::int32_t density) {
  return drawPackedColumns(n, density, drawRand);
}

PackedColumns generatePackedColumns(std::int32_t n, std::int32_t density,
                                    const std::function<int()>& draw) {
  return drawPackedColumns(n, density, draw);
}

PackedColumns generatePackedColumns(std::int32_t n, std::int32_t density, std::size_t rows,
                                    const std::function<int()>& draw) {
  if (n < 1 || rows == 0) return {};
  PackedColumns columns = zeroColumns(rows, static_cast<std::size_t>(n));
  std::vector<std::size_t> ones;
  for (std::size_t row = 0; row < rows;) {
    ones.clear();
    for (std::size_t column = 0; column < static_cast<std::size_t>(n); ++column) {
      if (draw() % 100 + 1 <= density) ones.push_back(column);
    }
    if (ones.empty()) continue;
    for (const std::size_t column : ones) setEntry(columns, row, column);
    ++row;
  }
  return columns;
}

DoubleSequence equalWeights(std::size_t rows, double P) {
  return DoubleSequence(rows, P / static_cast<double>(rows));
}

DoubleSequence drawRandomWeights(std::size_t rows, double P, const std::function<int()>& draw) {
  std::vector<std::uint64_t> raw(rows);
  std::uint64_t total = 0;
  for (std::uint64_t& weight : raw) {
    weight = static_cast<std::uint64_t>(draw()) + 1;
    total += weight;
  }
  // Four roundings (the total, the share, the product and the last factor)
  // each raise a weight by at most 2^-53 of it; 1 - 2^-48 takes away more.
  const double shrink = 1 - std::ldexp(1.0, -48);
  DoubleSequence weights;
  for (const std::uint64_t weight : raw) {
    weights.push_back(static_cast<double>(weight) / static_cast<double>(total) * P * shrink);
  }
  return weights;
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
