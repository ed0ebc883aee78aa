#pragma once

#include <sys/statvfs.h>
#include <sys/types.h>

#include <cstddef>

namespace intersections {

// The system calls through which the programs create, write and measure
// their files, and the folder under which they read /proc and the control
// groups' files. Every such call in the programs goes through
// systemCalls(), so that a test can make one fail (a full disk, a write cut
// short, a refused open, a file system with little room, a control group
// near its limit) in its own process, without root. Each entry behaves as
// the system call of its name.
struct SystemCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int descriptor, void* buffer, std::size_t count);
  ssize_t (*write)(int descriptor, const void* buffer, std::size_t count);
  int (*ftruncate)(int descriptor, off_t length);
  int (*statvfs)(const char* path, struct statvfs* status);
  const char* fileRoot;  // "/" but in tests
};

// The calls in use: the system's own unless a ReplacedSystemCalls is alive.
const SystemCalls& systemCalls();

// The system's own calls.
SystemCalls realSystemCalls();

// For tests: `calls` are in use while the object lives, then those before.
// Not for use while another thread makes any of the calls.
class ReplacedSystemCalls {
 public:
  explicit ReplacedSystemCalls(const SystemCalls& calls);
  ~ReplacedSystemCalls();
  ReplacedSystemCalls(const ReplacedSystemCalls&) = delete;
  ReplacedSystemCalls& operator=(const ReplacedSystemCalls&) = delete;

 private:
  SystemCalls before_;
};

}  // namespace intersections
