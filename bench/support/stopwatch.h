#pragma once

#include <chrono>
#include <string>

#include "support/statistics.h"

namespace bench {

// The clocks of a child's work: wall time and this process's processor time.
// On a busy machine the wall time includes waiting for a processor; the
// processor time does not.
struct Stopwatch {
  Stopwatch();
  std::chrono::steady_clock::time_point start;
  double cpuStart;
};

// The child's side: prints "seconds vmhwm_kb cpu_seconds" of the work since
// `watch` started, on one line of standard output.
void reportWork(const Stopwatch& watch);

// The parent's side: the figures of reportWork's line in `text` into `m`
// (seconds, vmHwmKb, cpuSeconds); false when there is no such line.
bool readWorkReport(const std::string& text, Measurement& m);

}  // namespace bench
