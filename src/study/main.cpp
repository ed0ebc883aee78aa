#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "bounds/gmp_memory.h"
#include "study/run_study.h"

int main(int argc, char** argv) {
  intersections::throwBadAllocWhenGmpRunsOut();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return intersections::runBoundsStudy(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
