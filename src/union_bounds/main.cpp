#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "reporting/gmp_memory.h"
#include "union_bounds/run_union_bounds.h"

int main(int argc, char** argv) {
  intersections::throwBadAllocWhenGmpRunsOut();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int terminal = isatty(STDERR_FILENO) == 1 ? STDERR_FILENO : -1;
  return intersections::runUnionBounds(args, std::cout, std::cerr, terminal);
}
