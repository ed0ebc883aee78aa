#include "common/memory_limit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/byte_sizes.h"
#include "common/system_calls.h"

namespace intersections {

namespace {

namespace fs = std::filesystem;

// Values at or above this are the kernel's way of saying "no limit" in
// cgroup v1 (the largest page count times the page size).
constexpr std::uint64_t unlimitedV1 = std::uint64_t{1} << 60;

fs::path below(const fs::path& root, const std::string& absolute) {
  return root / fs::path(absolute).relative_path();
}

std::vector<std::string> lines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> result;
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

bool listed(const std::string& commaList, const std::string& item) {
  for (const std::string& entry : split(commaList, ',')) {
    if (entry == item) return true;
  }
  return false;
}

// A mounted cgroup hierarchy: the group it shows at `point`.
struct Hierarchy {
  std::string root;  // the group mounted, as the kernel names it
  fs::path point;    // where it is mounted
};

// The first mount of a cgroup2 hierarchy (`v2`), or of the cgroup v1
// hierarchy that has the memory controller.
std::optional<Hierarchy> findHierarchy(const fs::path& root, bool v2) {
  // A line: ID parent major:minor root mount-point options... - type source super-options
  for (const std::string& line : lines(below(root, "/proc/self/mountinfo"))) {
    const std::size_t dash = line.find(" - ");
    if (dash == std::string::npos) continue;
    std::istringstream left(line.substr(0, dash)), right(line.substr(dash + 3));
    std::string id, parent, device, group, point, type, source, options;
    if (!(left >> id >> parent >> device >> group >> point) ||
        !(right >> type >> source >> options))
      continue;
    if (v2 ? type == "cgroup2" : type == "cgroup" && listed(options, "memory")) {
      return Hierarchy{group, below(root, point)};
    }
  }
  return std::nullopt;
}

// The group of this process in that hierarchy, from /proc/self/cgroup.
std::optional<std::string> ownGroup(const fs::path& root, bool v2) {
  // A line: hierarchy-ID:controllers:path; cgroup v2 is "0::path".
  for (const std::string& line : lines(below(root, "/proc/self/cgroup"))) {
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    if (v2 ? line.compare(0, first, "0") == 0 && controllers.empty()
           : listed(controllers, "memory")) {
      return line.substr(second + 1);
    }
  }
  return std::nullopt;
}

std::optional<std::uint64_t> readNumber(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  if (!(in >> text)) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> readLimit(const fs::path& file, bool v2) {
  const auto value = readNumber(file);
  if (!value || (!v2 && *value >= unlimitedV1)) return std::nullopt;
  return value;  // v2 writes "max" for no limit, which is no number
}

// The value of `key` in a memory.stat file ("key value" lines), 0 if absent.
std::uint64_t statValue(const fs::path& file, const std::string& key) {
  std::ifstream in(file);
  std::string name;
  std::uint64_t value = 0;
  while (in >> name >> value) {
    if (name == key) return value;
  }
  return 0;
}

// What is left under the limit of the group in `dir`: its usage counts this
// process and every other in the group and below it; the inactive file cache
// is taken back by the kernel before it fails an allocation. Without a usage
// to read, the whole limit.
double leftInGroup(const fs::path& dir, bool v2, std::uint64_t limit) {
  const auto usage = readNumber(dir / (v2 ? "memory.current" : "memory.usage_in_bytes"));
  if (!usage) return static_cast<double>(limit);
  const std::uint64_t dropped = std::min(
      *usage, statValue(dir / "memory.stat", v2 ? "inactive_file" : "total_inactive_file"));
  const std::uint64_t used = *usage - dropped;
  return used >= limit ? 0.0 : static_cast<double>(limit - used);
}

// The least left in a group with a limit on the way from this process's group
// up to the top of what the mount shows.
void lowerByGroup(const fs::path& root, bool v2, std::optional<MemoryLimit>& limit) {
  const auto hierarchy = findHierarchy(root, v2);
  const auto group = ownGroup(root, v2);
  if (!hierarchy || !group) return;
  // The mount shows the group hierarchy->root at its mount point (a container
  // sees its own group there).
  std::string relative;
  if (hierarchy->root == "/") {
    relative = *group;
  } else if (group->compare(0, hierarchy->root.size(), hierarchy->root) == 0 &&
             (group->size() == hierarchy->root.size() || (*group)[hierarchy->root.size()] == '/')) {
    relative = group->substr(hierarchy->root.size());
  } else {
    return;
  }
  const fs::path top = hierarchy->point.lexically_normal();
  const fs::path inside = fs::path(relative).relative_path();
  fs::path dir = inside.empty() ? top : (top / inside).lexically_normal();
  const char* name = v2 ? "memory.max" : "memory.limit_in_bytes";
  while (true) {
    const fs::path file = dir / name;
    if (const auto value = readLimit(file, v2)) {
      const double left = leftInGroup(dir, v2, *value);
      if (!limit || left < limit->bytes) {
        limit = MemoryLimit{
            left, "left of the " + std::to_string(megabytesNearest(static_cast<double>(*value))) +
                      " MB that its control group allows (" + file.string() + ")"};
      }
    }
    if (dir == top || !dir.has_relative_path()) break;
    dir = dir.parent_path();
  }
}

}  // namespace

std::optional<MemoryLimit> memoryLimit() { return memoryLimit(systemCalls().fileRoot); }

std::optional<MemoryLimit> memoryLimit(const fs::path& root) {
  std::optional<MemoryLimit> limit;
  // MemAvailable: what can be had without swapping, free memory and the
  // cache that can be dropped. MemTotal stands in for it on kernels before
  // 3.14, which lack it.
  for (const std::string& line : lines(below(root, "/proc/meminfo"))) {
    std::istringstream fields(line);
    std::string key;
    double kilobytes = 0;
    if (!(fields >> key >> kilobytes)) continue;
    if (key == "MemAvailable:") {
      limit = MemoryLimit{kilobytes * 1024.0, "of memory available on this machine"};
      break;
    }
    if (key == "MemTotal:") limit = MemoryLimit{kilobytes * 1024.0, "of memory this machine has"};
  }
  lowerByGroup(root, true, limit);
  lowerByGroup(root, false, limit);
  return limit;
}

}  // namespace intersections
