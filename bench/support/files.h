#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Whether two files hold the same bytes (false when either cannot be read).
// Streams through both, so that a parent about to fork stays small: the
// pages it has at fork count towards each child's ru_maxrss.
bool sameBytes(const std::string& a, const std::string& b);

// The number of line feeds in the file; 0 when it cannot be read.
std::uint64_t countLines(const std::string& path);

}  // namespace bench
