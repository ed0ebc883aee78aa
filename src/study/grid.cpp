#include "study/grid.h"

#include <algorithm>

#include "common/whole_number.h"

namespace intersections {

std::vector<std::string> listItems(const std::string& text) {
  std::vector<std::string> items(1);
  for (const char c : text) {
    if (c == ',') {
      items.emplace_back();
    } else {
      items.back() += c;
    }
  }
  return items;
}

std::optional<std::vector<std::int64_t>> parseWholeList(const std::string& text,
                                                        std::int64_t smallest, std::int64_t largest,
                                                        std::size_t most) {
  std::vector<std::int64_t> values;
  const auto add = [&](std::int64_t value) {
    if (std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
    return values.size() <= most;
  };
  for (const std::string& item : listItems(text)) {
    const std::vector<std::string> parts = [&] {
      std::vector<std::string> split(1);
      for (const char c : item) {
        if (c == ':') {
          split.emplace_back();
        } else {
          split.back() += c;
        }
      }
      return split;
    }();
    if (parts.size() > 3) return std::nullopt;
    const auto from = parseWholeNumber(parts[0], smallest, largest);
    const auto to = parts.size() > 1 ? parseWholeNumber(parts[1], smallest, largest) : from;
    const auto step = parts.size() > 2 ? parseWholeNumber(parts[2], 1, largest) : 1;
    if (!from || !to || !step || *to < *from) return std::nullopt;
    for (std::int64_t value = *from;; value += *step) {
      if (!add(value)) return std::nullopt;
      if (*to - value < *step) break;
    }
  }
  return values;
}

}  // namespace intersections
