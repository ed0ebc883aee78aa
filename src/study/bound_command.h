#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <string>
#include <vector>

#include "instance/packed_columns.h"
#include "study/shell_command.h"
#include "study/user_bound.h"

namespace intersections {

// What a bound of the user's own gave for one instance.
struct UserBoundResult {
  std::vector<mpq_class> values;  // the bound of each order, from 1; none when it failed
  std::string failure;            // why there are none: "its command exited with status 3"
};

// The largest size of a value a bound may print: beyond it the text of the
// rows would grow without meaning.
inline constexpr long largestBoundValue = 1000000000000000;  // 10^15

// Runs the command of `bound` once for the instance of `columns` and
// `weights` through runShellCommand, with the number of events N appended to
// the command as its last argument and the lines of orders 1 to min(m, N)
// on its standard input exactly as intersections writes them
// (InstanceText), and reads what it printed as readBoundValues does.
UserBoundResult runUserBound(const UserBound& bound, const PackedColumns& columns,
                             const std::vector<double>& weights, std::int32_t m);

// The bounds a command printed for `orders` orders: exactly that many
// decimal numbers, as parseDecimal takes them, from -10^15 to 10^15,
// separated by white space, and an exit status of 0. Otherwise no values,
// and the failure says why, the first line of its standard error after it
// where there is one: 'it printed "abc", not a decimal number from -10^15
// to 10^15; its standard error: "..."'.
UserBoundResult readBoundValues(const CommandOutcome& outcome, std::size_t orders);

}  // namespace intersections
