#include "run_case.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "evaluation/intersections.h"
#include "support/files.h"
#include "support/spawn.h"
#include "support/statistics.h"
#include "support/stopwatch.h"

namespace bench {

namespace fs = std::filesystem;

namespace {

// One run of a way in a child of its own: its peak memory from wait4, and
// the times it reports of its own work.
Measurement runWay(const std::string& selfPath, const std::vector<std::string>& childArgs) {
  std::vector<std::string> args{selfPath, "--child"};
  args.insert(args.end(), childArgs.begin(), childArgs.end());
  std::string output;
  Measurement m = spawn({.args = args, .output = &output});
  if (!readWorkReport(output, m)) fail("child " + childArgs.front() + " reported no time");
  return m;
}

void checkSame(const std::string& a, const std::string& b, const char* what) {
  if (!sameBytes(a, b)) fail(std::string(what) + ": " + a + " and " + b + " differ");
}

void warnInherited(const char* what, const Series& s) {
  // After fork the child's ru_maxrss starts from the parent's pages; the
  // child's own high-water mark shows whether that, not the way, set it.
  if (s.maxVmHwmKb >= 0 && s.maxRssKb > s.maxVmHwmKb + 1024) {
    std::fprintf(stderr, "  note: %s ru_maxrss %ld kB exceeds its own VmHWM %ld kB\n", what,
                 s.maxRssKb, s.maxVmHwmKb);
  }
}

}  // namespace

std::vector<Row> runCase(const Case& c, const Options& options, const fs::path& scratch) {
  const int runs = options.runs > 0 ? options.runs : c.defaultRuns;
  const double lines = lineCount(c);
  const double referenceBytes = referenceListBytes(c);
  const bool runReference = c.reference && referenceBytes <= referenceLimitBytes;
  std::fprintf(stderr, "%s: n=%d m=%d density=%d P=%g%s, %s lines, %d run(s)\n", c.name, c.n, c.m,
               c.density, c.P, c.unequalWeights ? " unequal weights" : "",
               withCommas(lines).c_str(), runs);
  if (c.reference) {
    std::fprintf(stderr, "  reference list estimate %.0f MB%s\n", referenceBytes / 1048576.0,
                 runReference ? "" : ": skipped (more than 8 GB)");
  }

  const std::string oursFile = (scratch / "ours.txt").string();
  const std::string referenceFile = (scratch / "reference.txt").string();
  const std::string floorFile = (scratch / "floor.txt").string();
  const fs::path programDir = scratch / "program";
  fs::create_directories(programDir);
  const std::string programFile = (programDir / intersections::outputFileName).string();
  const std::string programFloorFile = (scratch / "program-floor.txt").string();
  const std::string answersFile = (scratch / "answers.txt").string();
  {
    std::ofstream answers(answersFile);
    answers << c.n << '\n' << c.density << '\n' << c.P << '\n' << c.m << '\n';
  }

  // Each run writes files of its own, removed only when the case is done, and
  // every way starts after sync(): on this machine's file system removing or
  // truncating a large file, or leaving its pages for the flusher, slows the
  // writes of whichever way comes next by up to a third. The order of ours and
  // floor alternates between runs so that neither always goes first.
  std::vector<std::string> written;
  auto fresh = [&](const std::string& base, int run) {
    written.push_back(base + "." + std::to_string(run));
    return written.back();
  };
  auto settle = [] { ::sync(); };

  Series ours, reference, floor, program, programFloor, draws;
  const bool runDraws = c.program && c.programFloor != ProgramFloor::writes;
  std::string firstOurs;
  for (int run = 1; run <= runs; ++run) {
    const std::string oursRun = fresh(oursFile, run);
    const std::string floorRun = fresh(floorFile, run);
    auto runOurs = [&] {
      settle();
      ours.add(runWay(options.selfPath, {"ours", c.name, oursRun}));
      if (countLines(oursRun) != static_cast<std::uint64_t>(lines)) fail("ours: wrong line count");
    };
    auto runFloor = [&](const std::string& source) {
      settle();
      floor.add(runWay(options.selfPath, {"floor", source, floorRun}));
    };
    if (run % 2 == 1 || !c.floor) {
      runOurs();
      if (c.floor) runFloor(oursRun);
    } else {
      runFloor(firstOurs);  // the same bytes as this run's ours will write
      runOurs();
    }
    if (run == 1) firstOurs = oursRun;
    std::fprintf(stderr, "  run %d: ours %s", run, ours.last().c_str());
    if (c.floor) {
      std::fprintf(stderr, ", floor %s", floor.last().c_str());
      checkSame(oursRun, floorRun, "floor");
    }
    if (c.program) {
      fs::remove(programFile);
      settle();
      program.add(spawn({.args = {options.program},
                         .workingDir = programDir.string(),
                         .stdinPath = answersFile,
                         .stderrPath = (scratch / "program-stderr.txt").string()}));
      std::fprintf(stderr, ", program %s", program.last().c_str());
      if (countLines(programFile) != static_cast<std::uint64_t>(lines)) {
        fail("program: " + std::to_string(countLines(programFile)) + " lines, expected " +
             withCommas(lines));
      }
      const std::string programKept = fresh(programFile, run);
      fs::rename(programFile, programKept);
      const std::string programFloorRun = fresh(programFloorFile, run);
      settle();
      programFloor.add(runWay(options.selfPath, {"floor", programKept, programFloorRun}));
      std::fprintf(stderr, ", its floor %s", programFloor.last().c_str());
      checkSame(programKept, programFloorRun, "program floor");
    }
    if (runDraws) {
      settle();
      draws.add(runWay(options.selfPath, {"draws", c.name}));
      std::fprintf(stderr, ", draws %s", draws.last().c_str());
    }
    std::fprintf(stderr, "\n");
  }
  // The reference's runs come after all the others: it gives back hundreds of
  // MB at its exit, which would disturb the way that follows it.
  for (int run = 1; run <= runs && runReference; ++run) {
    const std::string referenceRun = fresh(referenceFile, run);
    settle();
    reference.add(runWay(options.selfPath, {"reference", c.name, referenceRun}));
    std::fprintf(stderr, "  run %d: reference %s\n", run, reference.last().c_str());
    checkSame(firstOurs, referenceRun, "reference");
  }
  for (const std::string& file : written) fs::remove(file);
  warnInherited("ours", ours);
  warnInherited("reference", reference);
  warnInherited("floor", floor);

  std::vector<Row> rows;
  Row row;
  row.name = c.name;
  row.way = c.unequalWeights ? "eval/uneq" : "evaluator";
  row.lines = withCommas(lines);
  row.runs = runs;
  row.ours = median(ours.seconds);
  row.oursMb = ours.mb();
  row.oursCpu = median(ours.cpuSeconds);
  if (!floor.empty()) {
    row.floor = median(floor.seconds);
    row.floorCpu = median(floor.cpuSeconds);
    row.floorMb = floor.mb();
  }
  if (!reference.empty()) {
    row.reference = median(reference.seconds);
    row.referenceMb = reference.mb();
  } else if (c.reference) {
    row.referenceNote = "skip>8GB";
  }
  auto verdict = [&](const Row& r, double targetRatio) {
    std::string v;
    if (targetRatio > 0) {
      v += "ratio<=" + fixed(targetRatio, 2) + (r.ours / r.floor <= targetRatio ? " ok" : " FAIL");
      v += ", ";
    }
    v += "mem<=" + fixed(c.targetMemoryMB, 0) + (r.oursMb <= c.targetMemoryMB ? " ok" : " FAIL");
    return v;
  };
  row.verdict = verdict(row, c.targetRatio);
  rows.push_back(row);
  if (!program.empty()) {
    Row p;
    p.name = c.name;
    p.way = "program";
    p.lines = withCommas(lines);
    p.runs = runs;
    p.ours = median(program.seconds);
    p.oursMb = program.mb();
    p.oursCpu = median(program.cpuSeconds);
    p.floor = median(programFloor.seconds);
    p.floorCpu = median(programFloor.cpuSeconds);
    p.floorMb = programFloor.mb();
    if (!draws.empty()) {
      p.draws = median(draws.seconds);
      const double drawsCpu = median(draws.cpuSeconds);
      if (c.programFloor == ProgramFloor::draws) {
        p.floor = p.draws;
        p.floorCpu = drawsCpu;
        p.floorMb = draws.mb();
      } else {
        p.floor += p.draws;
        p.floorCpu += drawsCpu;
      }
    }
    p.verdict = verdict(p, c.programTargetRatio > 0 ? c.programTargetRatio : c.targetRatio);
    rows.push_back(p);
  }
  return rows;
}

}  // namespace bench
