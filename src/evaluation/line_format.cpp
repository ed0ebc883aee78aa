#include "evaluation/line_format.h"

#include <cstring>

namespace intersections {

std::size_t writeLineText(double value, char* out) {
  const std::size_t length = writeProbability(value, out);
  std::memcpy(out + length, lineEnd, lineEndLength);
  return length + lineEndLength;
}

LineTable equalWeightLines(double weight, std::size_t rows) {
  LineTable table;
  table.offsets.reserve(rows + 2);
  char line[maxLineLength];
  double sum = 0.0;
  for (std::size_t k = 0; k <= rows; ++k) {
    if (k > 0) sum += weight;
    table.offsets.push_back(table.text.size());
    table.text.append(line, writeLineText(sum, line));
  }
  table.offsets.push_back(table.text.size());
  return table;
}

}  // namespace intersections
