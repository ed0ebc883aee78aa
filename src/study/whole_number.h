#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace intersections {

// The value of `text` when it is digits alone (no sign, no blank) and the
// value lies from `smallest` to `largest`; nothing otherwise.
inline std::optional<std::int64_t> parseWholeNumber(const std::string& text, std::int64_t smallest,
                                                    std::int64_t largest) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');  // 19 digits cannot wrap
  }
  if (value > static_cast<std::uint64_t>(largest) || static_cast<std::int64_t>(value) < smallest)
    return std::nullopt;
  return static_cast<std::int64_t>(value);
}

}  // namespace intersections
