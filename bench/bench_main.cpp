// Benchmark: time and peak memory of three ways to write the same probability
// file, for fixed seeded instances.
//
//   ours       writeIntersectionProbabilitiesTo on the instance, and the whole
//              built program run with its answers on standard input;
//   reference  the straightforward composition: the whole list of sets, the
//              transposed matrix, a chain of coordProduct copies per set, a
//              sequential sum, std::ofstream with std::endl;
//   floor      the same bytes, already in memory, written with one write()
//              per line and nothing else;
//   draws      the std::rand calls that drawing the instance makes, with its
//              test of each entry, and nothing else: the floor of drawing.
//              For cases where drawing counts, the whole program is compared
//              with it (or with it plus the floor of the writes).
//
// Every way runs in a child process of its own (the benchmark re-executes
// itself with a mode argument, or executes the program), so that ru_maxrss
// from wait4 is the peak of that way alone. The child times its own work; the
// whole program is timed from fork to wait4. The cases are in cases.cpp, the
// children's ways in ways.cpp, the runs of a case in run_case.cpp and the
// table in report.cpp; timing children and statistics in support/.
//
// Usage: intersections_bench [--runs N] [--case NAME[,NAME...]]... [--dir DIR]
//                            [--program PATH] [--keep] [--list]

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cases.h"
#include "report.h"
#include "run_case.h"
#include "support/spawn.h"
#include "ways.h"

namespace {

using namespace bench;
namespace fs = std::filesystem;

void usage() {
  std::cout << "usage: intersections_bench [--runs N] [--case NAME[,NAME...]]... [--dir DIR]\n"
               "                           [--program PATH] [--keep] [--list]\n"
               "  --runs N     runs per way for every case (default: 5; 3 for n24, 1 for n400m3)\n"
               "  --case NAME  only these cases (repeatable or comma separated)\n"
               "  --dir DIR    scratch directory is made inside DIR (default /tmp)\n"
               "  --program P  the intersections executable (default: the one built with this)\n"
               "  --keep       keep the scratch directory\n"
               "  --list       list the cases\n";
}

int parentMain(int argc, char** argv) {
  Options options;
  options.program = INTERSECTIONS_EXE;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) fail(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--runs") {
      options.runs = std::atoi(value().c_str());
      if (options.runs < 1) fail("--runs must be at least 1");
    } else if (arg == "--case") {
      std::stringstream names(value());
      for (std::string name; std::getline(names, name, ',');) {
        if (findCase(name.c_str()) == nullptr) fail("unknown case " + name + " (see --list)");
        options.caseNames.push_back(name);
      }
    } else if (arg == "--dir") {
      options.dir = value();
    } else if (arg == "--program") {
      options.program = value();
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--list") {
      for (const Case& c : allCases()) {
        std::printf("%-8s n=%d m=%d density=%d P=%g %s\n", c.name, c.n, c.m, c.density, c.P,
                    c.note);
      }
      return 0;
    } else if (arg == "--help" || arg == "-h") {
      usage();
      return 0;
    } else {
      usage();
      return 2;
    }
  }
  options.selfPath = fs::read_symlink("/proc/self/exe").string();
  if (::access(options.program.c_str(), X_OK) != 0) fail("cannot run " + options.program);

  std::string pattern = (fs::path(options.dir) / "intersections-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) fail("cannot create a directory in " + options.dir);
  const fs::path scratch = pattern;
  std::fprintf(stderr, "scratch directory %s\n", scratch.c_str());

  std::vector<Row> rows;
  for (const Case& c : allCases()) {
    if (!options.caseNames.empty() && std::find(options.caseNames.begin(), options.caseNames.end(),
                                                c.name) == options.caseNames.end()) {
      continue;
    }
    for (Row& row : runCase(c, options, scratch)) rows.push_back(std::move(row));
  }
  if (!options.keep) fs::remove_all(scratch);
  printTable(rows);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--child") == 0) return childMain(argc, argv);
  return parentMain(argc, argv);
}
