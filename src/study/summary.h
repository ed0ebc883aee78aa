#pragma once

#include <cstdint>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "study/instances_csv.h"

namespace intersections {

// The line for a rigorous bound on the wrong side of the true probability:
// "second T: the true probability X lies above the upper bound of order K (B)".
std::string wrongSideMessage(std::int64_t second, const std::string& probability, const char* bound,
                             bool isUpper, std::int32_t order, const std::string& value);

// How far each bound lies from the true probability, by order, over the
// instances of one study: the number of instances, the smallest, mean, median
// and largest distance on the bound's own side (the probability minus a lower
// bound, an upper bound minus the probability), and in how many instances it
// was the closest of the rigorous bounds of its side. The Bonferroni sums
// (an upper bound at odd orders, a lower one at even) are measured the same
// way but are not rigorous: they take no part in "closest" and are never on
// the wrong side. The result depends on the set of rows alone, not on the
// order in which instances are added.
class StudySummary {
 public:
  // Adds one row. The rows of an instance come together, orders 1 to
  // min(m, n) in turn; no instance comes twice and every row is of the same
  // study and Boolean mode. Returns a line (wrongSideMessage) for each rigorous bound of the row
  // that lies on the wrong side. Throws std::invalid_argument saying what is
  // wrong with the row.
  std::vector<std::string> add(const InstanceRow& row);
  // Throws std::invalid_argument when the last instance stops before its last order.
  void finish() const;

  std::size_t instances() const { return seconds_.size(); }

  // The aligned table with its legend, for people.
  void writeTable(std::ostream& out) const;
  // The header "n,density,P,m,r,boolean,first,last,order,bound,side,
  // instances,smallest,mean,median,largest,tightest" and one row per order and
  // bound that has a value, lines ending in LF.
  void writeCsv(std::ostream& out) const;

 private:
  struct Distances {
    std::vector<double> values;
    std::uint64_t tightest = 0;
  };
  struct Line {
    std::int32_t order;
    std::string bound;
    bool isUpper;
    bool rigorous;  // takes part in "closest"
    const Distances* distances;
  };
  std::vector<Line> lines() const;
  static std::vector<std::string> statistics(const Distances& distances);

  std::vector<std::string> study_;  // n, density, P, m, r as written
  std::string boolean_;             // the Boolean bounds' mode of every row
  std::int32_t atLeast() const { return study_.size() > 4 ? std::stoi(study_[4]) : 1; }
  std::int32_t orders_ = 0;
  std::set<std::int64_t> seconds_;
  std::int64_t current_ = 0;
  std::int32_t lastOrder_ = 0;
  std::vector<Distances> distances_;  // [order - 1][0: bonferroni, then the bound columns]
};

}  // namespace intersections
