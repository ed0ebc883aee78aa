#include "reporting/text_table.h"

#include <algorithm>
#include <ostream>

namespace intersections {

void writeTextTable(std::ostream& out, const TextTable& table, std::size_t leftAligned) {
  std::vector<std::size_t> widths;
  for (const auto& row : table) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  for (const auto& row : table) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) line += "  ";
      const std::string pad(widths[c] - row[c].size(), ' ');
      line += c > 0 && c <= leftAligned ? row[c] + pad : pad + row[c];
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
}

}  // namespace intersections
