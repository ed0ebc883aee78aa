#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace intersections {

// The fewest bytes a line of the file can have for these answers, CR LF
// included: 13 ("0.000000000" for a set found in no row), or, when every row
// is all ones (density 100 or more), the length of the one line every set
// then has.
std::uint64_t shortestLineBytes(std::int32_t n, std::int32_t density, double P);

// Why `lines` lines of at least `shortestLine` bytes each cannot be written
// to `path`: a message naming the lines, the least size and the room there
// is, the space its file system has free plus what `path` holds now (it is
// emptied before it is written). Nothing when they may fit, when the room
// cannot be found, or when `path` is something other than a regular file (a
// device or a pipe takes any amount, and the opening itself says what is
// wrong with a directory).
std::optional<std::string> spaceShortage(const std::string& path, std::uint64_t lines,
                                         std::uint64_t shortestLine);

}  // namespace intersections
