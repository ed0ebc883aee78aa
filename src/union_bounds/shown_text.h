#pragma once

#include <string>

namespace intersections {

// `text` as a message shows it on one line: each control character (below
// 0x20, and 0x7F) as \xNN with two upper-case hex digits, the rest as it is.
std::string shownText(const std::string& text);

}  // namespace intersections
