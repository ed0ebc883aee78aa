#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "evaluation/set_walk.h"
#include "instance/packed_columns.h"

namespace intersections {

// The text of the prob.txt that intersections writes for an instance and the
// maximum order m, made piece by piece: a line for every set of 1 to
// min(m, n) events, in the order of the file, the sum of the weights of its
// rows as rowsWeight adds it, spelt by writeLineText (nine decimals, CR LF).
// `columns` and `weights` (at least one weight a row) must outlive it.
class InstanceText {
 public:
  InstanceText(const PackedColumns& columns, const std::vector<double>& weights, std::int32_t m);

  // Writes the next whole lines into `buffer`, as many as `capacity` bytes
  // hold (at least maxLineLength), and returns their length; 0 after the
  // last line.
  std::size_t read(char* buffer, std::size_t capacity);

 private:
  const PackedColumns& columns_;
  const std::vector<double>& weights_;
  SetWalk walk_;
  std::int32_t last_ = 0;  // the last event of the next set of the run; past n: the run is over
  bool done_ = false;      // the walk is over
};

}  // namespace intersections
