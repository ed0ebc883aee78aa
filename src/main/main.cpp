#include <csignal>
#include <iostream>

#include "main/dialogue.h"

int main() {
#ifdef SIGXFSZ
  // A file size limit then fails the write instead of killing the program,
  // which can cut "prob.txt" back to its complete lines and say what happened.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  return intersections::runIntersections(std::cin, std::cout, std::cerr);
}
