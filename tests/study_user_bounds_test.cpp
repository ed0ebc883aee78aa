// bounds-study --bound: a command of the user's that fails in each way is
// reported and the study goes on without its values; one on the wrong side
// gives status 1, as a built-in bound would, also when its file is
// summarized; and what the command line refuses.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "study/instances_csv.h"
#include "support/in_process.h"
#include "support/temp_dir.h"

namespace {

using namespace intersections;
using testing_support::boundsStudyHere;
using testing_support::readFile;
using testing_support::TempDir;

// A study of two instances of 40 events, orders 1 to 3: some 10,700 lines, 139 kB
// of input for each command, more than a pipe holds.
std::vector<std::string> studyOf(const std::vector<std::string>& bounds, const std::string& rows) {
  std::vector<std::string> args{"--csv", "--first", "1700000000", "--count", "2"};
  args.insert(args.end(), {"--no-boolean", "--instances", rows});
  for (const std::string& bound : bounds) args.insert(args.end(), {"--bound", bound});
  args.insert(args.end(), {"40", "3", "0.9", "3"});
  return args;
}

// The lines of a summary CSV that are of `bound`.
std::size_t summaryLinesOf(const std::string& csv, const std::string& bound) {
  std::size_t count = 0;
  for (std::size_t at = csv.find("," + bound + ","); at != std::string::npos;
       at = csv.find("," + bound + ",", at + 1))
    ++count;
  return count;
}

TEST(StudyUserBounds, AFailingCommandIsReportedForEachInstanceAndTheStudyGoesOn) {
  // A descriptor of this process that a command must not see.
  const int stray = dup(STDERR_FILENO);
  ASSERT_GE(stray, 0);
  const std::string ok = "ok:lower:[ ! -e /proc/$$/fd/" + std::to_string(stray) +
                         " ] || exit 9; cat >/dev/null; echo 0 0 0 #";
  struct Case {
    const char* name;
    std::string command;
    std::string why;  // "" for a command that gives its values
  };
  const Case cases[] = {
      {"few", "cat >/dev/null; echo 0.1 #", "it printed 1 number for 3 orders"},
      {"text", "echo 0 abc 0 #", "it printed \"abc\", not a decimal number from -10^15 to 10^15"},
      {"nothing", "true", "it printed nothing, not the 3 numbers of its orders"},
      {"fails", "echo 0 0 0; echo 'no licence' >&2; exit 3 #",
       "its command exited with status 3; its standard error: \"no licence\""},
      {"killed", "kill -9 $$ #", "its command was ended by signal 9 (SIGKILL)"},
      // Writes more than a pipe holds before it reads: only a reader that
      // takes its error output while it writes the input goes on.
      {"late", "head -c 300000 /dev/zero >&2; cat >/dev/null; echo 0 0 0 #", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string rows = (dir.path / "rows.csv").string();
    const auto result =
        boundsStudyHere(studyOf({std::string(c.name) + ":lower:" + c.command, ok}, rows));
    EXPECT_EQ(result.status, 0);
    std::string expected;
    for (const char* second : {"1700000000", "1700000001"}) {
      if (!c.why.empty())
        expected += "bounds-study: second " + std::string(second) + ": the bound " + c.name +
                    " gave no values: " + c.why + "\n";
    }
    EXPECT_EQ(result.err, expected);
    const std::vector<UserColumn> user{{c.name, false}, {"ok", false}};
    EXPECT_EQ(readFile(rows).substr(0, readFile(rows).find('\n')), instancesHeader(user));
    // Only the failing bound is left out: its field empty, no line in the summary.
    EXPECT_EQ(summaryLinesOf(result.out, c.name), c.why.empty() ? 3u : 0u);
    EXPECT_EQ(summaryLinesOf(result.out, "ok"), 3u);
    // Every command was waited for.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }
  close(stray);
}

TEST(StudyUserBounds, ABoundOnTheWrongSideGivesStatusOneAsInItsSummary) {
  TempDir dir;
  const std::string rows = (dir.path / "rows.csv").string();
  // 1 is no lower bound on a probability of 0.9; 0.95 an upper bound whose
  // distance is 0.05 and which is the tightest upper bound from order 2 on.
  const auto result = boundsStudyHere(
      studyOf({"high:lower:cat >/dev/null; echo 0 1 0 #", "near:upper:echo 1 0.95 0.95 #"}, rows));
  EXPECT_EQ(result.status, 1);
  const std::string probability = "0.899999999999999966693309261245303787291049957275390625";
  EXPECT_EQ(result.err, "bounds-study: second 1700000000: the true probability " + probability +
                            " lies below the high bound of order 2 (1.000000000000)\n" +
                            "bounds-study: second 1700000001: the true probability " + probability +
                            " lies below the high bound of order 2 (1.000000000000)\n");
  EXPECT_NE(result.out.find(",2,high,lower,2,-0.100000000000,-0.100000000000,"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("2,near,upper,2,0.050000000000,0.050000000000,0.050000000000,"
                            "0.050000000000,2,"),
            std::string::npos)
      << result.out;
  const auto summarized = boundsStudyHere({"--summarize", "--csv", rows});
  EXPECT_EQ(summarized.status, 1);
  EXPECT_EQ(summarized.err, result.err);
  EXPECT_EQ(summarized.out, result.out);
}

TEST(StudyUserBounds, RefusesWhatItCannotFollow) {
  TempDir dir;
  const std::string a = (dir.path / "a.csv").string(), b = (dir.path / "b.csv").string();
  const std::string usage = "; try 'bounds-study --help'\n";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"--bound", "x:middle:true", "4", "50", "0.9", "2"},
       "--bound takes NAME:lower:COMMAND or NAME:upper:COMMAND, NAME of letters, digits and "
       "underscores, not \"x:middle:true\"" +
           usage},
      {{"--bound", "x-y:lower:true", "4", "50", "0.9", "2"},
       "--bound takes NAME:lower:COMMAND or NAME:upper:COMMAND, NAME of letters, digits and "
       "underscores, not \"x-y:lower:true\"" +
           usage},
      {{"--bound", "kat:lower:true", "4", "50", "0.9", "2"},
       "--bound kat: a column of the instances file has that name" + usage},
      {{"--bound", "x:lower:true", "--bound", "x:upper:false", "4", "50", "0.9", "2"},
       "--bound x is given twice" + usage},
      {{"--outcomes", "0", "4", "50", "0.9", "2"},
       "--outcomes takes a whole number from 1 to 2147483647, not \"0\"" + usage},
      {{"--weights", "uneven", "4", "50", "0.9", "2"},
       "--weights takes equal or random, not \"uneven\"" + usage},
  };
  for (const Case& c : cases) {
    const auto result = boundsStudyHere(c.args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "bounds-study: " + c.err);
  }
  // Files of other bounds of the user's own are not summarized together.
  const auto made = [](const std::string& file, const std::string& bound) {
    return boundsStudyHere({"--first", "1", "--count", "1", "--no-boolean", "--bound", bound,
                            "--instances", file, "4", "50", "0.9", "2"});
  };
  ASSERT_EQ(made(a, "x:lower:echo 0 0 #").status, 0);
  ASSERT_EQ(made(b, "y:lower:echo 0 0 #").status, 0);
  const auto mixed = boundsStudyHere({"--summarize", a, b});
  EXPECT_EQ(mixed.status, 2);
  EXPECT_EQ(mixed.err, "bounds-study: " + b +
                           ":1: the header names other bounds of --bound than that of " + a +
                           " (\"" + instancesHeader({{"x", false}}) +
                           "\"); a summary does not mix them\n");
}

}  // namespace
