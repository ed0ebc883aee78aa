#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace bench {

// One row of the table: a way of a case, with medians of its runs (NaN where
// a way did not run).
struct Row {
  std::string name, way, lines;
  int runs = 0;
  double ours = NAN, reference = NAN, floor = NAN, draws = NAN;
  double oursCpu = NAN, floorCpu = NAN;
  double oursMb = NAN, referenceMb = NAN, floorMb = NAN;
  std::string referenceNote;  // instead of the reference's figures, when it did not run
  std::string verdict;        // the targets, each "ok" or "FAIL"
};

// Prints the table of all rows and its legend to standard output.
void printTable(const std::vector<Row>& rows);

}  // namespace bench
