#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "bounds/order_bounds.h"
#include "reporting/known_union.h"

namespace intersections {

// What the report says about the file it came from.
struct ReportHeader {
  std::string name;
  std::int32_t n = 0;
  std::uint64_t lines = 0;
  std::int32_t atLeast = 1;  // the event bounded: at least this many events (1: the union)
};

// The header "order,S,bonferroni,lower,upper,hunter_worsley,de_caen,kat,cherry,
// boolean_lower,boolean_upper" and one row per order, lines ending in LF. S
// and bonferroni exactly, with nine decimals; the bounds with twelve, lower
// bounds (lower, de_caen, kat, boolean_lower) rounded down and upper bounds
// (upper, hunter_worsley, cherry, boolean_upper) rounded up, so that each
// printed bound is still a bound; empty where a bound has no value (the
// pairwise ones on row 1, cherry on rows 1 and 2, the union's own bounds on
// every row of a report about at least r > 1 events, the Boolean ones on the
// orders they were not computed for).
void writeCsv(std::ostream& out, const std::vector<OrderBounds>& rows);

// The same for people: a line about the file, then an aligned table with a
// row per order (without the union's own bounds when the event is at least
// r > 1 events) and a legend; with a known probability of the event a second
// table gives each bound's margin, its distance to P on the side where the
// bound holds (negative when P lies outside it).
void writeTable(std::ostream& out, const ReportHeader& header, const std::vector<OrderBounds>& rows,
                const std::optional<KnownUnion>& known);

// One line for each bound that P lies outside of, among the bounds that hold
// whatever the rounding (sharp and pairwise): "P = 0.8 lies above the upper
// bound of order 3 (0.79...)".
std::vector<std::string> boundsMissed(const std::vector<OrderBounds>& rows,
                                      const KnownUnion& known);

}  // namespace intersections
