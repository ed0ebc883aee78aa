#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace intersections {

// The memory this process may still take, and where that figure comes from.
struct MemoryLimit {
  double bytes = 0;
  // What the figure is, to follow "<bytes> MB" in a message: "of memory
  // available on this machine" or "left of the <limit> MB that its control
  // group allows (<the file of the limit>)".
  std::string source;
};

// The smallest of what is left on the machine and in every control group
// with a memory limit on the way from this process's group to the top: the
// machine's available memory (MemAvailable in /proc/meminfo, or MemTotal on a
// kernel without it), and for each group its limit (cgroup v2 memory.max,
// cgroup v1 memory.limit_in_bytes) minus its usage (memory.current,
// memory.usage_in_bytes) less the file cache that the kernel can drop at once
// (inactive_file, total_inactive_file in memory.stat). What this process uses
// already is in that usage, and so not counted as left. Nothing when no
// figure can be read. Every file is read below `root` (paths in
// /proc/self/mountinfo included): systemCalls().fileRoot, "/" except in tests.
std::optional<MemoryLimit> memoryLimit(const std::filesystem::path& root);
std::optional<MemoryLimit> memoryLimit();

}  // namespace intersections
