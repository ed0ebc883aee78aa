#include "study/summary.h"

#include <algorithm>
#include <ostream>
#include <stdexcept>

#include "bounds/bonferroni.h"
#include "reporting/columns.h"
#include "reporting/decimal.h"
#include "reporting/text_table.h"

namespace intersections {

namespace {

constexpr int distanceDecimals = 12;

std::string text(double value) {
  return formatFixed(mpq_class(value), distanceDecimals, Rounding::nearest);
}

// "n = 12, density 20, P = 0.9, m = 6" and what sets it apart: the event, and
// the options that are not the default.
std::string describe(const std::vector<std::string>& study, const std::string& options) {
  std::string text = "n = " + study[0] + ", density " + study[1] + ", P = " + study[2] +
                     ", m = " + study[3] +
                     (study[4] == "1" ? "" : ", at least " + study[4] + " events");
  const std::vector<std::string> fields = splitCsvFields(options);
  if (fields.size() != 4) return text;
  const std::optional<BooleanMode> mode = booleanModeOf(fields[0]);
  if (mode == BooleanMode::all) text += ", --boolean";
  if (mode == BooleanMode::none) text += ", --no-boolean";
  // The limit where it is not the mode's own.
  if (mode && mode != BooleanMode::none &&
      fields[1] != std::to_string(booleanWorkLimit(*mode, std::nullopt)))
    text += ", --boolean-limit " + fields[1];
  if (!fields[2].empty()) text += ", --delta " + fields[2];
  if (const std::optional<InstanceFamily> family = parseFamily(fields[3])) {
    for (const std::string& option : family->options()) text += ", " + option;
  }
  return text;
}

std::string count(std::uint64_t value) { return std::to_string(value); }

std::string joined(const std::vector<std::string>& study) {
  std::string text;
  for (const std::string& field : study) text += (text.empty() ? "" : ",") + field;
  return text;
}

}  // namespace

std::string wrongSideMessage(std::int64_t second, const std::string& probability,
                             const std::string& bound, bool isUpper, std::int32_t order,
                             const std::string& value) {
  return "second " + std::to_string(second) + ": the true probability " + probability + " lies " +
         (isUpper ? "above" : "below") + " the " + bound + " bound of order " +
         std::to_string(order) + " (" + value + ")";
}

std::vector<SummaryColumn> summaryColumns(const std::vector<UserColumn>& user) {
  std::vector<SummaryColumn> columns;
  for (const BoundColumn& column : boundColumns())
    columns.push_back({column.name, column.isUpper, column.boolean});
  for (const UserColumn& column : user) columns.push_back({column.name, column.isUpper, false});
  return columns;
}

std::vector<std::string> StudySummary::add(const InstanceRow& row) {
  const std::size_t perOrder = 1 + columns_.size();
  if (row.bounds.size() != columns_.size()) {
    throw std::invalid_argument("the row has " + std::to_string(row.bounds.size()) +
                                " bounds, the summary " + std::to_string(columns_.size()));
  }
  if (study_.empty()) {
    study_ = splitCsvFields(row.study);
    options_ = row.options;
    orders_ = std::min(row.n, row.m);
    distances_.resize(static_cast<std::size_t>(orders_) * perOrder);
  } else if (row.study != joined(study_)) {
    throw std::invalid_argument("the row is of the study n,density,P,m,r = " + row.study +
                                ", not of " + joined(study_));
  } else if (row.options != options_) {
    throw std::invalid_argument(
        "the row was made with the options boolean,boolean_limit,delta,family = " + row.options +
        ", the rows before with " + options_);
  }
  const std::string second = "second " + std::to_string(row.second);
  if (!seconds_.empty() && row.second == current_) {
    if (row.order != lastOrder_ + 1) {
      throw std::invalid_argument(second + ": order " + std::to_string(row.order) +
                                  " after order " + std::to_string(lastOrder_));
    }
  } else {
    finish();
    if (seconds_.count(row.second) != 0) throw std::invalid_argument(second + " comes twice");
    if (row.order != 1) {
      throw std::invalid_argument(second + " starts with order " + std::to_string(row.order) +
                                  ", not 1");
    }
    seconds_.insert(row.second);
    current_ = row.second;
  }
  lastOrder_ = row.order;

  const std::vector<SummaryColumn>& columns = columns_;
  std::vector<std::string> wrongSide;
  Distances* distances = &distances_[static_cast<std::size_t>(row.order - 1) * perOrder];
  // The Boolean bound of each side, [0] lower, [1] upper, where there is one.
  std::optional<mpq_class> booleanOf[2];
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].boolean && row.bounds[c]) booleanOf[columns[c].isUpper] = row.bounds[c];
  }
  // A bound's distance from the Boolean bound of its side, counted where it is.
  const auto addGap = [&](Distances& to, const mpq_class& bound, bool isUpper) {
    const std::optional<mpq_class>& best = booleanOf[isUpper];
    if (!best) return;
    const double gap = (isUpper ? mpq_class(bound - *best) : mpq_class(*best - bound)).get_d();
    to.gaps.push_back(gap);
    to.best += gap <= bestBoundReach;
  };
  const bool bonferroniUpper = bonferroniIsUpper(row.order, row.atLeast);
  const mpq_class bonferroni = bonferroniUpper ? mpq_class(row.bonferroni - row.probability)
                                               : mpq_class(row.probability - row.bonferroni);
  distances[0].values.push_back(bonferroni.get_d());
  addGap(distances[0], row.bonferroni, bonferroniUpper);
  // The closest classical rigorous bound of each side: [0] lower, [1] upper.
  std::optional<mpq_class> closest[2];
  std::vector<mpq_class> distance(columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const SummaryColumn& column = columns[c];
    if (!row.bounds[c]) continue;
    Distances& to = distances[1 + c];
    distance[c] =
        column.isUpper ? *row.bounds[c] - row.probability : row.probability - *row.bounds[c];
    to.values.push_back(distance[c].get_d());
    if (distance[c] < 0) {
      wrongSide.push_back(wrongSideMessage(row.second, row.probabilityText, column.name,
                                           column.isUpper, row.order, row.boundTexts[c]));
    }
    if (column.boolean) {
      to.notOptimal += row.booleanOptimal == false;
      continue;
    }
    addGap(to, *row.bounds[c], column.isUpper);
    std::optional<mpq_class>& best = closest[column.isUpper];
    if (!best || distance[c] < *best) best = distance[c];
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (row.bounds[c] && !columns[c].boolean && distance[c] == *closest[columns[c].isUpper])
      ++distances[1 + c].tightest;
  }
  return wrongSide;
}

