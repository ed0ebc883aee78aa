#pragma once

namespace bench {

// The child side of the benchmark: the program re-executes itself with
// "--child WAY ..." so that each way runs in a process of its own and its
// ru_maxrss is that way's peak alone. Each way times its own work and prints
// the figures with reportWork. Arguments:
//   --child ours|reference CASE OUT   write the case's file to OUT that way
//   --child floor IN OUT              write IN's lines to OUT, one write() each
//   --child draws CASE                the std::rand calls of drawing the case
// Returns the exit status; ends through fail() on bad arguments.
int childMain(int argc, char** argv);

}  // namespace bench
