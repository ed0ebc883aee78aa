#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "common/system_calls.h"
#include "support/temp_dir.h"

namespace testing_support {

// A folder standing for "/" as the programs read it for their memory: a
// machine with `availableMB` available and, when `limitMB` > 0, a cgroup v2
// group "job" with that limit of which `usedMB` are in use. Its path goes in
// SystemCalls::fileRoot.
struct FakeMachine {
  FakeMachine(int availableMB, int limitMB = 0, int usedMB = 0);
  TempDir root;
  // The limit file the messages name.
  std::filesystem::path limitFile() const;
};

// Failures for the calls of SystemCalls, set by a test before it runs the
// code under test. A write passes at most `writeBudget` bytes in all (a
// short write at the budget, then writeError); open, ftruncate and read fail
// with their error when it is not 0; statvfs reports `freeBytes` available
// when that is set. Only descriptors above 2 are affected, so that standard
// output and error keep working.
struct CallFailures {
  int openError = 0;
  std::size_t writeBudget = static_cast<std::size_t>(-1);
  int writeError = ENOSPC;
  int ftruncateError = 0;
  int readError = 0;
  std::uint64_t freeBytes = 0;  // 0: the real figure
  std::string fileRoot = "/";
};

// The system's calls with `failures` in force while the object lives.
class FailingCalls {
 public:
  explicit FailingCalls(const CallFailures& failures);
  ~FailingCalls();
  FailingCalls(const FailingCalls&) = delete;
  FailingCalls& operator=(const FailingCalls&) = delete;

 private:
  std::unique_ptr<intersections::ReplacedSystemCalls> replaced_;
};

}  // namespace testing_support
