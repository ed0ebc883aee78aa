#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace intersections {

// The value of `text` when it is decimal digits alone (no sign, no blank;
// leading zeros are no part of the value) and lies from `smallest` to
// `largest`; nothing otherwise.
std::optional<std::int64_t> parseWholeNumber(std::string_view text, std::int64_t smallest,
                                             std::int64_t largest);

}  // namespace intersections