void StudySummary::finish() const {
  if (!seconds_.empty() && lastOrder_ != orders_) {
    throw std::invalid_argument("second " + std::to_string(current_) + " stops after order " +
                                std::to_string(lastOrder_) + " of " + std::to_string(orders_));
  }
}

std::vector<StudySummary::Line> StudySummary::lines() const {
  std::vector<Line> result;
  const std::size_t perOrder = 1 + columns_.size();
  for (std::int32_t order = 1; order <= orders_; ++order) {
    const Distances* distances = &distances_[static_cast<std::size_t>(order - 1) * perOrder];
    if (!distances[0].values.empty())
      result.push_back(
          {order, "bonferroni", bonferroniIsUpper(order, atLeast()), false, false, &distances[0]});
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const SummaryColumn& column = columns_[c];
      if (!distances[1 + c].values.empty())
        result.push_back({order, column.name, column.isUpper, !column.boolean, column.boolean,
                          &distances[1 + c]});
    }
  }
  return result;
}

// smallest, mean, median, largest; four empty fields for no values.
std::vector<std::string> StudySummary::statistics(const std::vector<double>& values) {
  if (values.empty()) return {"", "", "", ""};
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  // Added in ascending order, so that the mean does not depend on the order
  // in which the instances came.
  double sum = 0;
  for (const double value : sorted) sum += value;
  const std::size_t n = sorted.size();
  const double median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  return {text(sorted.front()), text(sum / static_cast<double>(n)), text(median),
          text(sorted.back())};
}

