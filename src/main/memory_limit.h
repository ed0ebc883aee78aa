#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace intersections {

// The most memory this process can use, and where that figure comes from.
struct MemoryLimit {
  double bytes = 0;
  // What the figure is, to follow "<bytes> MB" in a message: "of memory this
  // machine has" or "that its control group allows (<the file it is in>)".
  std::string source;
};

// The smallest of the machine's physical memory (MemTotal in /proc/meminfo)
// and the memory limits of the control group this process is in and of every
// group above it: cgroup v2 memory.max, cgroup v1 memory.limit_in_bytes, as
// far as they are present and not unlimited. The total, not what is free at
// this moment: a passing peak in another process must not refuse a small run.
// Nothing when no figure can be read. Every file is read below `root`
// (paths in /proc/self/mountinfo included), "/" except in tests.
std::optional<MemoryLimit> memoryLimit(const std::filesystem::path& root = "/");

}  // namespace intersections
