#include "support/fake_system.h"

#include <unistd.h>

#include <cerrno>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

constexpr double MB = 1048576.0;

// The failures in force; one test at a time sets them.
CallFailures failures;
std::size_t written = 0;

int failingOpen(const char* path, int flags, mode_t mode) {
  if (failures.openError != 0) {
    errno = failures.openError;
    return -1;
  }
  return intersections::realSystemCalls().open(path, flags, mode);
}

ssize_t failingRead(int descriptor, void* buffer, std::size_t count) {
  if (descriptor > 2 && failures.readError != 0) {
    errno = failures.readError;
    return -1;
  }
  return ::read(descriptor, buffer, count);
}

ssize_t failingWrite(int descriptor, const void* buffer, std::size_t count) {
  if (descriptor <= 2) return ::write(descriptor, buffer, count);
  const std::size_t left = failures.writeBudget > written ? failures.writeBudget - written : 0;
  if (left == 0) {
    errno = failures.writeError;
    return -1;
  }
  const ssize_t done = ::write(descriptor, buffer, count < left ? count : left);
  if (done > 0) written += static_cast<std::size_t>(done);
  return done;
}

int failingFtruncate(int descriptor, off_t length) {
  if (descriptor > 2 && failures.ftruncateError != 0) {
    errno = failures.ftruncateError;
    return -1;
  }
  return ::ftruncate(descriptor, length);
}

int failingStatvfs(const char* path, struct statvfs* status) {
  const int result = ::statvfs(path, status);
  if (result == 0 && failures.freeBytes != 0) {
    status->f_frsize = 1;
    status->f_bavail = failures.freeBytes;
  }
  return result;
}

}  // namespace

FakeMachine::FakeMachine(int availableMB, int limitMB, int usedMB) {
  fs::create_directories(root.path / "proc/self");
  writeFile(root.path / "proc/meminfo",
            "MemTotal:        " + std::to_string(4 * availableMB * 1024) +
                " kB\nMemAvailable:     " + std::to_string(availableMB * 1024) + " kB\n");
  if (limitMB <= 0) return;
  writeFile(root.path / "proc/self/mountinfo",
            "30 22 0:27 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw\n");
  writeFile(root.path / "proc/self/cgroup", "0::/job\n");
  fs::create_directories(root.path / "sys/fs/cgroup/job");
  writeFile(limitFile(), std::to_string(static_cast<long long>(limitMB * MB)) + "\n");
  writeFile(root.path / "sys/fs/cgroup/job/memory.current",
            std::to_string(static_cast<long long>(usedMB * MB)) + "\n");
}

fs::path FakeMachine::limitFile() const { return root.path / "sys/fs/cgroup/job/memory.max"; }

FailingCalls::FailingCalls(const CallFailures& wanted) {
  failures = wanted;
  written = 0;
  intersections::SystemCalls calls = intersections::realSystemCalls();
  calls.open = failingOpen;
  calls.read = failingRead;
  calls.write = failingWrite;
  calls.ftruncate = failingFtruncate;
  calls.statvfs = failingStatvfs;
  calls.fileRoot = failures.fileRoot.c_str();
  replaced_ = std::make_unique<intersections::ReplacedSystemCalls>(calls);
}

FailingCalls::~FailingCalls() {
  replaced_.reset();
  failures = CallFailures{};
}

}  // namespace testing_support