void StudySummary::writeTable(std::ostream& out) const {
  if (seconds_.empty()) {
    out << "no instances\n";
    return;
  }
  const std::size_t instances = seconds_.size();
  const std::int64_t first = *seconds_.begin(), last = *seconds_.rbegin();
  const bool everySecond = instances == static_cast<std::size_t>(last - first) + 1;
  out << describe(study_, options_) << ": " << instances << " instance"
      << (instances == 1 ? "" : "s") << ", " << (everySecond ? "the seconds " : "of the seconds ")
      << first << " to " << last << (everySecond ? "" : " (not every one)") << "\n\n";
  const std::vector<Line> all = lines();
  const bool gaps = std::any_of(all.begin(), all.end(),
                                [](const Line& line) { return !line.distances->gaps.empty(); });
  const bool stopped = std::any_of(all.begin(), all.end(),
                                   [](const Line& line) { return line.distances->notOptimal > 0; });
  TextTable table{
      {"order", "bound", "side", "instances", "smallest", "mean", "median", "largest", "tightest"}};
  if (gaps) table[0].insert(table[0].end(), {"gap_median", "best"});
  if (stopped) table[0].push_back("not_optimal");
  for (const Line& line : all) {
    const Distances& d = *line.distances;
    std::vector<std::string> cells{std::to_string(line.order), line.bound,
                                   line.isUpper ? "upper" : "lower", count(d.values.size())};
    for (std::string& figure : statistics(d.values)) cells.push_back(std::move(figure));
    cells.push_back(line.classical ? count(d.tightest) : "-");
    if (gaps) {
      cells.push_back(d.gaps.empty() ? "-" : statistics(d.gaps)[2]);
      cells.push_back(d.gaps.empty() ? "-" : count(d.best));
    }
    if (stopped) cells.push_back(line.boolean ? count(d.notOptimal) : "-");
    table.push_back(std::move(cells));
  }
  writeTextTable(out, table, 2);
  std::string legend =
      "distance: how far a bound lies from the true probability of the event (the union, or at "
      "least r events) on its own side (the probability minus a lower bound, an upper bound "
      "minus the probability; negative: on the wrong side); the true probability of an instance "
      "is the exact sum of the weights of its outcomes in the event. tightest: in how many "
      "instances the bound was the closest of the classical bounds of its side (ties count for "
      "each; the Boolean bounds take no part). bonferroni is made from the rounded lines: it may "
      "cross the probability by their rounding, which is no defect, and it takes no part in "
      "tightest.";
  if (gaps) {
    legend +=
        " gap_median: the median distance from the Boolean bound of the same side and order, "
        "the best any bound from those orders could do; best: in how many instances the bound "
        "came within 1e-9 of it.";
  }
  if (stopped) {
    legend +=
        " not_optimal: in how many instances the Boolean bound was only the best proved before "
        "its work ran out (--boolean-limit).";
  }
  out << "\n" << wrappedText(legend, 100);
}

void StudySummary::writeCsvRows(std::ostream& out) const {
  if (seconds_.empty()) return;
  const std::string prefix = joined(study_) + ',' + options_ + ',' +
                             std::to_string(*seconds_.begin()) + ',' +
                             std::to_string(*seconds_.rbegin()) + ',';
  for (const Line& line : lines()) {
    const Distances& d = *line.distances;
    out << prefix << line.order << ',' << line.bound << ',' << (line.isUpper ? "upper" : "lower")
        << ',' << d.values.size();
    for (const std::string& figure : statistics(d.values)) out << ',' << figure;
    out << ',' << (line.classical ? count(d.tightest) : "");
    for (const std::string& figure : statistics(d.gaps)) out << ',' << figure;
    out << ',' << (d.gaps.empty() ? "" : count(d.best));
    out << ',' << (line.boolean ? count(d.notOptimal) : "") << '\n';
  }
}

namespace {

// The setting of a row, "n,density,P,m,r", as the key of its summary.
std::vector<mpq_class> settingValues(const std::string& study) {
  std::vector<mpq_class> values;
  for (const std::string& field : splitCsvFields(study)) {
    const std::optional<mpq_class> value = parseDecimal(field);
    values.push_back(value ? *value : mpq_class(0));
  }
  return values;
}

}  // namespace

std::vector<std::string> GridSummary::add(const InstanceRow& row) {
  return settings_.try_emplace(Key{settingValues(row.study), row.study}, columns_)
      .first->second.add(row);
}

void GridSummary::finish() const {
  for (const auto& [key, summary] : settings_) summary.finish();
}

std::size_t GridSummary::instances() const {
  std::size_t total = 0;
  for (const auto& [key, summary] : settings_) total += summary.instances();
  return total;
}

void GridSummary::writeTable(std::ostream& out) const {
  if (settings_.empty()) {
    out << "no instances\n";
    return;
  }
  bool first = true;
  for (const auto& [key, summary] : settings_) {
    if (!first) out << '\n';
    first = false;
    summary.writeTable(out);
  }
}

void GridSummary::writeCsv(std::ostream& out) const {
  out << "n,density,P,m,r,boolean,boolean_limit,delta,family,first,last,order,bound,side,instances,"
         "smallest,mean,median,largest,tightest,gap_smallest,gap_mean,gap_median,gap_largest,"
         "best,not_optimal\n";
  for (const auto& [key, summary] : settings_) summary.writeCsvRows(out);
}

}  // namespace intersections
