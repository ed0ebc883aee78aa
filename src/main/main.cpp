#include <unistd.h>

#include <csignal>
#include <iostream>

#include "main/dialogue.h"

int main() {
#ifdef SIGXFSZ
  // A file size limit then fails the write instead of killing the program,
  // which can cut "prob.txt" back to its complete lines and say what happened.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  // Progress goes to standard error only when a person watches it there.
  const int terminal = ::isatty(STDERR_FILENO) ? STDERR_FILENO : -1;
  return intersections::runIntersections(std::cin, std::cout, std::cerr, terminal);
}
