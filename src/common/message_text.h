#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace intersections {

// `text` as a message shows it, on one line: each control character (below
// 0x20, and 0x7F) as \xNN with two upper-case hex digits, every other byte as
// it is. Longer than `longest` bytes, it is cut there (never inside a UTF-8
// character) and "..." is added.
std::string shownText(std::string_view text, std::size_t longest = std::string_view::npos);

}  // namespace intersections
