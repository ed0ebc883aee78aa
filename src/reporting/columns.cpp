#include "reporting/columns.h"

#include "lines/units.h"
#include "reporting/decimal.h"

namespace intersections {

std::string unitsText(const mpz_class& units) {
  return formatFixed(probabilityOfUnits(units), sumDecimals, Rounding::nearest);
}

const std::vector<BoundColumn>& boundColumns() {
  static const std::vector<BoundColumn> columns{
      {"lower", false, [](const OrderBounds& row) { return std::optional<mpq_class>(row.lower); },
       false},
      {"upper", true, [](const OrderBounds& row) { return std::optional<mpq_class>(row.upper); },
       false},
      {"hunter_worsley", true, [](const OrderBounds& row) { return row.hunterWorsley; }, true},
      {"de_caen", false, [](const OrderBounds& row) { return row.deCaen; }, true},
      {"kat", false, [](const OrderBounds& row) { return row.kat; }, true},
      {"gallot_kounias", false, [](const OrderBounds& row) { return row.gallotKounias; }, true},
      {"cherry", true, [](const OrderBounds& row) { return row.cherry; }, true},
      {"boolean_lower", false, [](const OrderBounds& row) { return row.booleanLower; }, false,
       true},
      {"boolean_upper", true, [](const OrderBounds& row) { return row.booleanUpper; }, false, true},
  };
  return columns;
}

std::vector<BoundColumn> tableColumns(std::int32_t atLeast) {
  std::vector<BoundColumn> shown;
  for (const BoundColumn& column : boundColumns()) {
    if (atLeast == 1 || !column.unionOnly) shown.push_back(column);
  }
  return shown;
}

std::string formatBound(const BoundColumn& column, const mpq_class& value) {
  return formatFixed(value, boundDecimals, column.isUpper ? Rounding::up : Rounding::down);
}

std::string csvHeader() {
  std::string header = "order,S,bonferroni";
  for (const BoundColumn& column : boundColumns()) header += std::string(",") + column.name;
  return header + ",boolean_optimal";
}

std::size_t csvFields() { return 3 + boundColumns().size() + 1; }

std::string csvRow(const OrderBounds& row) {
  std::string text =
      std::to_string(row.order) + ',' + unitsText(row.moment) + ',' + unitsText(row.bonferroni);
  for (const BoundColumn& column : boundColumns()) {
    text += ',';
    if (const auto value = column.value(row)) text += formatBound(column, *value);
  }
  text += ',';
  if (row.booleanOptimal) text += *row.booleanOptimal ? '1' : '0';
  return text;
}

}  // namespace intersections
