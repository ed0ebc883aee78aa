#include "main/memory_limit.h"

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

// A machine of 1000 MB, seen from inside a fake root directory.
const std::string meminfo = "MemTotal:        1024000 kB\nMemFree:          512000 kB\n";

const std::string hybridMounts =
    "30 22 0:27 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
    "34 30 0:31 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
    "40 30 0:37 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n";
const std::string v2Mounts = "30 22 0:27 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw\n";

TEST(MemoryLimit, SmallestOfTheMachineAndEveryGroupAboveTheProcess) {
  struct Case {
    const char* name;
    std::string mountinfo, cgroup;
    std::vector<std::pair<std::string, std::string>> limits;  // file below the root, content
    double megabytes;  // 0: no figure at all (nor a /proc/meminfo)
    std::string from;  // the file named in the source, "" for the machine
  };
  const std::string v1Top = "sys/fs/cgroup/memory";
  const Case cases[] = {
      {"nothing readable", "", "", {}, 0, ""},
      {"no control group", "", "", {}, 1000, ""},
      {"v1: the group above is the smaller",
       hybridMounts,
       "4:memory:/jobs/run\n0::/\n",
       {{v1Top + "/memory.limit_in_bytes", "9223372036854771712\n"},
        {v1Top + "/jobs/memory.limit_in_bytes", "314572800\n"},
        {v1Top + "/jobs/run/memory.limit_in_bytes", "9223372036854771712\n"}},
       300,
       v1Top + "/jobs/memory.limit_in_bytes"},
      {"v1: the container sees its own group at the mount point",
       "34 30 0:31 /docker/abc /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n",
       "7:cpu,cpuacct:/docker/abc\n4:memory:/docker/abc\n",
       {{v1Top + "/memory.limit_in_bytes", "209715200\n"}},
       200,
       v1Top + "/memory.limit_in_bytes"},
      {"v2: memory.max of the group",
       v2Mounts,
       "0::/user/job\n",
       {{"sys/fs/cgroup/user/memory.max", "max\n"},
        {"sys/fs/cgroup/user/job/memory.max", "104857600\n"}},
       100,
       "sys/fs/cgroup/user/job/memory.max"},
      {"v2: no limit anywhere",
       v2Mounts,
       "0::/user/job\n",
       {{"sys/fs/cgroup/user/job/memory.max", "max\n"}},
       1000,
       ""},
      {"a limit above the machine's memory",
       v2Mounts,
       "0::/\n",
       {{"sys/fs/cgroup/memory.max", "4294967296\n"}},
       1000,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir root;
    fs::create_directories(root.path / "proc/self");
    if (c.megabytes > 0) writeFile(root.path / "proc/meminfo", meminfo);
    writeFile(root.path / "proc/self/mountinfo", c.mountinfo);
    writeFile(root.path / "proc/self/cgroup", c.cgroup);
    for (const auto& [file, content] : c.limits) {
      fs::create_directories((root.path / file).parent_path());
      writeFile(root.path / file, content);
    }
    const auto limit = memoryLimit(root.path);
    ASSERT_EQ(limit.has_value(), c.megabytes > 0);
    if (!limit) continue;
    EXPECT_EQ(limit->bytes, c.megabytes * MB);
    if (c.from.empty()) {
      EXPECT_EQ(limit->source, "of memory this machine has");
    } else {
      EXPECT_EQ(limit->source,
                "that its control group allows (" + (root.path / c.from).string() + ")");
    }
  }
}

}  // namespace
}  // namespace intersections
