#include "support/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

double median(std::vector<double> values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void Series::add(const Measurement& m) {
  seconds.push_back(m.seconds);
  cpuSeconds.push_back(m.cpuSeconds);
  maxRssKb = std::max(maxRssKb, m.maxRssKb);
  maxVmHwmKb = std::max(maxVmHwmKb, m.vmHwmKb);
}

std::string Series::last() const {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.3f s (cpu %.3f)", seconds.back(), cpuSeconds.back());
  return buffer;
}

std::string fixed(double value, int decimals) {
  if (std::isnan(value)) return "-";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

std::string withCommas(double value) {
  const std::string digits = std::to_string(static_cast<long long>(value));
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace bench
