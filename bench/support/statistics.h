#pragma once

#include <string>
#include <vector>

namespace bench {

// The middle of the values (the mean of the two middle ones for an even
// count); NaN for none.
double median(std::vector<double> values);

// What one run of a way cost.
struct Measurement {
  double seconds = 0;
  long maxRssKb = 0;      // ru_maxrss of the child, from wait4
  double cpuSeconds = 0;  // user + system time of the work (of the whole child when spawned)
  long vmHwmKb = -1;      // the child's own VmHWM, when it reports one
};

// All runs of one way.
struct Series {
  std::vector<double> seconds;
  std::vector<double> cpuSeconds;
  long maxRssKb = 0;
  long maxVmHwmKb = -1;
  void add(const Measurement& m);
  bool empty() const { return seconds.empty(); }
  // The last run, with the child's processor time: wall time well above it
  // means the child waited for a processor. "0.123 s (cpu 0.120)".
  std::string last() const;
  // The largest ru_maxrss, in 2^20 bytes.
  double mb() const { return static_cast<double>(maxRssKb) / 1024.0; }
};

// `value` with `decimals` decimals, "-" for NaN.
std::string fixed(double value, int decimals);

// The whole part of `value` with commas between groups of three digits: "1,048,575".
std::string withCommas(double value);

}  // namespace bench
