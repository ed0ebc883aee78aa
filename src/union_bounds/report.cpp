#include "union_bounds/report.h"

#include <algorithm>
#include <ostream>

#include "lines/units.h"
#include "reporting/columns.h"
#include "reporting/decimal.h"
#include "reporting/text_table.h"

namespace intersections {

namespace {

// What the columns mean, in lines of at most 116 characters; `stopped` when
// some Boolean bounds are only the best proved before their work ran out.
std::string legend(std::int32_t r, bool stopped) {
  const std::string boolean =
      std::string(
          "boolean_lower, boolean_upper: the best that any bound from orders 1 to k could do, "
          "the least and the greatest probability over every distribution on the 2^n atoms "
          "that fits the lines, each proved exactly (- where left out") +
      (stopped ? "; * where the work ran out first: the best proved, not the best possible" : "") +
      "). Every bound but bonferroni holds whatever the rounding of the lines.";
  if (r == 1) {
    return wrappedText(
        "S: sum of the lines of the order; bonferroni: S_1 - S_2 + ... (an upper bound for odd "
        "orders, a lower one for even, from the rounded lines); lower, upper: the sharp bounds "
        "given orders 1 to k; hunter_worsley, de_caen, kat: bounds from orders 1 and 2; cherry: "
        "a t-cherry tree bound from orders 1 to 3 (hunter_worsley and cherry are shown as 1 "
        "where they pass it); " +
            boolean,
        116);
  }
  const std::string R = std::to_string(r);
  return wrappedText("S: sum of the lines of the order; bonferroni: the sum over j = " + R +
                         "..k of (-1)^(j-" + R + ") C(j-1, " + std::to_string(r - 1) +
                         ") S_j (an upper bound when k - " + R +
                         " is even, a lower one when it is odd or k < " + R +
                         ", from the rounded lines); lower, upper: the sharp bounds given orders 1 "
                         "to k; " +
                         boolean,
                     116);
}

}  // namespace

void writeCsv(std::ostream& out, const std::vector<OrderBounds>& rows) {
  out << csvHeader() << '\n';
  for (const OrderBounds& row : rows) out << csvRow(row) << '\n';
}

void writeTable(std::ostream& out, const ReportHeader& header, const std::vector<OrderBounds>& rows,
                const std::optional<KnownUnion>& known) {
  const std::size_t orders = rows.size();
  out << header.name << ": n = " << header.n << ", " << header.lines << " line"
      << (header.lines == 1 ? "" : "s") << ", order" << (orders > 1 ? "s 1 to " : " ") << orders
      << " used";
  if (header.atLeast != 1) {
    out << "; bounds on the probability that at least " << header.atLeast << " of the " << header.n
        << " events occur";
  }
  out << "\n\n";
  const std::vector<BoundColumn> columns = tableColumns(header.atLeast);
  TextTable table{{"order", "S", "bonferroni"}};
  for (const BoundColumn& column : columns) table[0].push_back(column.name);
  const bool stopped = std::any_of(
      rows.begin(), rows.end(), [](const OrderBounds& row) { return row.booleanOptimal == false; });
  for (const OrderBounds& row : rows) {
    std::vector<std::string>& cells = table.emplace_back(std::vector<std::string>{
        std::to_string(row.order), unitsText(row.moment), unitsText(row.bonferroni)});
    for (const BoundColumn& column : columns) {
      const auto value = column.value(row);
      std::string text = value ? formatBound(column, *value) : "-";
      // A star marks the bounds that are only the best proved; the others
      // keep their digits in line with it.
      if (column.boolean && stopped) text += row.booleanOptimal == false ? "*" : " ";
      cells.push_back(text);
    }
  }
  writeTextTable(out, table);
  out << "\n" << legend(header.atLeast, stopped);
  if (!known) return;

  auto margin = [&](const mpq_class& bound, bool isUpper) {
    const mpq_class distance =
        isUpper ? mpq_class(bound - known->value) : mpq_class(known->value - bound);
    std::string text = formatFixed(distance, boundDecimals, Rounding::nearest);
    // A margin below 0 that rounds to 0 keeps its sign: P lies outside the
    // bound, and a warning says so.
    if (sgn(distance) < 0 && text[0] != '-') text.insert(0, 1, '-');
    return text;
  };
  out << "\nmargin to P = " << known->text
      << ": how far each bound lies from P on its own side (negative: P lies outside it)\n\n";
  TextTable margins{{"order", "bonferroni"}};
  for (const BoundColumn& column : columns) margins[0].push_back(column.name);
  for (const OrderBounds& row : rows) {
    std::vector<std::string>& cells = margins.emplace_back(std::vector<std::string>{
        std::to_string(row.order),
        margin(probabilityOfUnits(row.bonferroni), row.bonferroniIsUpper)});
    for (const BoundColumn& column : columns) {
      const auto value = column.value(row);
      cells.push_back(value ? margin(*value, column.isUpper) : "-");
    }
  }
  writeTextTable(out, margins);
}

std::vector<std::string> boundsMissed(const std::vector<OrderBounds>& rows,
                                      const KnownUnion& known) {
  std::vector<std::string> lines;
  for (const OrderBounds& row : rows) {
    for (const BoundColumn& column : boundColumns()) {
      const auto bound = column.value(row);
      if (!bound) continue;
      const bool missed = column.isUpper ? known.value > *bound : known.value < *bound;
      if (!missed) continue;
      lines.push_back("P = " + known.text + " lies " + (column.isUpper ? "above" : "below") +
                      " the " + column.name + " bound of order " + std::to_string(row.order) +
                      " (" + formatBound(column, *bound) + ")");
    }
  }
  return lines;
}

}  // namespace intersections
