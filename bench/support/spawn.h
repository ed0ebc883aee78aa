#pragma once

#include <string>
#include <vector>

#include "support/statistics.h"

namespace bench {

// Writes "<program>: <message>" to standard error and exits with status 2.
[[noreturn]] void fail(const std::string& message);

// A child process to time. Every field but `args` may stay empty.
struct SpawnRequest {
  std::vector<std::string> args{};  // the executable's path, then its arguments
  std::string workingDir{};         // empty: this process's
  std::string stdinPath{};          // empty: /dev/null
  std::string stderrPath{};         // empty: this process's standard error
  std::string* output = nullptr;    // receives standard output; nullptr: /dev/null
};

// Runs the child, waits for it with wait4 and returns the time from fork to
// its end, its peak memory and its processor time. A child that fails (a
// status other than 0) ends the benchmark through fail().
Measurement spawn(const SpawnRequest& request);

}  // namespace bench
