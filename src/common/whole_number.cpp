#include "common/whole_number.h"

namespace intersections {

std::optional<std::int64_t> parseWholeNumber(std::string_view text, std::int64_t smallest,
                                             std::int64_t largest) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  std::size_t significant = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    if (significant == 0 && c == '0') continue;
    // 19 digits cannot wrap 64 bits; a 20th makes the value too large anyway.
    if (++significant > 19) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > static_cast<std::uint64_t>(largest) || static_cast<std::int64_t>(value) < smallest)
    return std::nullopt;
  return static_cast<std::int64_t>(value);
}

}  // namespace intersections
