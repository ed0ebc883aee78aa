// Benchmark of the Boolean bounds (the linear program over the 2^n atoms):
// for generated instances as intersections draws them (seeded), the lines of
// orders 1 to m as prob.txt holds them, the time of booleanBounds for all
// orders at once, the largest gap between a master optimum and its proved
// bound, the bounds against the true union probability, and the peak memory.
//
// Usage: boolean_bounds_bench [--runs R] [N DENSITY P M]...
//   default cases: 12 30 0.9 4, 12 10 0.5 3, 16 20 0.9 3, 20 10 0.5 3

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "bounds/boolean_bounds.h"
#include "instance/random_instance.h"
#include "lines/instance_lines.h"
#include "lines/observations.h"

namespace {

using namespace intersections;

struct Case {
  std::int32_t n, density;
  double probability;
  std::int32_t m;
};

struct Instance {
  std::vector<IntervalList> lines;
  double unionProbability = 0;
};

// The instance intersections draws after srand(seed), as the lines of its
// file give it.
Instance drawInstance(const Case& c, unsigned seed) {
  std::srand(seed);
  const PackedColumns columns = generatePackedColumns(c.n, c.density);
  const double weight = makeWeights(c.n, c.probability).front();
  Instance instance;
  instance.unionProbability = c.probability;
  instance.lines = observeLines(columns, weight, c.m, {c.m, {}}).lines;
  return instance;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::vector<Case> cases;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (i + 3 < argc) {
      cases.push_back({std::atoi(argv[i]), std::atoi(argv[i + 1]), std::atof(argv[i + 2]),
                       std::atoi(argv[i + 3])});
      i += 3;
    } else {
      std::fprintf(stderr, "usage: boolean_bounds_bench [--runs R] [N DENSITY P M]...\n");
      return 2;
    }
  }
  if (cases.empty())
    cases = {{12, 30, 0.9, 4}, {12, 10, 0.5, 3}, {16, 20, 0.9, 3}, {20, 10, 0.5, 3}};
  std::printf("%-16s %3s %8s %8s %8s %7s %6s %6s %9s %7s %7s %7s %9s %-28s %s\n", "case", "m",
              "seconds", "cpu s", "work", "work/s", "rounds", "exact", "nodes", "master", "exact",
              "search", "gap", "bounds", "peak MB");
  for (const Case& c : cases) {
    std::vector<double> seconds, rates, works, cpu;
    BooleanWork effort;
    std::vector<BooleanOrderBounds> bounds;
    double gap = 0;  // the largest over all runs
    for (int run = 0; run < runs; ++run) {
      const Instance instance = drawInstance(c, 1700000000u + static_cast<unsigned>(run));
      const auto start = std::chrono::steady_clock::now();
      const std::clock_t cpuStart = std::clock();
      const bool verbose = std::getenv("BOOLEAN_BENCH_VERBOSE") != nullptr;
      bounds = booleanBounds(
          c.n, instance.lines, 1,
          [&](const BooleanProgress& p) {
            if (verbose)
              std::fprintf(
                  stderr, "%8.3f s: order %d %s round %d gap %.3e\n",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  p.order, p.upper ? "upper" : "lower", p.round, p.gap);
          },
          0, &effort);
      seconds.push_back(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      rates.push_back(static_cast<double>(bounds.back().work) / seconds.back());
      works.push_back(static_cast<double>(bounds.back().work));
      cpu.push_back(static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
      for (const BooleanOrderBounds& b : bounds) gap = std::max(gap, b.largestGap);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(rates.begin(), rates.end());
    std::sort(works.begin(), works.end());
    std::sort(cpu.begin(), cpu.end());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    char label[64];
    std::snprintf(label, sizeof label, "%d %d %g %d", c.n, c.density, c.probability, c.m);
    char shown[96];
    std::snprintf(shown, sizeof shown, "[%.10f,%.10f]", bounds.back().lower.get_d(),
                  bounds.back().upper.get_d());
    // The medians over the runs; the rounds and the split of the time are the last run's.
    std::printf(
        "%-16s %3d %8.3f %8.3f %8llu %7.0f %6llu %6llu %9llu %7.2f %7.2f %7.2f %9.2e %-28s %.1f\n",
        label, c.m, seconds[seconds.size() / 2], cpu[cpu.size() / 2],
        static_cast<unsigned long long>(works[works.size() / 2]), rates[rates.size() / 2],
        static_cast<unsigned long long>(effort.rounds),
        static_cast<unsigned long long>(effort.exactPasses),
        static_cast<unsigned long long>(effort.nodes), effort.masterSeconds, effort.exactSeconds,
        effort.searchSeconds, gap, shown, static_cast<double>(usage.ru_maxrss) / 1024);
    std::fflush(stdout);
  }
  return 0;
}
