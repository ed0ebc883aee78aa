#include "bounds/report.h"

#include <algorithm>
#include <ostream>

#include "bounds/decimal.h"
#include "bounds/prob_file.h"

namespace intersections {

namespace {

constexpr int exactDecimals = 9;
constexpr int boundDecimals = 12;

std::string units(const mpz_class& value) {
  return formatFixed(probabilityOfUnits(value), exactDecimals, Rounding::nearest);
}

std::string lowerBound(const mpq_class& value) {
  return formatFixed(value, boundDecimals, Rounding::down);
}
std::string upperBound(const mpq_class& value) {
  return formatFixed(value, boundDecimals, Rounding::up);
}

using Table = std::vector<std::vector<std::string>>;

// Right-aligned columns, two blanks apart.
void writeAligned(std::ostream& out, const Table& table) {
  std::vector<std::size_t> widths;
  for (const auto& row : table) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  for (const auto& row : table) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) line += "  ";
      line += std::string(widths[c] - row[c].size(), ' ') + row[c];
    }
    out << line << '\n';
  }
}

const char* const columnNames[] = {"order",          "S",      "bonferroni", "lower", "upper",
                                   "hunter_worsley", "de_caen"};

}  // namespace

void writeCsv(std::ostream& out, const std::vector<OrderBounds>& rows) {
  out << "order,S,bonferroni,lower,upper,hunter_worsley,de_caen\n";
  for (const OrderBounds& row : rows) {
    out << row.order << ',' << units(row.moment) << ',' << units(row.bonferroni) << ','
        << lowerBound(row.lower) << ',' << upperBound(row.upper) << ','
        << (row.hunterWorsley ? upperBound(*row.hunterWorsley) : "") << ','
        << (row.deCaen ? lowerBound(*row.deCaen) : "") << '\n';
  }
}

void writeTable(std::ostream& out, const ReportHeader& header, const std::vector<OrderBounds>& rows,
                const std::optional<KnownUnion>& known) {
  const std::size_t orders = rows.size();
  out << header.name << ": n = " << header.n << ", " << header.lines << " line"
      << (header.lines == 1 ? "" : "s") << ", order" << (orders > 1 ? "s 1 to " : " ") << orders
      << " used\n\n";
  Table table{std::vector<std::string>(std::begin(columnNames), std::end(columnNames))};
  for (const OrderBounds& row : rows) {
    table.push_back({std::to_string(row.order), units(row.moment), units(row.bonferroni),
                     lowerBound(row.lower), upperBound(row.upper),
                     row.hunterWorsley ? upperBound(*row.hunterWorsley) : "-",
                     row.deCaen ? lowerBound(*row.deCaen) : "-"});
  }
  writeAligned(out, table);
  out << "\nS: sum of the lines of the order; bonferroni: S_1 - S_2 + ... (an upper bound for odd "
         "orders, "
         "a lower one for even,\nfrom the rounded lines); lower, upper: the sharp bounds given "
         "orders 1 to k; "
         "hunter_worsley, de_caen: bounds from\norders 1 and 2. Every bound but bonferroni holds "
         "whatever the "
         "rounding of the lines.\n";
  if (!known) return;

  auto margin = [&](const mpq_class& bound, bool isUpper) {
    return formatFixed(isUpper ? mpq_class(bound - known->value) : mpq_class(known->value - bound),
                       boundDecimals, Rounding::nearest);
  };
  out << "\nmargin to P = " << known->text
      << ": how far each bound lies from P on its own side (negative: P lies outside it)\n\n";
  Table margins{{"order", "bonferroni", "lower", "upper", "hunter_worsley", "de_caen"}};
  for (const OrderBounds& row : rows) {
    margins.push_back({std::to_string(row.order),
                       margin(probabilityOfUnits(row.bonferroni), row.order % 2 == 1),
                       margin(row.lower, false), margin(row.upper, true),
                       row.hunterWorsley ? margin(*row.hunterWorsley, true) : "-",
                       row.deCaen ? margin(*row.deCaen, false) : "-"});
  }
  writeAligned(out, margins);
}

std::vector<std::string> boundsMissed(const std::vector<OrderBounds>& rows,
                                      const KnownUnion& known) {
  std::vector<std::string> lines;
  auto check = [&](const OrderBounds& row, const char* name, const mpq_class& bound, bool isUpper) {
    const bool missed = isUpper ? known.value > bound : known.value < bound;
    if (!missed) return;
    lines.push_back("P = " + known.text + " lies " + (isUpper ? "above" : "below") + " the " +
                    name + " bound of order " + std::to_string(row.order) + " (" +
                    (isUpper ? upperBound(bound) : lowerBound(bound)) + ")");
  };
  for (const OrderBounds& row : rows) {
    check(row, "lower", row.lower, false);
    check(row, "upper", row.upper, true);
    if (row.hunterWorsley) check(row, "hunter_worsley", *row.hunterWorsley, true);
    if (row.deCaen) check(row, "de_caen", *row.deCaen, false);
  }
  return lines;
}

}  // namespace intersections
