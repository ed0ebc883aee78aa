#include "study/instance_text.h"

#include <stdexcept>

#include "evaluation/line_format.h"
#include "lines/instance_lines.h"

namespace intersections {

InstanceText::InstanceText(const PackedColumns& columns, const std::vector<double>& weights,
                           std::int32_t m)
    : columns_(columns), weights_(weights), walk_(columns, m) {
  if (weights.size() < columns.rows) throw std::invalid_argument("fewer weights than rows");
  last_ = static_cast<std::int32_t>(columns.events) + 1;
}

std::size_t InstanceText::read(char* buffer, std::size_t capacity) {
  const auto n = static_cast<std::int32_t>(columns_.events);
  std::size_t used = 0;
  while (capacity - used >= maxLineLength) {
    if (last_ > n) {
      if (done_ || !walk_.next()) {
        done_ = true;
        break;
      }
      last_ = walk_.first();
    }
    const double sum = rowsWeight(walk_.head(), columns_.column(last_), columns_.words, weights_);
    used += writeLineText(sum, buffer + used);
    ++last_;
  }
  return used;
}

}  // namespace intersections
