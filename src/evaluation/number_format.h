#pragma once

#include <cstddef>
#include <string>

namespace intersections {

// Longest text appendProbability writes: a sign, the 309 digits before the
// point of the largest double, the point and nine decimals.
inline constexpr std::size_t maxProbabilityLength = 1 + 309 + 1 + 9;

// Writes `value` in fixed notation with exactly nine decimals into `out`,
// which must hold maxProbabilityLength characters, and returns the number of
// characters written (no terminating zero). The rounding takes two steps on
// the exact binary value: first to 17 significant digits, away from zero when
// the 18th digit is 5 or more (later digits then read as 0); then cut after
// the ninth decimal, away from zero when the next digit is 5 or more. So
// 1/1024 gives 0.000976563 and 100000000 + 1/1024 gives 100000000.000976560.
// A minus sign stands before a value whose sign bit is set (-0.000000000 for a
// tiny negative value). Infinities and NaN give "inf", "-inf" and "nan".
std::size_t writeProbability(double value, char* out);

// The same text as a string.
std::string formatProbability(double value);

}  // namespace intersections
