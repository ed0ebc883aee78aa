#include <iostream>
#include <string>
#include <vector>

#include "union_bounds/run_union_bounds.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return intersections::runUnionBounds(args, std::cout, std::cerr);
}
