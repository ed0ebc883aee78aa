#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cases.h"
#include "report.h"

namespace bench {

struct Options {
  int runs = 0;  // 0: each case's default
  std::vector<std::string> caseNames;
  std::string dir = "/tmp";
  std::string program;   // the intersections executable
  std::string selfPath;  // this benchmark, which each way's child runs
  bool keep = false;
};

// Runs every way of the case the given number of times in `scratch`, checks
// that their files are byte-identical, and returns the rows of the table:
// the evaluator's, and the whole program's when the case runs it. Progress
// goes to standard error.
std::vector<Row> runCase(const Case& c, const Options& options,
                         const std::filesystem::path& scratch);

}  // namespace bench
