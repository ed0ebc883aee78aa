#include "cases.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "evaluation/line_count.h"
#include "instance/random_instance.h"

namespace bench {

namespace {

const Case cases[] = {
    {.name = "n20",
     .n = 20,
     .m = 20,
     .density = 50,
     .P = 0.8,
     .program = true,
     .reference = true,
     .floor = true,
     .targetRatio = 1.10,
     .targetMemoryMB = 16},
    {.name = "n200m3",
     .n = 200,
     .m = 3,
     .density = 10,
     .P = 0.9,
     .program = true,
     .reference = true,
     .floor = true,
     .targetRatio = 1.10,
     .targetMemoryMB = 16},
    {.name = "n1000m2",
     .n = 1000,
     .m = 2,
     .density = 5,
     .P = 0.5,
     .program = true,
     .reference = true,
     .floor = true,
     .targetRatio = 1.15,
     .targetMemoryMB = 16},
    {.name = "n20w",
     .n = 20,
     .m = 20,
     .density = 50,
     .P = 0.8,
     .unequalWeights = true,
     .reference = true,
     .floor = true,
     .targetRatio = 1.5,
     .targetMemoryMB = 16,
     .note = "unequal random weights"},
    {.name = "n24",
     .n = 24,
     .m = 24,
     .density = 50,
     .P = 0.8,
     .program = true,
     .reference = true,
     .floor = true,
     .defaultRuns = 3,
     .targetRatio = 1.10,
     .targetMemoryMB = 16},
    {.name = "n400m3",
     .n = 400,
     .m = 3,
     .density = 10,
     .P = 0.9,
     .defaultRuns = 1,
     .targetMemoryMB = 64,
     .note = "memory only"},
    {.name = "n10000m1",
     .n = 10000,
     .m = 1,
     .density = 5,
     .P = 0.5,
     .program = true,
     .floor = true,
     .targetMemoryMB = 48,
     .note = "drawing dominates",
     .programFloor = ProgramFloor::draws,
     .programTargetRatio = 1.15},
    {.name = "n2000m2",
     .n = 2000,
     .m = 2,
     .density = 10,
     .P = 0.9,
     .program = true,
     .floor = true,
     .targetRatio = 1.10,
     .targetMemoryMB = 48,
     .note = "writes and draws",
     .programFloor = ProgramFloor::writesAndDraws,
     .programTargetRatio = 1.05},
};

}  // namespace

std::span<const Case> allCases() { return cases; }

const Case* findCase(const char* name) {
  for (const Case& c : cases) {
    if (std::strcmp(name, c.name) == 0) return &c;
  }
  return nullptr;
}

intersections::DoubleSequence makeCaseWeights(const Case& c, std::size_t rows) {
  if (!c.unequalWeights) return intersections::makeWeights(c.n, c.P);
  // Random positive weights that add up to about P: no two sums of different
  // sets are likely to share a text, so every line is formatted.
  std::vector<double> raw;
  double total = 0;
  for (std::size_t j = 0; j < rows; ++j) {
    raw.push_back(1.0 + std::rand() % 1000);
    total += raw.back();
  }
  intersections::DoubleSequence weights;
  for (double r : raw) weights.push_back(c.P * r / total);
  return weights;
}

Instance makeInstance(const Case& c) {
  std::srand(benchSeed);
  Instance instance;
  instance.columns = intersections::generatePackedColumns(c.n, c.density);
  instance.weights = makeCaseWeights(c, instance.columns.rows);
  return instance;
}

double lineCount(const Case& c) { return static_cast<double>(intersections::lineCount(c.n, c.m)); }

// Per set its deque object (inside the outer deque's 512-byte nodes), a map
// of 8 node pointers and one 512-byte node per 128 entries, each allocation
// with 16 bytes of malloc overhead.
double referenceListBytes(const Case& c) {
  double bytes = 0, binomial = 1;
  constexpr double dequeObject = 80, perNode = 128;
  for (std::int32_t k = 1; k <= std::min(c.m, c.n); ++k) {
    binomial = binomial * (c.n - k + 1) / k;
    const double nodes = std::ceil(k / perNode);
    const double mapBytes = std::max(8.0, nodes + 2) * 8 + 16;
    bytes += binomial * (512.0 / std::floor(512 / dequeObject) + mapBytes + nodes * 528);
  }
  return bytes;
}

}  // namespace bench
