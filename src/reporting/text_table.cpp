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

std::string wrappedText(const std::string& text, std::size_t width) {
  std::string result, line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      result += line + '\n';
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    at = end + 1;
  }
  return result + line + '\n';
}

}  // namespace intersections
