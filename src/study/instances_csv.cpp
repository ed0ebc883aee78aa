#include "study/instances_csv.h"

#include <limits>
#include <stdexcept>

#include "common/whole_number.h"
#include "instance/limits.h"
#include "reporting/columns.h"
#include "reporting/decimal.h"

namespace intersections {

namespace {

constexpr std::int64_t largestInt32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t largestSecond = std::numeric_limits<std::int64_t>::max();
// The fields before union-bounds' row.
constexpr std::size_t leadingFields = 11;

[[noreturn]] void badField(const char* name, const std::string& text) {
  throw std::invalid_argument(std::string(name) + " \"" + text + "\" is not valid");
}

std::int64_t wholeField(const char* name, const std::string& text, std::int64_t smallest,
                        std::int64_t largest) {
  const auto value = parseWholeNumber(text, smallest, largest);
  if (!value) badField(name, text);
  return *value;
}

mpq_class decimalField(const char* name, const std::string& text) {
  const auto value = parseDecimal(text);
  if (!value) badField(name, text);
  return *value;
}

// A number as formatFixed writes it with `decimals` decimals: an optional
// minus, digits, a point and exactly that many digits. A field cut short (the
// last of a file stopped part-way) has fewer.
mpq_class fixedField(const char* name, const std::string& text, int decimals) {
  const std::size_t point = text.find('.');
  const std::size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
  if (point == std::string::npos || point == first ||
      text.size() - point - 1 != static_cast<std::size_t>(decimals))
    badField(name, text);
  return decimalField(name, text);
}

}  // namespace

std::vector<std::string> splitCsvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::string RowOptions::text() const {
  std::string fields = booleanModeText(boolean) + ',' + std::to_string(booleanLimit) + ',';
  if (halfWidth) fields += unitsText(*halfWidth);
  return fields + ',' + family.text();
}

std::string instancesHeader(const std::vector<UserColumn>& user) {
  std::string header =
      "n,density,P,m,r,boolean,boolean_limit,delta,family,second,probability," + csvHeader();
  for (const UserColumn& column : user) header += ',' + column.headerField();
  return header;
}

std::optional<std::vector<UserColumn>> userColumnsOfHeader(const std::string& header) {
  const std::string builtIn = instancesHeader();
  if (header.compare(0, builtIn.size(), builtIn) != 0) return std::nullopt;
  if (header.size() == builtIn.size()) return std::vector<UserColumn>{};
  if (header[builtIn.size()] != ',') return std::nullopt;
  std::vector<UserColumn> user;
  for (const std::string& field : splitCsvFields(header.substr(builtIn.size() + 1))) {
    const std::optional<UserColumn> column = userColumnOfField(field);
    if (!column) return std::nullopt;
    user.push_back(*column);
  }
  return user;
}

std::string exactDecimal(const mpq_class& value) {
  mpz_class denominator = value.get_den();
  int twos = 0, fives = 0;
  while (mpz_divisible_ui_p(denominator.get_mpz_t(), 2)) {
    denominator /= 2;
    ++twos;
  }
  while (mpz_divisible_ui_p(denominator.get_mpz_t(), 5)) {
    denominator /= 5;
    ++fives;
  }
  if (denominator != 1) throw std::invalid_argument("exactDecimal: no finite decimal expansion");
  // 10^d / denominator is whole for d = max(twos, fives): d decimals are exact.
  return formatFixed(value, std::max({twos, fives, 1}), Rounding::nearest);
}

std::string instancesRow(const StudyAnswers& answers, std::int32_t atLeast,
                         const RowOptions& options, std::int64_t second,
                         const mpq_class& probability, const OrderBounds& row) {
  return std::to_string(answers.n) + ',' + std::to_string(answers.density) + ',' +
         answers.probabilityText + ',' + std::to_string(answers.m) + ',' + std::to_string(atLeast) +
         ',' + options.text() + ',' + std::to_string(second) + ',' + exactDecimal(probability) +
         ',' + csvRow(row);
}

InstanceRow parseInstancesRow(const std::string& line, const std::vector<UserColumn>& user) {
  const std::vector<std::string> fields = splitCsvFields(line);
  const std::size_t expected = leadingFields + csvFields() + user.size();
  if (fields.size() != expected) {
    throw std::invalid_argument(std::to_string(fields.size()) + " fields, not the " +
                                std::to_string(expected) + " of the header");
  }
  InstanceRow row;
  row.n = static_cast<std::int32_t>(wholeField("n", fields[0], 1, largestEventCount));
  wholeField("density", fields[1], 1, largestInt32);
  const mpq_class P = decimalField("P", fields[2]);
  if (P < 0 || P > 1) badField("P", fields[2]);
  row.m = static_cast<std::int32_t>(wholeField("m", fields[3], 1, largestInt32));
  row.atLeast = static_cast<std::int32_t>(wholeField("r", fields[4], 1, row.n));
  row.study = fields[0] + ',' + fields[1] + ',' + fields[2] + ',' + fields[3] + ',' + fields[4];
  if (!booleanModeOf(fields[5])) badField("boolean", fields[5]);
  wholeField("boolean_limit", fields[6], 0, std::numeric_limits<std::int64_t>::max());
  if (!fields[7].empty()) {
    const mpq_class delta = fixedField("delta", fields[7], sumDecimals);
    if (delta < 0 || delta > 1) badField("delta", fields[7]);
  }
  if (!parseFamily(fields[8])) badField("family", fields[8]);
  row.options = fields[5] + ',' + fields[6] + ',' + fields[7] + ',' + fields[8];
  row.second = wholeField("second", fields[9], 0, largestSecond);
  row.probabilityText = fields[10];
  row.probability = decimalField("probability", fields[10]);
  if (row.probability < 0 || row.probability > 1) badField("probability", fields[10]);
  row.order = static_cast<std::int32_t>(wholeField("order", fields[11], 1, std::min(row.n, row.m)));
  fixedField("S", fields[12], sumDecimals);
  row.bonferroni = fixedField("bonferroni", fields[13], sumDecimals);
  // The bound columns, then boolean_optimal, then the user's own bounds.
  const std::size_t firstBound = 14;
  const std::size_t optimalField = firstBound + boundColumns().size();
  for (std::size_t f = firstBound; f < fields.size(); ++f) {
    if (f == optimalField) continue;
    const std::string& text = fields[f];
    row.boundTexts.push_back(text);
    const char* name = f < optimalField ? boundColumns()[f - firstBound].name
                                        : user[f - optimalField - 1].name.c_str();
    row.bounds.push_back(text.empty() ? std::nullopt
                                      : std::optional(fixedField(name, text, boundDecimals)));
  }
  const std::string& optimal = fields[optimalField];
  if (optimal == "1" || optimal == "0") {
    row.booleanOptimal = optimal == "1";
  } else if (!optimal.empty()) {
    badField("boolean_optimal", optimal);
  }
  return row;
}

}  // namespace intersections
