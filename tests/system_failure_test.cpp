// Failures of the system, made through the programs' seam for system calls
// in this process, without root: a refused open, a disk that fills, a file
// system with little room, a file that cannot be read, a control group near
// its limit. The same failures made for real (a tmpfs, a cgroup, another
// user) are the tests labelled root.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "main/dialogue.h"
#include "support/fake_system.h"
#include "support/in_process.h"
#include "support/temp_dir.h"
#include "union_bounds/run_union_bounds.h"

namespace {

namespace fs = std::filesystem;
using testing_support::CallFailures;
using testing_support::FailingCalls;
using testing_support::FakeMachine;
using testing_support::Outcome;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string prompts =
    "Number of events. n=The probability (density) of the 1 entry in the matrix in percent (it "
    "must be an integer between 0 and 100): The probability of the union of the events: Maximum "
    "order of the intersections. m=";

// At density 100 every set has the probability P: each line is this one.
const std::string fullLine = "0.900000000\r\n";

Outcome intersectionsIn(const fs::path& dir, const std::string& answers) {
  return testing_support::intersectionsHere(dir, answers);
}

TEST(SystemFailure, OutputFailuresKeepTheOldFileOrCompleteLines) {
  struct Case {
    const char* name;
    CallFailures failures;
    std::string message;  // after "intersections: "
    std::string left;     // prob.txt afterwards; "OLD" for the old content
  };
  const auto budget = [](std::size_t bytes, int error) {
    CallFailures failures;
    failures.writeBudget = bytes;
    failures.writeError = error;
    return failures;
  };
  CallFailures refused, notEmptied;
  refused.openError = EACCES;
  notEmptied.ftruncateError = EIO;
  std::string sevenLines;
  for (int i = 0; i < 7; ++i) sevenLines += fullLine;
  const Case cases[] = {
      {"a refused open", refused, "cannot create prob.txt: Permission denied", "OLD"},
      {"a file that cannot be emptied", notEmptied, "cannot create prob.txt: Input/output error",
       "OLD"},
      {"a disk full after 100 bytes, the 8th line cut short", budget(100, ENOSPC),
       "cannot write prob.txt: No space left on device", sevenLines},
      {"a disk full at a line's end", budget(91, ENOSPC),
       "cannot write prob.txt: No space left on device", sevenLines},
      {"a write that fails at once", budget(0, EIO), "cannot write prob.txt: Input/output error",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string old = "old line\r\n";
    writeFile(dir.path / "prob.txt", old);
    const FailingCalls failing(c.failures);
    const Outcome run = intersectionsIn(dir.path, "10 100 0.9 10\n");
    EXPECT_EQ(run.status, intersections::exitOutputFailed);
    EXPECT_EQ(run.out, prompts);
    EXPECT_EQ(run.err, "intersections: " + c.message + "\n");
    EXPECT_EQ(readFile(dir.path / "prob.txt"), c.left == "OLD" ? old : c.left);
  }
}

TEST(SystemFailure, AFileThatCannotFitIsRefusedBeforeItIsTouched) {
  struct Case {
    const char* name;
    std::string answers;
    std::string refusal;  // after "intersections: cannot create prob.txt: its ", "" if written
  };
  const std::string room = ", more than the 1048576 bytes (1.05 MB) available on its file system";
  const Case cases[] = {
      {"65535 lines of 13 bytes fit in 1 MiB", "16 50 0.5 16\n", ""},
      {"twice as many do not", "17 50 0.5 17\n",
       "131071 lines need at least 1703923 bytes (1.70 MB)" + room},
      {"a full matrix with P = 1e12 has lines of 25 bytes", "16 100 1e12 16\n",
       "65535 lines need at least 1638375 bytes (1.64 MB)" + room},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    CallFailures small;
    small.freeBytes = 1048576;
    const FailingCalls failing(small);
    const Outcome run = intersectionsIn(dir.path, c.answers);
    EXPECT_EQ(run.out, prompts);
    if (c.refusal.empty()) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(fs::file_size(dir.path / "prob.txt"), 65535u * 13);
      continue;
    }
    EXPECT_EQ(run.status, intersections::exitOutputFailed);
    EXPECT_EQ(run.err, "intersections: cannot create prob.txt: its " + c.refusal + "\n");
    EXPECT_FALSE(fs::exists(dir.path / "prob.txt"));
  }
}

// A group with 16 MB of which 6 MB are in use: intersections refuses an n
// that does not fit right after reading it. With 2 MB left of 8, union-bounds
// leaves out the Boolean bounds, saying why.
TEST(SystemFailure, AControlGroupNearItsLimit) {
  const auto groupOf = [](const FakeMachine& machine) {
    CallFailures inGroup;
    inGroup.fileRoot = machine.root.path.string();
    return inGroup;
  };
  const auto left = [](int mb, const FakeMachine& machine, int limitMB) {
    return std::to_string(mb) + " MB left of the " + std::to_string(limitMB) +
           " MB that its control group allows (" + machine.limitFile().string() + ")";
  };
  {
    const FakeMachine machine(4000, 16, 6);
    TempDir dir;
    writeFile(dir.path / "prob.txt", "kept\r\n");
    const FailingCalls failing(groupOf(machine));
    const Outcome refused = intersectionsIn(dir.path, "8000 50 0.5 2\n");
    EXPECT_EQ(refused.status, intersections::exitTooLarge);
    EXPECT_EQ(refused.out, "Number of events. n=");
    EXPECT_EQ(refused.err,
              "intersections: n = 8000 needs about 21 MB for its outcome matrix and the program, "
              "more than the " +
                  left(10, machine, 16) + "\n");
    EXPECT_EQ(readFile(dir.path / "prob.txt"), "kept\r\n");
    const Outcome fits = intersectionsIn(dir.path, "10 50 0.5 2\n");
    EXPECT_EQ(fits.status, 0) << fits.err;
  }
  TempDir dir;
  {
    const Outcome made = intersectionsIn(dir.path, "14 50 0.5 1\n");
    ASSERT_EQ(made.status, 0) << made.err;
  }
  const FakeMachine machine(4000, 8, 6);
  const FailingCalls failing(groupOf(machine));
  const Outcome run =
      testing_support::unionBoundsHere({"--csv", "14", (dir.path / "prob.txt").string()});
  EXPECT_EQ(run.status, intersections::boundsDone);
  EXPECT_EQ(run.err,
            "union-bounds: note: the Boolean bounds are left out: order 1 needs about 4 MB, more "
            "than the " +
                left(2, machine, 8) + "\n");
}

TEST(SystemFailure, AFileThatCannotBeReadIsNamed) {
  TempDir dir;
  writeFile(dir.path / "prob.txt", "0.500000000\r\n");
  CallFailures unreadable;
  unreadable.readError = EIO;
  const FailingCalls failing(unreadable);
  const std::string file = (dir.path / "prob.txt").string();
  const Outcome run = testing_support::unionBoundsHere({"1", file});
  EXPECT_EQ(run.status, intersections::boundsBadFile);
  EXPECT_EQ(run.err, "union-bounds: cannot read " + file + ": Input/output error\n");
  EXPECT_EQ(run.out, "");
}

}  // namespace
