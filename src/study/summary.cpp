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

std::string describe(const std::vector<std::string>& study, const std::string& boolean) {
  const std::string flag = boolean == "all"    ? ", --boolean"
                           : boolean == "none" ? ", --no-boolean"
                                               : "";
  return "n = " + study[0] + ", density " + study[1] + ", P = " + study[2] + ", m = " + study[3] +
         (study[4] == "1" ? "" : ", at least " + study[4] + " events") + flag;
}

std::string joined(const std::vector<std::string>& study) {
  std::string text;
  for (const std::string& field : study) text += (text.empty() ? "" : ",") + field;
  return text;
}

}  // namespace

std::string wrongSideMessage(std::int64_t second, const std::string& probability, const char* bound,
                             bool isUpper, std::int32_t order, const std::string& value) {
  return "second " + std::to_string(second) + ": the true probability " + probability + " lies " +
         (isUpper ? "above" : "below") + " the " + bound + " bound of order " +
         std::to_string(order) + " (" + value + ")";
}

std::vector<std::string> StudySummary::add(const InstanceRow& row) {
  const std::size_t perOrder = 1 + boundColumns().size();
  if (study_.empty()) {
    study_ = splitCsvFields(row.study);
    boolean_ = row.boolean;
    orders_ = std::min(row.n, row.m);
    distances_.resize(static_cast<std::size_t>(orders_) * perOrder);
  } else if (row.study != joined(study_)) {
    throw std::invalid_argument("the row is of the study n,density,P,m,r = " + row.study +
                                ", not of " + joined(study_));
  } else if (row.boolean != boolean_) {
    throw std::invalid_argument("the row was made with the Boolean bounds' mode " + row.boolean +
                                ", the rows before with " + boolean_);
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

  std::vector<std::string> wrongSide;
  Distances* distances = &distances_[static_cast<std::size_t>(row.order - 1) * perOrder];
  const mpq_class bonferroni = bonferroniIsUpper(row.order, row.atLeast)
                                   ? mpq_class(row.bonferroni - row.probability)
                                   : mpq_class(row.probability - row.bonferroni);
  distances[0].values.push_back(bonferroni.get_d());
  // The closest rigorous bound of each side: [0] lower, [1] upper.
  std::optional<mpq_class> closest[2];
  std::vector<mpq_class> distance(boundColumns().size());
  for (std::size_t c = 0; c < boundColumns().size(); ++c) {
    const BoundColumn& column = boundColumns()[c];
    if (!row.bounds[c]) continue;
    distance[c] =
        column.isUpper ? *row.bounds[c] - row.probability : row.probability - *row.bounds[c];
    distances[1 + c].values.push_back(distance[c].get_d());
    if (distance[c] < 0) {
      wrongSide.push_back(wrongSideMessage(row.second, row.probabilityText, column.name,
                                           column.isUpper, row.order, row.boundTexts[c]));
    }
    std::optional<mpq_class>& best = closest[column.isUpper];
    if (!best || distance[c] < *best) best = distance[c];
  }
  for (std::size_t c = 0; c < boundColumns().size(); ++c) {
    if (row.bounds[c] && distance[c] == *closest[boundColumns()[c].isUpper])
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
  const std::size_t perOrder = 1 + boundColumns().size();
  for (std::int32_t order = 1; order <= orders_; ++order) {
    const Distances* distances = &distances_[static_cast<std::size_t>(order - 1) * perOrder];
    if (!distances[0].values.empty())
      result.push_back(
          {order, "bonferroni", bonferroniIsUpper(order, atLeast()), false, &distances[0]});
    for (std::size_t c = 0; c < boundColumns().size(); ++c) {
      const BoundColumn& column = boundColumns()[c];
      if (!distances[1 + c].values.empty())
        result.push_back({order, column.name, column.isUpper, true, &distances[1 + c]});
    }
  }
  return result;
}

// instances, smallest, mean, median, largest.
std::vector<std::string> StudySummary::statistics(const Distances& distances) {
  std::vector<double> sorted = distances.values;
  std::sort(sorted.begin(), sorted.end());
  // Added in ascending order, so that the mean does not depend on the order
  // in which the instances came.
  double sum = 0;
  for (const double value : sorted) sum += value;
  const std::size_t count = sorted.size();
  const double median =
      count % 2 == 1 ? sorted[count / 2] : (sorted[count / 2 - 1] + sorted[count / 2]) / 2;
  return {std::to_string(count), text(sorted.front()), text(sum / static_cast<double>(count)),
          text(median), text(sorted.back())};
}

void StudySummary::writeTable(std::ostream& out) const {
  if (seconds_.empty()) {
    out << "no instances\n";
    return;
  }
  const std::size_t count = seconds_.size();
  const std::int64_t first = *seconds_.begin(), last = *seconds_.rbegin();
  const bool everySecond = count == static_cast<std::size_t>(last - first) + 1;
  out << describe(study_, boolean_) << ": " << count << " instance" << (count == 1 ? "" : "s")
      << ", " << (everySecond ? "the seconds " : "of the seconds ") << first << " to " << last
      << (everySecond ? "" : " (not every one)") << "\n\n";
  TextTable table{
      {"order", "bound", "side", "instances", "smallest", "mean", "median", "largest", "tightest"}};
  for (const Line& line : lines()) {
    std::vector<std::string> cells{std::to_string(line.order), line.bound,
                                   line.isUpper ? "upper" : "lower"};
    for (std::string& figure : statistics(*line.distances)) cells.push_back(std::move(figure));
    cells.push_back(line.rigorous ? std::to_string(line.distances->tightest) : "-");
    table.push_back(std::move(cells));
  }
  writeTextTable(out, table, 2);
  out << "\ndistance: how far a bound lies from the true probability of the event (the union, or "
         "at least r\nevents) on its own side (the probability minus a lower bound, an upper bound "
         "minus the\nprobability; negative: on the wrong side); the true probability of an "
         "instance "
         "is the exact sum\nof the weights of its outcomes in the event. tightest: in how many "
         "instances the bound was the\nclosest of its side (ties count for each). bonferroni is "
         "made from the rounded lines: it may cross\nthe probability by their rounding, which is "
         "no defect, and it takes no part in tightest.\n";
}

void StudySummary::writeCsv(std::ostream& out) const {
  out << "n,density,P,m,r,boolean,first,last,order,bound,side,instances,smallest,mean,median,"
         "largest,tightest\n";
  if (seconds_.empty()) return;
  const std::string prefix = joined(study_) + ',' + boolean_ + ',' +
                             std::to_string(*seconds_.begin()) + ',' +
                             std::to_string(*seconds_.rbegin()) + ',';
  for (const Line& line : lines()) {
    out << prefix << line.order << ',' << line.bound << ',' << (line.isUpper ? "upper" : "lower");
    for (const std::string& figure : statistics(*line.distances)) out << ',' << figure;
    out << ',' << (line.rigorous ? std::to_string(line.distances->tightest) : "") << '\n';
  }
}

}  // namespace intersections
