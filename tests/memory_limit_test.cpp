#include "common/memory_limit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace intersections {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::writeFile;

constexpr double MB = 1048576.0;

// A machine of 1000 MB with 600 MB available, seen from inside a fake root
// directory; the same before MemAvailable existed.
const std::string meminfo =
    "MemTotal:        1024000 kB\nMemFree:          512000 kB\nMemAvailable:     614400 kB\n"
    "HugePages_Total:       0\n";
const std::string oldMeminfo = "MemTotal:        1024000 kB\nMemFree:          512000 kB\n";

const std::string hybridMounts =
    "30 22 0:27 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
    "34 30 0:31 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
    "40 30 0:37 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n";
const std::string v2Mounts = "30 22 0:27 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw\n";

TEST(MemoryLimit, LeastLeftOnTheMachineAndInEveryGroupAboveTheProcess) {
  struct Case {
    const char* name;
    std::string meminfo, mountinfo, cgroup;
    std::vector<std::pair<std::string, std::string>> files;  // below the root, content
    double megabytes;                                        // 0: no figure at all
    std::string source;                                      // "ROOT/" stands for the fake root
  };
  const std::string v1Top = "sys/fs/cgroup/memory";
  const std::string machine = "of memory available on this machine";
  auto group = [](int limitMB, const std::string& file) {
    return "left of the " + std::to_string(limitMB) + " MB that its control group allows (ROOT/" +
           file + ")";
  };
  const Case cases[] = {
      {"nothing readable", "", "", "", {}, 0, ""},
      {"no control group", meminfo, "", "", {}, 600, machine},
      {"a kernel without MemAvailable", oldMeminfo, "", "", {}, 1000, "of memory this machine has"},
      {"v1: the group above is the smaller",
       meminfo,
       hybridMounts,
       "4:memory:/jobs/run\n0::/\n",
       {{v1Top + "/memory.limit_in_bytes", "9223372036854771712\n"},
        {v1Top + "/jobs/memory.limit_in_bytes", "314572800\n"},
        {v1Top + "/jobs/run/memory.limit_in_bytes", "9223372036854771712\n"}},
       300,
       group(300, v1Top + "/jobs/memory.limit_in_bytes")},
      {"v1: the container sees its own group at the mount point",
       meminfo,
       "34 30 0:31 /docker/abc /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n",
       "7:cpu,cpuacct:/docker/abc\n4:memory:/docker/abc\n",
       {{v1Top + "/memory.limit_in_bytes", "209715200\n"}},
       200,
       group(200, v1Top + "/memory.limit_in_bytes")},
      {"v1: the limit less the usage, less the inactive file cache",
       meminfo,
       hybridMounts,
       "4:memory:/jobs\n",
       {{v1Top + "/jobs/memory.limit_in_bytes", "209715200\n"},
        {v1Top + "/jobs/memory.usage_in_bytes", "157286400\n"},
        {v1Top + "/jobs/memory.stat",
         "cache 73400320\ninactive_file 1048576\n"
         "total_inactive_file 52428800\n"}},
       100,
       group(200, v1Top + "/jobs/memory.limit_in_bytes")},
      {"v1: less left above than in the process's own group",
       meminfo,
       hybridMounts,
       "4:memory:/jobs/run\n",
       {{v1Top + "/jobs/memory.limit_in_bytes", "419430400\n"},
        {v1Top + "/jobs/memory.usage_in_bytes", "367001600\n"},
        {v1Top + "/jobs/run/memory.limit_in_bytes", "314572800\n"},
        {v1Top + "/jobs/run/memory.usage_in_bytes", "10485760\n"}},
       50,
       group(400, v1Top + "/jobs/memory.limit_in_bytes")},
      {"v2: memory.max of the group less memory.current",
       meminfo,
       v2Mounts,
       "0::/user/job\n",
       {{"sys/fs/cgroup/user/memory.max", "max\n"},
        {"sys/fs/cgroup/user/job/memory.max", "209715200\n"},
        {"sys/fs/cgroup/user/job/memory.current", "83886080\n"},
        {"sys/fs/cgroup/user/job/memory.stat", "anon 78643200\ninactive_file 5242880\n"}},
       125,
       group(200, "sys/fs/cgroup/user/job/memory.max")},
      {"v2: usage above the limit leaves nothing",
       meminfo,
       v2Mounts,
       "0::/job\n",
       {{"sys/fs/cgroup/job/memory.max", "104857600\n"},
        {"sys/fs/cgroup/job/memory.current", "105906176\n"}},
       0,
       group(100, "sys/fs/cgroup/job/memory.max")},
      {"v2: no limit anywhere",
       meminfo,
       v2Mounts,
       "0::/user/job\n",
       {{"sys/fs/cgroup/user/job/memory.max", "max\n"}},
       600,
       machine},
      {"more left in the group than on the machine",
       meminfo,
       v2Mounts,
       "0::/\n",
       {{"sys/fs/cgroup/memory.max", "4294967296\n"},
        {"sys/fs/cgroup/memory.current", "1048576\n"}},
       600,
       machine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir root;
    fs::create_directories(root.path / "proc/self");
    if (!c.meminfo.empty()) writeFile(root.path / "proc/meminfo", c.meminfo);
    writeFile(root.path / "proc/self/mountinfo", c.mountinfo);
    writeFile(root.path / "proc/self/cgroup", c.cgroup);
    for (const auto& [file, content] : c.files) {
      fs::create_directories((root.path / file).parent_path());
      writeFile(root.path / file, content);
    }
    const auto limit = memoryLimit(root.path);
    ASSERT_EQ(limit.has_value(), !c.source.empty());
    if (!limit) continue;
    EXPECT_EQ(limit->bytes, c.megabytes * MB);
    std::string source = c.source;
    if (const auto at = source.find("ROOT/"); at != std::string::npos)
      source.replace(at, 4, root.path.string());
    EXPECT_EQ(limit->source, source);
  }
}

}  // namespace
}  // namespace intersections
