#include "report.h"

#include <cstdio>

#include "support/statistics.h"

namespace bench {

void printTable(const std::vector<Row>& rows) {
  std::printf("\n%-8s %-9s %11s %4s %9s %9s %9s %9s %10s %9s %8s %8s %8s %8s  %s\n", "case", "way",
              "lines", "runs", "ours s", "ref s", "floor s", "draws s", "ours/floor", "ref/ours",
              "ours MB", "ref MB", "floor MB", "cpu o/f", "targets");
  for (const Row& r : rows) {
    const std::string ref = r.referenceNote.empty() ? fixed(r.reference, 3) : r.referenceNote;
    const std::string refMb = r.referenceNote.empty() ? fixed(r.referenceMb, 1) : "-";
    std::printf("%-8s %-9s %11s %4d %9s %9s %9s %9s %10s %9s %8s %8s %8s %8s  %s\n", r.name.c_str(),
                r.way.c_str(), r.lines.c_str(), r.runs, fixed(r.ours, 3).c_str(), ref.c_str(),
                fixed(r.floor, 3).c_str(), fixed(r.draws, 3).c_str(),
                fixed(r.ours / r.floor, 3).c_str(), fixed(r.reference / r.ours, 2).c_str(),
                fixed(r.oursMb, 1).c_str(), refMb.c_str(), fixed(r.floorMb, 1).c_str(),
                fixed(r.oursCpu / r.floorCpu, 3).c_str(), r.verdict.c_str());
  }
  std::printf(
      "\ntimes: medians in seconds; MB: largest ru_maxrss over the runs, in 2^20 bytes.\n"
      "way 'evaluator': writeIntersectionProbabilitiesTo, timed inside its child around the call\n"
      "  (instance drawn before the clock starts); floor = one write() per line of its file.\n"
      "way 'program': the whole intersections process, fork to wait4; its floor writes the\n"
      "  program's own file; ours/floor is program time / that floor time. Where drawing\n"
      "  counts (n10000m1, n2000m2) the floor is 'draws s', or its floor plus 'draws s':\n"
      "  the same std::rand() calls as drawing the instance, and nothing else.\n"
      "cpu o/f: the same ratio of processor time (user + system, medians): what the ratio\n"
      "  would be on an idle machine; the program's includes its start-up and instance.\n");
}

}  // namespace bench
