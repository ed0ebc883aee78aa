// Benchmark of the Kuai-Alajaji-Takahara and t-cherry tree bounds:
// (a) reading the file of n = 1000, m = 3 (166,667,500 lines, 2.2 GB, built
//     in memory from a seeded instance) as union-bounds reads it without the
//     new columns (orders 1 and 2 kept) and with them (also the lines of
//     order 3 the cherry tree picks, then both bounds computed), in turns;
//     medians and their ratio;
// (b) the mean of each bound over 20 generated instances of n = 20, density
//     10, P = 0.5, m = 3, and of the true union probability.
//
// Usage: classic_bounds_bench [--runs N] [--density D] [--means-only]

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bounds/cherry_bound.h"
#include "bounds/order_bounds.h"
#include "bounds/pairwise_bounds.h"
#include "evaluation/intersections.h"
#include "evaluation/line_format.h"
#include "instance/random_instance.h"
#include "lines/prob_file.h"

namespace {

using namespace intersections;
namespace fs = std::filesystem;

constexpr unsigned benchSeed = 20261208;

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "classic_bounds_bench: %s\n", message.c_str());
  std::exit(2);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The file of every set of 1 to 3 of n events of a seeded instance, in a
// memory file: each line the set's share of the 2n rows times P, rounded to
// nine decimals (as the program writes it, but from the exact count).
int buildFile(std::int32_t n, std::int32_t density, double P) {
  std::srand(benchSeed);
  const PackedColumns columns = generatePackedColumns(n, density);
  const int descriptor = memfd_create("prob.txt", MFD_CLOEXEC);
  if (descriptor < 0) fail("memfd_create: " + std::string(std::strerror(errno)));
  const double unitsPerRow = P * unitsPerOne / static_cast<double>(columns.rows);
  std::string buffer;
  buffer.reserve(std::size_t{1} << 21);
  auto line = [&](long count) {
    const auto units = static_cast<long>(static_cast<double>(count) * unitsPerRow + 0.5);
    char text[maxLineLength];
    buffer.append(text, writeLineText(static_cast<double>(units) / unitsPerOne, text));
    if (buffer.size() >= (std::size_t{1} << 20)) {
      if (write(descriptor, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size()))
        fail("cannot write the memory file");
      buffer.clear();
    }
  };
  const std::size_t words = columns.words;
  auto countOf = [&](const PackedColumns::Word* bits) {
    long count = 0;
    for (std::size_t w = 0; w < words; ++w) count += __builtin_popcountll(bits[w]);
    return count;
  };
  std::vector<PackedColumns::Word> both(words);
  for (std::int32_t i = 1; i <= n; ++i) line(countOf(columns.column(i)));
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i + 1; j <= n; ++j) {
      for (std::size_t w = 0; w < words; ++w) both[w] = columns.column(i)[w] & columns.column(j)[w];
      line(countOf(both.data()));
    }
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i + 1; j <= n; ++j) {
      for (std::size_t w = 0; w < words; ++w) both[w] = columns.column(i)[w] & columns.column(j)[w];
      for (std::int32_t k = j + 1; k <= n; ++k) {
        long count = 0;
        const PackedColumns::Word* third = columns.column(k);
        for (std::size_t w = 0; w < words; ++w) count += __builtin_popcountll(both[w] & third[w]);
        line(count);
      }
    }
  }
  if (write(descriptor, buffer.data(), buffer.size()) != static_cast<ssize_t>(buffer.size()))
    fail("cannot write the memory file");
  return descriptor;
}

