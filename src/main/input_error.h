#pragma once

#include <optional>
#include <string>

namespace intersections {

// The system's reason ("Is a directory", "Bad file descriptor") when reading
// the C library's stdin, under std::cin, has failed; nothing at a plain end of
// the input. Reads nothing.
std::optional<std::string> standardInputError();

}  // namespace intersections
