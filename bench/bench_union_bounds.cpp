// Benchmark of union-bounds: the exact linear program alone, on moments of
// seeded random instances, and the whole program on the file of n = m = 24
// (16,777,215 lines, 218 MB) against `wc -l` on the same file in the page
// cache. Prints medians, ratios and peak memory.
//
// Usage: union_bounds_bench [--runs N] [--file PATH] [--dir DIR] [--lp-only]
//   --file PATH  an existing file of n = m = 24 (else one is written, ~30 s)

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bounds/sharp_bounds.h"
#include "evaluation/intersections.h"
#include "instance/random_instance.h"
#include "support/spawn.h"
#include "support/statistics.h"

namespace {

using namespace intersections;
using bench::fail;
using bench::Measurement;
using bench::median;
namespace fs = std::filesystem;

constexpr unsigned benchSeed = 20240607;

// The moment intervals a file of the instance would give: each S_k exact
// from the rows (a row with r events is in C(r, k) sets of k events, and all
// rows weigh the same double), widened by 10^-9 for each of its C(n, k) lines.
std::vector<MomentInterval> instanceMoments(std::int32_t n, std::int32_t m, std::int32_t density,
                                            double P) {
  std::srand(benchSeed);
  const EventMatrix matrix = generateEventMatrix(n, density);
  const mpq_class weight(makeWeights(n, P).front());
  std::vector<MomentInterval> moments;
  for (std::int32_t k = 1; k <= m; ++k) {
    mpz_class sets, c, lines;
    for (const IntSequence& row : matrix) {
      long events = 0;
      for (const std::int32_t entry : row) events += entry;
      mpz_bin_uiui(c.get_mpz_t(), static_cast<unsigned long>(events),
                   static_cast<unsigned long>(k));
      sets += c;
    }
    mpz_bin_uiui(lines.get_mpz_t(), static_cast<unsigned long>(n), static_cast<unsigned long>(k));
    const mpq_class S = weight * sets;
    mpq_class slack(lines, mpz_class(1000000000));
    slack.canonicalize();
    mpq_class low = S - slack;
    if (low < 0) low = 0;
    moments.push_back({low, S + slack});
  }
  return moments;
}

void benchLinearProgram(std::int32_t n, std::int32_t m, std::int32_t density, double P, int runs) {
  const std::vector<MomentInterval> moments = instanceMoments(n, m, density, P);
  std::vector<double> all, last;
  for (int run = 0; run < runs; ++run) {
    auto start = std::chrono::steady_clock::now();
    const std::vector<UnionInterval> bounds = sharpUnionBounds(n, moments);
    all.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (bounds.size() != moments.size()) fail("the moments of an instance fit no distribution");
  }
  std::printf("LP n=%-5d m=%-3d all %d orders: median %.4f s over %d runs  (target < 1 s: %s)\n", n,
              m, m, median(all), runs, median(all) < 1.0 ? "ok" : "FAIL");
}

// Runs the command with standard output to /dev/null.
Measurement timed(const std::vector<std::string>& args) { return bench::spawn({.args = args}); }

void benchFile(const std::string& file, int runs) {
  std::vector<double> wc, ours;
  long wcKb = 0, oursKb = 0;
  timed({"/usr/bin/wc", "-l", file});  // into the page cache
  for (int run = 0; run < runs; ++run) {
    // Alternate which goes first.
    const Measurement a = timed({"/usr/bin/wc", "-l", file});
    const Measurement b = timed({UNION_BOUNDS_EXE, "--csv", "24", file});
    wc.push_back(a.seconds);
    ours.push_back(b.seconds);
    wcKb = std::max(wcKb, a.maxRssKb);
    oursKb = std::max(oursKb, b.maxRssKb);
    std::fprintf(stderr, "  run %d: wc -l %.3f s, union-bounds %.3f s\n", run + 1, a.seconds,
                 b.seconds);
  }
  const double ratio = median(ours) / median(wc);
  const double oursMb = static_cast<double>(oursKb) / 1024.0;
  const double wcMb = static_cast<double>(wcKb) / 1024.0;
  std::printf(
      "file n=m=24 (%s bytes): wc -l %.3f s, union-bounds %.3f s, ratio %.2f (target <= 4: %s); "
      "peak union-bounds %.1f MB (target <= 16: %s), wc %.1f MB (the floor); medians of %d runs\n",
      std::to_string(fs::file_size(file)).c_str(), median(wc), median(ours), ratio,
      ratio <= 4 ? "ok" : "FAIL", oursMb, oursMb <= 16 ? "ok" : "FAIL", wcMb, runs);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string file, dir = "/tmp";
  bool lpOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&] {
      if (i + 1 >= argc) fail(arg + " needs a value");
      return std::string(argv[++i]);
    };
    if (arg == "--runs") {
      runs = std::atoi(value().c_str());
      if (runs < 1) fail("--runs must be at least 1");
    } else if (arg == "--file") {
      file = value();
    } else if (arg == "--dir") {
      dir = value();
    } else if (arg == "--lp-only") {
      lpOnly = true;
    } else {
      fail("usage: union_bounds_bench [--runs N] [--file PATH] [--dir DIR] [--lp-only]");
    }
  }
  // The file first, while this process is small: a child's ru_maxrss counts
  // the pages it shares with its parent at fork, so wc's figure is the floor.
  if (!lpOnly) {
    std::string scratch;
    if (file.empty()) {
      scratch = (fs::path(dir) / "union-bounds-bench-XXXXXX").string();
      if (::mkdtemp(scratch.data()) == nullptr) fail("cannot create a directory in " + dir);
      file = (fs::path(scratch) / "prob.txt").string();
      std::fprintf(stderr, "writing the n = m = 24 file %s (about 30 s)\n", file.c_str());
      const pid_t writer = ::fork();  // the instance stays out of this process
      if (writer == 0) {
        std::srand(benchSeed);
        writeIntersectionProbabilitiesTo(file, 24, makeWeights(24, 0.8),
                                         generateEventMatrix(24, 50));
        _exit(0);
      }
      int status = 0;
      ::waitpid(writer, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail("cannot write " + file);
    }
    benchFile(file, runs);
    if (!scratch.empty()) fs::remove_all(scratch);
  }
  benchLinearProgram(30, 30, 50, 0.8, runs);
  benchLinearProgram(1000, 3, 5, 0.5, runs);
  benchLinearProgram(24, 24, 50, 0.8, runs);
  return 0;
}