void benchReading(int runs, std::int32_t density) {
  const std::int32_t n = 1000;
  std::printf("(a) reading the file of n = %d, m = 3, density %d, P = 0.5\n", n, density);
  auto start = std::chrono::steady_clock::now();
  const int descriptor = buildFile(n, density, 0.5);
  std::printf("    built in memory in %.1f s, %ld bytes\n", seconds(start),
              static_cast<long>(lseek(descriptor, 0, SEEK_END)));
  std::vector<double> without, with, katTimes, cherryTimes;
  std::size_t picked = 0;
  mpq_class kat, cherry, hunter, caen;
  for (int run = 0; run < runs; ++run) {
    lseek(descriptor, 0, SEEK_SET);
    start = std::chrono::steady_clock::now();
    const ProbFile plain = readProbFile(descriptor, "prob.txt", n);
    without.push_back(seconds(start));
    if (plain.observations.orders.size() != 3) fail("the file has not 3 orders");

    lseek(descriptor, 0, SEEK_SET);
    start = std::chrono::steady_clock::now();
    const ProbFile file = readProbFile(descriptor, "prob.txt", n, linesNeeded({}));
    const Observations& seen = file.observations;
    const auto katStart = std::chrono::steady_clock::now();
    kat = kuaiAlajajiTakahara({seen.lines[0], seen.lines[1]});
    katTimes.push_back(seconds(katStart));
    const auto cherryStart = std::chrono::steady_clock::now();
    cherry = cherryBound({seen.lines[0], seen.lines[1]}, keptTripleLines(seen)).value;
    cherryTimes.push_back(seconds(cherryStart));
    with.push_back(seconds(start));
    picked = seen.picked.size();
    hunter = hunterWorsley({seen.lines[0], seen.lines[1]});
    caen = deCaen({seen.lines[0], seen.lines[1]});
  }
  close(descriptor);
  const double a = median(without), b = median(with);
  std::printf("    medians of %d runs, taken in turns (the machine is shared: single runs vary)\n",
              runs);
  std::printf("    read, orders 1 and 2 kept:                      %.3f s\n", a);
  std::printf(
      "    read, %zu lines of order 3 picked, kat, cherry: %.3f s  (kat %.3f s, cherry %.3f s)\n",
      picked, b, median(katTimes), median(cherryTimes));
  std::printf("    ratio with / without: %.3f\n", b / a);
  std::printf("    de_caen %.6f, kat %.6f, hunter_worsley %.6f, cherry %.6f\n", caen.get_d(),
              kat.get_d(), hunter.get_d(), cherry.get_d());
}

void printMeans() {
  const std::int32_t n = 20, density = 10, m = 3, instances = 20;
  const double P = 0.5;
  std::printf(
      "(b) means over %d instances of n = %d, density %d, P = %.1f, m = %d (seeds %u + i)\n",
      instances, n, density, P, m, benchSeed);
  const fs::path dir =
      fs::temp_directory_path() / ("classic-bounds-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "prob.txt").string();
  const char* names[] = {"bonferroni", "lower", "upper", "hunter_worsley",
                         "de_caen",    "kat",   "cherry"};
  std::vector<double> sums(7, 0);
  double truth = 0;
  for (std::int32_t i = 0; i < instances; ++i) {
    std::srand(benchSeed + static_cast<unsigned>(i));
    const DoubleSequence weights = makeWeights(n, P);
    writeIntersectionProbabilitiesTo(path, m, weights, generateEventMatrix(n, density));
    truth += weights.front() * static_cast<double>(weights.size());
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) fail("cannot open " + path);
    const ProbFile file = readProbFile(fileno(f), "prob.txt", n, linesNeeded({}));
    std::fclose(f);
    const OrderBounds row = boundsByOrder(file.observations).back();
    const mpq_class values[] = {probabilityOfUnits(row.bonferroni),
                                row.lower,
                                row.upper,
                                *row.hunterWorsley,
                                *row.deCaen,
                                *row.kat,
                                *row.cherry};
    for (std::size_t c = 0; c < 7; ++c) sums[c] += values[c].get_d();
  }
  fs::remove_all(dir);
  std::printf("    order 3: P %.4f", truth / instances);
  for (std::size_t c = 0; c < 7; ++c) std::printf(", %s %.4f", names[c], sums[c] / instances);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::int32_t density = 5;
  bool meansOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--density" && i + 1 < argc) {
      density = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--means-only") {
      meansOnly = true;
    } else {
      fail("usage: classic_bounds_bench [--runs N] [--density D] [--means-only]");
    }
  }
  printMeans();
  if (!meansOnly) benchReading(runs, density);
  return 0;
}
