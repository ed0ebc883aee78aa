#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bounds/order_bounds.h"

namespace intersections {

// The bounds a report shows for each order, in the order of their columns.
// Every one of them holds whatever the true values within the intervals of
// the lines are (unlike the Bonferroni sums, which are made from the values
// as they read and have a column of their own).
struct BoundColumn {
  const char* name;  // the CSV header and the table's heading
  bool isUpper;      // an upper bound (printed rounded up), or a lower one (rounded down)
  std::optional<mpq_class> (*value)(const OrderBounds&);  // nothing where the bound has no value
  bool unionOnly;        // a bound on the union alone: empty in the CSV and left out of the table
                         // when the report is about at least r > 1 events
  bool boolean = false;  // a Boolean bound, which may be only the best proved (booleanOptimal)
};

const std::vector<BoundColumn>& boundColumns();

// The columns a table shows for the event "at least atLeast of the events".
std::vector<BoundColumn> tableColumns(std::int32_t atLeast);

// The decimals of a sum of lines (exact: units of 10^-9) and of a bound
// (rounded outwards) in the reports.
inline constexpr int sumDecimals = 9;
inline constexpr int boundDecimals = 12;

// A sum of lines in units, exactly, with nine decimals, as the CSV shows S.
std::string unitsText(const mpz_class& units);

// The bound of `column` in fixed notation with twelve decimals, rounded
// outwards (a lower bound down, an upper bound up), so that the text is still
// a bound.
std::string formatBound(const BoundColumn& column, const mpq_class& value);

// The CSV header: "order,S,bonferroni,", the names of the bound columns, then
// "boolean_optimal".
std::string csvHeader();

// One CSV row of `row` without its line end: the order, S and the Bonferroni
// sum with nine decimals (exact), then each bound, empty where it has no
// value, then 1 where the Boolean bounds are the optima, 0 where they are only
// the best proved before their work ran out, empty without them.
std::string csvRow(const OrderBounds& row);

// The number of fields of csvRow.
std::size_t csvFields();

}  // namespace intersections
