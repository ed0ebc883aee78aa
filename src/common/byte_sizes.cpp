#include "common/byte_sizes.h"

#include <cmath>
#include <cstdio>
#include <iterator>

namespace intersections {

namespace {

constexpr double bytesPerMegabyte = 1048576.0;

std::uint64_t whole(double megabytes) {
  return megabytes <= 0 ? 0 : static_cast<std::uint64_t>(megabytes);
}

}  // namespace

std::uint64_t megabytesUp(double bytes) { return whole(std::ceil(bytes / bytesPerMegabyte)); }

std::uint64_t megabytesDown(double bytes) { return whole(std::floor(bytes / bytesPerMegabyte)); }

std::uint64_t megabytesNearest(double bytes) { return whole(std::round(bytes / bytesPerMegabyte)); }

std::string groupedDigits(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

std::string describeBytes(std::uint64_t bytes) {
  static const char* const units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  std::string text = std::to_string(bytes) + " bytes";
  if (bytes < 1000) return text;
  double scaled = static_cast<double>(bytes) / 1000.0;
  std::size_t unit = 0;
  while (scaled >= 999.5 && unit + 1 < std::size(units)) {
    scaled /= 1000.0;
    ++unit;
  }
  char shown[32];
  std::snprintf(shown, sizeof shown, " (%.*f %s)",
                scaled < 9.995   ? 2
                : scaled < 99.95 ? 1
                                 : 0,
                scaled, units[unit]);
  return text + shown;
}

}  // namespace intersections
