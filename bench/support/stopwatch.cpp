#include "support/stopwatch.h"

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace bench {

namespace {

// The peak resident memory of this process, from /proc; -1 when unknown.
long vmHwmKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      long kb = 0;
      status >> kb;
      return kb;
    }
    status.ignore(1 << 20, '\n');
  }
  return -1;
}

double cpuSecondsSelf() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

Stopwatch::Stopwatch() : start(std::chrono::steady_clock::now()), cpuStart(cpuSecondsSelf()) {}

void reportWork(const Stopwatch& watch) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - watch.start).count();
  const double cpu = cpuSecondsSelf() - watch.cpuStart;
  std::printf("%.9f %ld %.6f\n", seconds, vmHwmKb(), cpu);
}

bool readWorkReport(const std::string& text, Measurement& m) {
  std::istringstream in(text);
  return static_cast<bool>(in >> m.seconds >> m.vmHwmKb >> m.cpuSeconds);
}

}  // namespace bench
