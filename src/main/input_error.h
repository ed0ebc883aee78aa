#pragma once

#include <istream>
#include <optional>
#include <string>

namespace intersections {

// The system's reason ("Is a directory", "Bad file descriptor") when `in` is
// std::cin and reading the C library's stdin under it has failed; nothing for
// any other stream, and at a plain end of the input. Reads nothing.
std::optional<std::string> standardInputError(const std::istream& in);

}  // namespace intersections
