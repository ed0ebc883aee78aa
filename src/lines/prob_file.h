#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "lines/line_selection.h"
#include "lines/observations.h"

namespace intersections {

// What a probability file of n events holds, read in one pass. A value with
// d decimals stands for any true value within 10^-d of it (one unit of its
// last decimal), cut to [0, 1]; the ends of that interval are held in units
// of 10^-9, rounded outwards when d > 9, and the value itself as the nearest
// whole number of units ("0.062500000" is 62500000 units).
struct ProbFile {
  Observations observations;  // the complete orders, and the lines of the orders kept
  std::uint64_t lines = 0;    // the complete lines read, whether used or not
  std::string shortfall;      // why lines at the end were not used, or empty
};

// A file that cannot be read or does not hold the probabilities of n events.
// The message names the file, and the line where there is one.
struct ProbFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads the lines of the file open as `descriptor` (named `name` in messages)
// as the output of a run with n events: C(n, 1) lines of order 1, then
// C(n, 2) of order 2, and so on. Each line is digits, optionally a point and
// any number of decimals, and CR LF or LF, and reads as a value from 0 to 1.
// With `halfWidth` (in units), every line stands for its value plus or minus
// that, cut to [0, 1], instead. The orders whose lines are all present are
// used; lines of an order cut short, and a last line without its line end,
// are left out, and `shortfall` says so. Throws
// ProbFileError for a line that is not such a value, for more lines than the
// 2^n - 1 sets of n events, for a file without a complete order, and when the
// file cannot be read. The lines that `keep` selects are kept one by one (4
// bytes each) as far as their orders are complete; of the rest only the sums,
// so that nothing else grows with the file. The picker is called once order
// keep.keepOrders is complete and the file goes on, and the lines at the
// places it returns go to observations.picked; the other lines of that order
// are scanned at full speed. Throws std::invalid_argument for places not
// ascending within the order.
ProbFile readProbFile(int descriptor, const std::string& name, std::int32_t n,
                      const LineSelection& keep = {},
                      std::optional<std::uint32_t> halfWidth = std::nullopt);

}  // namespace intersections
