#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "study/instances_csv.h"

namespace intersections {

// The line for a rigorous bound on the wrong side of the true probability:
// "second T: the true probability X lies above the upper bound of order K (B)".
std::string wrongSideMessage(std::int64_t second, const std::string& probability,
                             const std::string& bound, bool isUpper, std::int32_t order,
                             const std::string& value);

// A bound column of the summary: a built-in one or one of the user's own.
struct SummaryColumn {
  std::string name;
  bool isUpper = false;
  bool boolean = false;  // a Boolean bound: no part in "tightest", no gap of its own
};

// The columns of rows whose header names the bounds of the user's own
// `user`: those of boundColumns(), then the user's, in the order of their
// fields.
std::vector<SummaryColumn> summaryColumns(const std::vector<UserColumn>& user);

// A bound is taken to reach the best bound of its side when it lies within
// this of it: the resolution of the lines, below which the Boolean bounds'
// own proof gap (at most 10^-10) and rounding can make equal bounds differ.
inline constexpr double bestBoundReach = 1e-9;

// How far each bound lies from the true probability, by order, over the
// instances of one setting (n, density, P, m, r) and one set of options: the
// number of instances, the smallest, mean, median and largest distance on the
// bound's own side (the probability minus a lower bound, an upper bound minus
// the probability), and in how many instances it was the closest of the
// classical rigorous bounds of its side (the Boolean bounds, the best
// possible, take no part; the bounds of the user's own do). Beside it, for every bound but the
// Boolean ones, its gap to the Boolean bound of its side and order where that was computed (the
// smallest, mean, median and largest; how often it reached it, within bestBoundReach), and for the
// Boolean bounds in how many instances they were only the best proved before their work ran out.
// The Bonferroni sums (an upper bound at odd orders, a lower one at even) are measured the same way
// but are not rigorous: they take no part in "tightest" and are never on the
// wrong side. The result depends on the set of rows alone, not on the order
// in which instances are added.
class StudySummary {
 public:
  // A summary of rows with the bound columns `columns` (summaryColumns).
  explicit StudySummary(std::vector<SummaryColumn> columns = summaryColumns({}))
      : columns_(std::move(columns)) {}

  // Adds one row. The rows of an instance come together, orders 1 to
  // min(m, n) in turn; no instance comes twice and every row is of the same
  // setting and options. Returns a line (wrongSideMessage) for each rigorous
  // bound of the row that lies on the wrong side. Throws std::invalid_argument
  // saying what is wrong with the row.
  std::vector<std::string> add(const InstanceRow& row);
  // Throws std::invalid_argument when the last instance stops before its last order.
  void finish() const;

  std::size_t instances() const { return seconds_.size(); }

  // The aligned table with its legend, for people.
  void writeTable(std::ostream& out) const;
  // The rows of the CSV summary (see GridSummary::writeCsv), lines ending in LF.
  void writeCsvRows(std::ostream& out) const;

 private:
  struct Distances {
    std::vector<double> values;
    std::vector<double> gaps;  // to the Boolean bound of the side, where there was one
    std::uint64_t tightest = 0;
    std::uint64_t best = 0;        // gaps within bestBoundReach
    std::uint64_t notOptimal = 0;  // for the Boolean bounds
  };
  struct Line {
    std::int32_t order;
    std::string bound;
    bool isUpper;
    bool classical;  // rigorous, and not a Boolean bound: takes part in "tightest"
    bool boolean;
    const Distances* distances;
  };
  std::vector<Line> lines() const;
  static std::vector<std::string> statistics(const std::vector<double>& values);

  std::vector<SummaryColumn> columns_;
  std::vector<std::string> study_;  // n, density, P, m, r as written
  std::string options_;             // boolean, boolean_limit, delta, family as written
  std::int32_t atLeast() const { return study_.size() > 4 ? std::stoi(study_[4]) : 1; }
  std::int32_t orders_ = 0;
  std::set<std::int64_t> seconds_;
  std::int64_t current_ = 0;
  std::int32_t lastOrder_ = 0;
  std::vector<Distances> distances_;  // [order - 1][0: bonferroni, then the bound columns]
};

// The summaries of every setting of a study (a grid of settings), in the
// order of the settings (n, density, P, m, r, each by its value), whatever
// the order of the rows: so that the summary of the shards of a study is that
// of the whole study. Every row must have the same options.
class GridSummary {
 public:
  // A summary of rows whose header names the bounds of the user's own `user`.
  explicit GridSummary(const std::vector<UserColumn>& user = {}) : columns_(summaryColumns(user)) {}

  // As StudySummary::add, for the row's setting.
  std::vector<std::string> add(const InstanceRow& row);
  // As StudySummary::finish, for every setting.
  void finish() const;

  std::size_t instances() const;

  // Each setting's table with its legend, for people, one after another.
  void writeTable(std::ostream& out) const;
  // The header "n,density,P,m,r,boolean,boolean_limit,delta,family,first,last,order,
  // bound,side,instances,smallest,mean,median,largest,tightest,gap_smallest,
  // gap_mean,gap_median,gap_largest,best,not_optimal" and one row per setting,
  // order and bound that has a value, lines ending in LF.
  void writeCsv(std::ostream& out) const;

 private:
  // The setting's fields as numbers where they are, for the order of settings.
  struct Key {
    std::vector<mpq_class> values;
    std::string text;
    friend bool operator<(const Key& a, const Key& b) {
      return a.values != b.values ? a.values < b.values : a.text < b.text;
    }
  };
  std::vector<SummaryColumn> columns_;
  std::map<Key, StudySummary> settings_;
};

}  // namespace intersections
