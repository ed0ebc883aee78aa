#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "instance/packed_columns.h"
#include "instance/types.h"

namespace bench {

// The seed of every instance, so that each child draws the same one.
inline constexpr unsigned benchSeed = 20240607;
// The reference holds the whole list of sets; beyond this estimate it is not run.
inline constexpr double referenceLimitBytes = 8.0 * 1024 * 1024 * 1024;

// What the whole program is compared with: the floor of its writes, the
// floor of drawing its instance, or both added.
enum class ProgramFloor { writes, draws, writesAndDraws };

// One instance of the benchmark and the ways run on it.
struct Case {
  const char* name = "";
  std::int32_t n = 0;
  std::int32_t m = 0;
  std::int32_t density = 0;
  double P = 0;
  bool unequalWeights = false;  // random weights instead of P / (2n) each
  bool program = false;         // also run the whole program
  bool reference = false;       // also run the reference (if its list fits)
  bool floor = false;           // also run the floor
  int defaultRuns = 5;
  double targetRatio = 0;     // ours/floor, 0 for none
  double targetMemoryMB = 0;  // peak memory of ours
  const char* note = "";
  ProgramFloor programFloor = ProgramFloor::writes;
  double programTargetRatio = 0;  // the target of the program's ratio (0: targetRatio)
};

// Every case, in the order they run.
std::span<const Case> allCases();

// The case of that name, or nullptr.
const Case* findCase(const char* name);

// The number of lines of the case's file, sum C(n, k) for k = 1..min(m, n).
double lineCount(const Case& c);

// The memory the reference's list of sets takes, as estimated for libstdc++
// and glibc's malloc.
double referenceListBytes(const Case& c);

// The instance of a case as the program draws it, the same in every child.
struct Instance {
  intersections::PackedColumns columns;
  intersections::DoubleSequence weights;
};
Instance makeInstance(const Case& c);

// The weights of a case, drawn right after its rows.
intersections::DoubleSequence makeCaseWeights(const Case& c, std::size_t rows);

}  // namespace bench
