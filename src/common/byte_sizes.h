#pragma once

#include <cstdint>
#include <string>

namespace intersections {

// Whole megabytes (2^20 bytes) of `bytes`, as messages give sizes: a need
// rounded up and what is left rounded down, so that a need that does not fit
// always shows as the larger figure; a size that is neither, to the nearest.
std::uint64_t megabytesUp(double bytes);
std::uint64_t megabytesDown(double bytes);
std::uint64_t megabytesNearest(double bytes);

// A whole number with its thousands set apart by commas: "1,585".
std::string groupedDigits(std::uint64_t value);

// A size in bytes and, for people, in kB, MB, GB, ... (powers of 1000) with
// three digits: "123456789 bytes (123 MB)"; "999 bytes" below a kilobyte.
std::string describeBytes(std::uint64_t bytes);

}  // namespace intersections
