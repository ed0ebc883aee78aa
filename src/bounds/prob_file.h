#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace intersections {

// Values of a probability file are read as whole numbers of units of 10^-9:
// "0.062500000" is 62500000 units, and 1 is unitsPerOne.
inline constexpr std::uint32_t unitsPerOne = 1000000000;

// A whole number of units as the exact probability it stands for.
mpq_class probabilityOfUnits(const mpz_class& units);

// The sums over the lines of one order, the count of its lines among them.
struct OrderTotals {
  mpz_class sum;  // of the values, in units
  std::uint64_t lines = 0;
  std::uint64_t zeros = 0;  // lines that read 0
  std::uint64_t ones = 0;   // lines that read 1
};

// What a probability file of n events holds, read in one pass.
struct ProbFile {
  std::vector<OrderTotals> orders;     // the complete orders: orders[k - 1] is order k
  std::vector<std::uint32_t> singles;  // the lines of order 1, when it is complete
  std::vector<std::uint32_t> pairs;    // the lines of order 2, in the file's order, when complete
  std::uint64_t lines = 0;             // the complete lines read, whether used or not
  std::string shortfall;               // why lines at the end were not used, or empty
};

// A file that cannot be read or does not hold the probabilities of n events.
// The message names the file, and the line where there is one.
struct ProbFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads the lines of the file open as `descriptor` (named `name` in messages)
// as the output of a run with n events: C(n, 1) lines of order 1, then
// C(n, 2) of order 2, and so on. Each line is digits, a point, exactly nine
// digits and CR LF, and reads as a value from 0 to 1. The orders whose lines
// are all present are used; lines of an order cut short, and a last line
// without its CR LF, are left out, and `shortfall` says so. Throws
// ProbFileError for a line that is not such a value, for more lines than the
// 2^n - 1 sets of n events, for a file without a complete order, and when the
// file cannot be read. Memory: the lines of orders 1 and 2 (n(n + 1)/2 values)
// and a buffer; nothing else grows with the file.
ProbFile readProbFile(int descriptor, const std::string& name, std::int32_t n);

}  // namespace intersections
