// The built program under faults from outside: an output file that cannot be
// created or written, a file size limit reached part-way, a container's
// memory limit, standard input that ends or is closed, and signals at a
// prompt, while drawing and while writing. Each case checks the exit status,
// the message, that standard output holds only prompts, and what is left in
// prob.txt.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounds/boolean_bounds.h"
#include "evaluation/number_format.h"
#include "lines/observations.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::closeInput;
using testing_support::finishProgram;
using testing_support::programEnded;
using testing_support::ProgramResult;
using testing_support::readFile;
using testing_support::readOutputUntil;
using testing_support::RunningProgram;
using testing_support::runProgram;
using testing_support::sendInput;
using testing_support::startProgram;
using testing_support::TempDir;
using testing_support::writeFile;

const std::string prompts[4] = {
    "Number of events. n=",
    "The probability (density) of the 1 entry in the matrix in percent (it must be an integer "
    "between 0 and 100): ",
    "The probability of the union of the events: ",
    "Maximum order of the intersections. m=",
};

std::string firstPrompts(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += prompts[i];
  return text;
}

// At density 100 every row has a 1 for every event, so every set has the
// probability P: with P = 0.9 each line is this one.
const std::string fullDensityLine = "0.900000000\r\n";

// Answers for a run of three lines (n = 2, m = 2), and for one of 1023 lines,
// 13299 bytes (n = 10, m = 10).
const std::string smallRun = "2\n100\n0.9\n2\n";
const std::string tenEventRun = "10\n100\n0.9\n10\n";

constexpr uid_t nobody = 65534;

void dropPrivileges() {
  if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) _exit(126);
}

// Root writes through any permission, so the permission cases run the
// program as 'nobody' when the tests run as root. Says why that cannot work
// here, if it cannot.
std::optional<std::string> cannotRunUnprivileged(const fs::path& dir) {
  if (geteuid() != 0) return std::nullopt;
  const int status = testing_support::runInChild([&] {
    dropPrivileges();
    return access(dir.c_str(), X_OK) == 0 && access(testing_support::programPath(), X_OK) == 0 ? 0
                                                                                               : 1;
  });
  if (status == 0) return std::nullopt;
  if (status == 126) return "cannot switch to user 65534";
  return "user 65534 cannot reach " + dir.string() + " or run " + testing_support::programPath();
}

std::function<void()> unprivileged() {
  if (geteuid() != 0) return {};
  return dropPrivileges;
}

// One line on standard error, starting "intersections: ", that contains
// every one of `parts`.
void expectMessage(const std::string& err, const std::vector<std::string>& parts) {
  EXPECT_EQ(err.rfind("intersections: ", 0), 0u) << err;
  ASSERT_FALSE(err.empty());
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "not exactly one line: " << err;
  for (const std::string& part : parts) {
    EXPECT_NE(err.find(part), std::string::npos) << "\"" << part << "\" missing from: " << err;
  }
}

// The file is a whole number of lines, each equal to fullDensityLine.
void expectCompleteFullDensityLines(const std::string& content) {
  EXPECT_EQ(content.size() % fullDensityLine.size(), 0u)
      << "prob.txt ends in a partial line: " << content.size() << " bytes";
  for (std::size_t at = 0; at + fullDensityLine.size() <= content.size();
       at += fullDensityLine.size()) {
    if (content.compare(at, fullDensityLine.size(), fullDensityLine) != 0) {
      ADD_FAILURE() << "line " << at / fullDensityLine.size() + 1 << " is \""
                    << content.substr(at, fullDensityLine.size()) << "\"";
      return;
    }
  }
}

// --- prob.txt cannot be created or written --------------------------------

struct OutputFailureCase {
  const char* name;
  std::function<void(const fs::path&)> setup;   // prepares the directory
  const char* reason;                           // the system's reason in the message
  std::function<void(const fs::path&)> verify;  // what must be left afterwards
};

void runOutputFailureCases(const std::vector<OutputFailureCase>& cases,
                           const std::function<void()>& childSetup) {
  for (const OutputFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir temp;
    c.setup(temp.path);
    const ProgramResult result = runProgram(temp.path, smallRun, childSetup);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.out, firstPrompts(4));
    expectMessage(result.err, {"prob.txt", c.reason});
    c.verify(temp.path);
  }
}

TEST(FaultInjection, OutputFileCannotBeWritten) {
  runOutputFailureCases(
      {
          {"a directory named prob.txt",
           [](const fs::path& dir) {
             fs::create_directory(dir / "prob.txt");
             writeFile(dir / "prob.txt" / "inside", "kept");
           },
           "Is a directory",
           [](const fs::path& dir) {
             EXPECT_TRUE(fs::is_directory(dir / "prob.txt"));
             EXPECT_EQ(readFile(dir / "prob.txt" / "inside"), "kept");
           }},
          {"prob.txt a link to /dev/full",
           [](const fs::path& dir) { fs::create_symlink("/dev/full", dir / "prob.txt"); },
           "No space left on device",
           [](const fs::path& dir) {
             EXPECT_TRUE(fs::is_symlink(dir / "prob.txt"));
             EXPECT_EQ(fs::read_symlink(dir / "prob.txt"), "/dev/full");
           }},
      },
      {});
}

TEST(FaultInjection, OutputFileNotPermitted) {
  {
    TempDir probe;
    fs::permissions(probe.path, fs::perms(0755));
    if (const auto problem = cannotRunUnprivileged(probe.path)) {
      GTEST_SKIP() << "running as root and cannot run the program unprivileged: " << *problem;
    }
  }
  const std::string oldContent = "old line\r\n";
  runOutputFailureCases(
      {
          {"a read-only prob.txt",
           [&](const fs::path& dir) {
             writeFile(dir / "prob.txt", oldContent);
             fs::permissions(dir / "prob.txt", fs::perms(0444));
             fs::permissions(dir, fs::perms(0755));
           },
           "Permission denied",
           [&](const fs::path& dir) { EXPECT_EQ(readFile(dir / "prob.txt"), oldContent); }},
          {"a working directory that is not writable",
           [](const fs::path& dir) { fs::permissions(dir, fs::perms(0555)); }, "Permission denied",
           [](const fs::path& dir) {
             EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "prob.txt")));
           }},
      },
      unprivileged());
}

// --- a file size limit reached part-way ------------------------------------

TEST(FaultInjection, FileSizeLimitKeepsCompleteLinesOnly) {
  constexpr rlim_t limit = 1000;
  // 76 lines of 13 bytes fit; the 77th crosses the limit.
  const std::size_t expectedSize = limit / fullDensityLine.size() * fullDensityLine.size();
  struct Case {
    const char* name;
    void (*inherited)(int);  // SIGXFSZ disposition the program starts with
  };
  const Case cases[] = {{"SIGXFSZ at its default", SIG_DFL}, {"SIGXFSZ already ignored", SIG_IGN}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir temp;
    const ProgramResult result = runProgram(temp.path, tenEventRun, [&] {
      const rlimit fileSize{limit, limit};
      if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(126);
      std::signal(SIGXFSZ, c.inherited);
    });
    EXPECT_EQ(result.signal, 0) << "killed by signal " << result.signal;
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.out, firstPrompts(4));
    expectMessage(result.err, {"prob.txt", "File too large"});
    const std::string content = readFile(temp.path / "prob.txt");
    EXPECT_EQ(content.size(), expectedSize) << "every line that fits, and nothing of the next";
    expectCompleteFullDensityLines(content);
  }
}

// --- a file that cannot fit ---------------------------------------------------

// A tmpfs of 1 MiB mounted on a fresh directory, unmounted when the object
// goes; only root can mount one.
struct SmallFileSystem {
  TempDir temp;
  fs::path dir = temp.path / "small";
  bool mounted = false;
  SmallFileSystem() {
    fs::create_directory(dir);
    mounted = mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID, "size=1m,mode=0777") == 0;
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  ~SmallFileSystem() {
    if (mounted) umount2(dir.c_str(), MNT_DETACH);
  }
};

TEST(FaultInjectionRoot, FileThatCannotFitIsRefusedBeforeItIsTouched) {
  const auto oldFile = [](std::size_t bytes) {
    return [bytes](const fs::path& dir) { writeFile(dir / "prob.txt", std::string(bytes, 'x')); };
  };
  struct Case {
    const char* name;
    bool small;  // on the 1 MiB tmpfs, not in the temporary directory
    std::function<void(const fs::path&)> setup;
    std::string answers;
    std::string refusal;  // the message after "cannot create prob.txt: its ", or "": written
    std::uintmax_t size;  // of the file written
  };
  const Case cases[] = {
      {"n = m = 40 anywhere", false, oldFile(5), "40 50 0.9 40",
       "1099511627775 lines need at least 14293651161075 bytes (14.3 TB), more than the ", 0},
      {"65535 lines of 13 bytes fit in 1 MiB", true, {}, "16 50 0.5 16", "", 65535 * 13},
      {"twice as many do not", true, oldFile(5), "17 50 0.5 17",
       "131071 lines need at least 1703923 bytes (1.70 MB), more than the 1048576 bytes "
       "(1.05 MB) available on its file system",
       0},
      {"a full matrix with P = 1e12 has lines of 25 bytes", true, oldFile(5), "16 100 1e12 16",
       "65535 lines need at least 1638375 bytes (1.64 MB), more than the 1048576 bytes (1.05 MB) "
       "available on its file system",
       0},
      {"the old prob.txt is emptied, so its space counts", true, oldFile(600000), "16 50 0.5 16",
       "", 65535 * 13},
      {"a device as prob.txt takes any amount", true,
       [](const fs::path& dir) {
         ASSERT_EQ(mknod((dir / "prob.txt").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
       },
       "17 50 0.5 17", "", 0},
  };
  int skipped = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SmallFileSystem small;
    if (c.small && !small.mounted) {
      ++skipped;
      continue;
    }
    const fs::path dir = c.small ? small.dir : small.temp.path;
    if (c.setup) c.setup(dir);
    const std::string before = readFile(dir / "prob.txt");
    // Should the check fail, a file size limit keeps the disk from filling.
    const ProgramResult result = runProgram(dir, c.answers, [] {
      const rlimit fileSize{1u << 20, 1u << 20};
      if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(126);
    });
    EXPECT_EQ(result.out, firstPrompts(4));
    if (c.refusal.empty()) {
      EXPECT_EQ(result.exitStatus, 0) << result.err;
      EXPECT_EQ(result.err, "");
      if (fs::is_regular_file(dir / "prob.txt")) {
        EXPECT_EQ(fs::file_size(dir / "prob.txt"), c.size);
      }
      continue;
    }
    EXPECT_EQ(result.exitStatus, 2);
    const std::string start = "intersections: cannot create prob.txt: its " + c.refusal;
    EXPECT_EQ(result.err.substr(0, start.size()), start);
    expectMessage(result.err, {" available on its file system"});
    EXPECT_EQ(readFile(dir / "prob.txt"), before);
  }
  if (skipped > 0) GTEST_SKIP() << skipped << " cases need a tmpfs, which only root can mount";
}

// --- a memory limit of the control group -------------------------------------

// A cgroup v1 memory group made for a test, removed when the object goes (it
// is empty by then: its one process has ended).
struct MemoryGroup {
  fs::path dir;
  MemoryGroup() = default;
  MemoryGroup(const MemoryGroup&) = delete;
  MemoryGroup& operator=(const MemoryGroup&) = delete;
  ~MemoryGroup() {
    if (!dir.empty()) rmdir(dir.c_str());
  }
};

// Makes a group with the given limit below this process's own memory group,
// or says why it cannot.
std::optional<std::string> makeMemoryGroup(MemoryGroup& group, const std::string& limitBytes) {
  const fs::path top = "/sys/fs/cgroup/memory";
  if (!fs::exists(top / "memory.limit_in_bytes"))
    return "no cgroup v1 memory controller at " + top.string();
  std::string own;
  std::istringstream lines(readFile("/proc/self/cgroup"));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t first = line.find(':'), second = line.find(':', first + 1);
    if (second == std::string::npos) continue;
    std::istringstream controllers(line.substr(first + 1, second - first - 1));
    for (std::string controller; std::getline(controllers, controller, ',');) {
      if (controller == "memory") own = line.substr(second + 1);
    }
  }
  if (own.empty()) return std::string("this process is in no cgroup v1 memory group");
  const fs::path dir =
      top / fs::path(own).relative_path() / ("intersections-test-" + std::to_string(getpid()));
  if (mkdir(dir.c_str(), 0755) != 0)
    return "cannot create " + dir.string() + ": " + std::strerror(errno);
  group.dir = dir;
  writeFile(dir / "memory.limit_in_bytes", limitBytes);
  if (readFile(dir / "memory.limit_in_bytes") != limitBytes + "\n")
    return "cannot set a limit in " + dir.string();
  return std::nullopt;
}

// A process in `group` that holds `bytes` of memory until the object goes.
struct MemoryHolder {
  pid_t pid = -1;
  MemoryHolder(const MemoryGroup& group, std::size_t bytes) {
    if (bytes == 0) return;
    int ready[2];
    if (pipe(ready) != 0) throw std::runtime_error("pipe failed");
    pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
      const std::string self = std::to_string(getpid());
      const int procs = open((group.dir / "cgroup.procs").c_str(), O_WRONLY);
      if (procs < 0 || write(procs, self.data(), self.size()) < 0) _exit(1);
      char* block = static_cast<char*>(std::malloc(bytes));
      if (block == nullptr) _exit(1);
      std::memset(block, 1, bytes);
      if (write(ready[1], "r", 1) != 1) _exit(1);
      pause();
      _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    const bool held = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    if (!held) throw std::runtime_error("the holder could not take its memory");
  }
  ~MemoryHolder() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  MemoryHolder(const MemoryHolder&) = delete;
  MemoryHolder& operator=(const MemoryHolder&) = delete;
};

// The machine has far more memory than the instance needs, the container far
// less: the program must say so right after n instead of being killed, and it
// must count its own memory and what others in the group hold. An n that the
// check lets through must then run without being killed.
TEST(FaultInjectionRoot, ControlGroupMemoryLimitRefusesRightAfterN) {
  struct Case {
    const char* name;
    int limitMB;
    int heldMB;  // by another process in the group
    std::string input;
    int status;
  };
  const Case cases[] = {
      // The instance alone, about 15.9 MB, would pass.
      {"16 MB, n = 7900", 16, 0, "7900 50 0.5 1", 3},
      {"16 MB, n = 6500 fits", 16, 0, "6500 50 0.5 1", 0},
      // The instance, about 152 MB, fits the limit but not what is left.
      {"200 MB with 80 MB held, n = 25000", 200, 80, "25000 50 0.5 1", 3},
  };
  // The sanitizers' own memory is charged to the group too, and leaves less
  // than a plain build has: the run that fits is not checked then, nor a
  // group of 16 MB, in which the sanitized program is killed before it can
  // refuse (seen on the 2-core test machine, whose groups are cgroup v1; the
  // same run peaks at 41 MB sanitized and 20 MB plain without a limit).
#if defined(INTERSECTIONS_SANITIZED_BUILD)
  constexpr bool sanitized = true;
#else
  constexpr bool sanitized = false;
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (sanitized && (c.status == 0 || c.limitMB < 64)) continue;
    MemoryGroup group;
    if (const auto problem = makeMemoryGroup(group, std::to_string(c.limitMB * 1048576)))
      GTEST_SKIP() << *problem;
    const MemoryHolder holder(group, static_cast<std::size_t>(c.heldMB) * 1048576);
    const std::string procs = (group.dir / "cgroup.procs").string();
    enum { notMoved = 125 };
    TempDir temp;
    const std::string oldContent = "kept\r\n";
    writeFile(temp.path / "prob.txt", oldContent);
    const ProgramResult result = runProgram(temp.path, c.input, [&] {
      const std::string pid = std::to_string(getpid());
      const int fd = open(procs.c_str(), O_WRONLY);
      if (fd < 0 || write(fd, pid.data(), pid.size()) != static_cast<ssize_t>(pid.size()))
        _exit(notMoved);
      close(fd);
    });
    if (result.exitStatus == notMoved) GTEST_SKIP() << "cannot move a process into " << group.dir;
    EXPECT_EQ(result.signal, 0) << "killed by signal " << result.signal;
    EXPECT_EQ(result.exitStatus, c.status);
    if (c.status == 0) {
      EXPECT_EQ(result.err, "");
      continue;
    }
    EXPECT_EQ(result.out, firstPrompts(1));
    const std::string limitText = " MB left of the " + std::to_string(c.limitMB) +
                                  " MB that its control group allows (" + group.dir.string() +
                                  "/memory.limit_in_bytes)";
    expectMessage(result.err, {"n = " + c.input.substr(0, c.input.find(' ')) + " needs about",
                               "MB for its outcome matrix and the program", limitText});
    // What is left: the limit, less what the holder and the program itself use.
    const std::size_t at = result.err.find(limitText);
    const std::size_t from = result.err.rfind(' ', at - 1) + 1;
    const int leftMB = at == std::string::npos ? -1 : std::stoi(result.err.substr(from, at - from));
    EXPECT_LE(leftMB, c.limitMB - c.heldMB - 1);
    if (!sanitized) {
      EXPECT_GE(leftMB, c.limitMB - c.heldMB - 6);
    }
    EXPECT_EQ(readFile(temp.path / "prob.txt"), oldContent);
  }
}

// The Boolean bounds' memory estimate against the control group's charge:
// in a group just above the estimate, the worst files found (lines of each
// order all alike, which make the largest masters; a dense instance; a tiny
// one) either finish or leave the bounds out with a note, and are never
// killed by the kernel.
TEST(FaultInjectionRoot, BooleanBoundsFitAGroupJustAboveTheirEstimate) {
#if defined(INTERSECTIONS_SANITIZED_BUILD)
  GTEST_SKIP() << "the sanitizers' own memory is charged to the group";
#else
  // Every line of order j reads p^j, as for independent events.
  const auto alike = [](std::int32_t n, std::int32_t m, double p) {
    std::string text;
    double value = 1;
    for (std::int32_t j = 1; j <= m; ++j) {
      value *= p;
      char line[32];
      std::snprintf(line, sizeof line, "%.9f\r\n", value);
      for (std::uint64_t i = 0; i < intersections::linesOfOrder(n, j); ++i) text += line;
    }
    return text;
  };
  struct Case {
    const char* name;
    std::int32_t n, k;  // the orders whose Boolean bounds are computed
    std::string file;   // "" for one that intersections writes
    std::string answers;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      // With no work limit: the masters grow the most.
      {"n = 12, orders 1 to 4 alike", 12, 4, alike(12, 4, 0.9), "", {"--boolean"}},
      {"n = 14, orders 1 to 3 alike", 14, 3, alike(14, 3, 0.9), "", {"--boolean"}},
      {"n = 20, density 50", 20, 3, "", "20 50 0.9 3\n", {"--boolean", "--boolean-limit", "40000"}},
      {"n = 14, a tiny file", 14, 3, "", "14 1 0.01 3\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir temp;
    if (c.file.empty()) {
      ASSERT_EQ(runProgram(temp.path, c.answers).exitStatus, 0);
    } else {
      writeFile(temp.path / "prob.txt", c.file);
    }
    const double estimate = intersections::booleanBytes(c.n, c.k);
    for (const double aboveMB : {1.0}) {
      SCOPED_TRACE("estimate + " + std::to_string(aboveMB) + " MB");
      MemoryGroup group;
      // A whole number of pages, as the kernel keeps it.
      const auto limit = static_cast<long long>(estimate + aboveMB * 1048576) / 4096 * 4096;
      if (const auto problem = makeMemoryGroup(group, std::to_string(limit)))
        GTEST_SKIP() << *problem;
      const std::string procs = (group.dir / "cgroup.procs").string();
      std::vector<std::string> args = c.options;
      args.push_back(std::to_string(c.n));
      args.push_back("prob.txt");
      const ProgramResult result =
          runProgram(testing_support::unionBoundsPath(), args, temp.path, "", [&] {
            const std::string pid = std::to_string(getpid());
            const int fd = open(procs.c_str(), O_WRONLY);
            if (fd < 0 || write(fd, pid.data(), pid.size()) != static_cast<ssize_t>(pid.size()))
              _exit(125);
            close(fd);
          });
      if (result.exitStatus == 125) GTEST_SKIP() << "cannot move a process into " << group.dir;
      EXPECT_EQ(result.signal, 0) << "killed by signal " << result.signal;
      EXPECT_EQ(result.exitStatus, 0) << result.err;
    }
  }
#endif
}

// --- standard input ends or is closed ---------------------------------------

TEST(FaultInjection, InputEndsBeforeAnAnswer) {
  struct Case {
    const char* name;
    std::string input;
    std::function<void()> setStdin;  // in the child, before exec
    int promptsShown;
    std::vector<std::string> message;  // parts of it
  };
  const Case cases[] = {
      {"standard input closed",
       "",
       [] { close(0); },
       1,
       {"cannot read standard input: Bad file descriptor"}},
      {"standard input a directory",
       "",
       [] {
         if (dup2(open("/", O_RDONLY | O_DIRECTORY), 0) != 0) _exit(126);
       },
       1,
       {"cannot read standard input: Is a directory"}},
      {"empty input", "", {}, 1, {"input ended", "the number of events n"}},
      {"only blanks", " \n\t\r\n", {}, 1, {"input ended", "the number of events n"}},
      {"ends after n", "5\n", {}, 2, {"input ended", "the density"}},
      {"ends after the density",
       "5\n50\n",
       {},
       3,
       {"input ended", "the probability of the union P"}},
      {"ends after P", "5\n50\n0.9\n", {}, 4, {"input ended", "the maximum order m"}},
      {"ends after P without a line break",
       "5\n50\n0.9",
       {},
       4,
       {"input ended", "the maximum order m"}},
  };
  const std::string oldContent = "0.123456789\r\nold\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir temp;
    writeFile(temp.path / "prob.txt", oldContent);
    const ProgramResult result = runProgram(temp.path, c.input, c.setStdin);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, firstPrompts(c.promptsShown));
    expectMessage(result.err, c.message);
    EXPECT_EQ(readFile(temp.path / "prob.txt"), oldContent);
  }
}

// --- signals -----------------------------------------------------------------

// The program started in `dir`, its answers in its standard input, which
// stays open for the caller to close. A SIGQUIT leaves no core file.
RunningProgram startInterruptible(const fs::path& dir, const std::string& input) {
  RunningProgram program =
      startProgram({.program = testing_support::programPath(), .dir = dir, .childSetup = [] {
                      // Every signal at its default action: the test sends them all.
                      for (int sig = 1; sig < NSIG; ++sig) std::signal(sig, SIG_DFL);
                      const rlimit noCore{0, 0};
                      setrlimit(RLIMIT_CORE, &noCore);
                    }});
  // The answers fit in the pipe's buffer.
  if (!sendInput(program, input)) throw std::runtime_error("write to pipe failed");
  return program;
}

// Every catchable signal whose default action ends the process, but SIGXFSZ,
// which the program ignores so that a file size limit fails a write instead.
// Under the sanitizers SIGSEGV, SIGBUS and SIGFPE have the sanitizer's own
// handler, which reports them instead of ending by them.
std::vector<int> terminatingSignals() {
  std::vector<int> signals = {SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,
                              SIGUSR1, SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT,
                              SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};
#ifndef INTERSECTIONS_SANITIZED_BUILD
  signals.insert(signals.end(), {SIGSEGV, SIGBUS, SIGFPE});
#endif
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) signals.push_back(sig);
  return signals;
}

std::string signalName(int sig) {
  if (sig >= SIGRTMIN && sig <= SIGRTMAX) return "SIGRTMIN+" + std::to_string(sig - SIGRTMIN);
  const char* abbreviation = sigabbrev_np(sig);
  return abbreviation != nullptr ? std::string("SIG") + abbreviation : std::to_string(sig);
}

// A started program: its process and the write end of its standard input.
struct StartedProgram {
  pid_t pid;
  int input;
};

// For the runs that block on a FIFO and are watched while they block: their
// output goes to files that can be read at any moment, not to pipes that must
// be drained. Starts the program in `dir` with `input` already in its standard input,
// which stays open for the caller to close, and standard output and error
// sent to the given files. Every signal starts at its default action and
// unblocked, whatever this process has (a background job ignores SIGINT and
// SIGQUIT, runProgram ignores SIGPIPE), and a core-dumping signal leaves no
// core file.
StartedProgram startWithOutputInFiles(const fs::path& dir, const std::string& input,
                                      const fs::path& outFile, const fs::path& errFile) {
  int in[2];
  if (pipe(in) != 0) throw std::runtime_error("pipe failed");
  // The answers fit in the pipe's buffer.
  if (write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
    throw std::runtime_error("write to pipe failed");
  }
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(in[0], 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
      _exit(127);
    close(in[0]);
    close(in[1]);
    close(out);
    close(err);
    if (chdir(dir.c_str()) != 0) _exit(127);
    for (int sig = 1; sig < NSIG; ++sig) std::signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    execl(testing_support::programPath(), testing_support::programPath(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  return {pid, in[1]};
}

// The state letter of a process in /proc/PID/stat: 'S' while it sleeps in a
// blocking call, '?' when it cannot be read.
char processState(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
}

// The signals that the process has a handler for, from SigCgt in
// /proc/PID/status: bit sig - 1 for each.
std::uint64_t caughtSignals(pid_t pid) {
  std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigCgt:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  }
  return 0;
}

// Waits up to `limit` for the process to end and gives its wait status; kills
// it when it does not end in time.
std::optional<int> waitAtMost(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return std::nullopt;
    }
    usleep(1000);
  }
  return status;
}

// prob.txt a FIFO: without a reader the open blocks, with a reader that does
// not read the writes block once the pipe is full. Either way SIGINT and
// SIGTERM must end the run at once, by that signal, with complete lines only
// in the pipe; and while the file is open every terminating signal is held.
TEST(FaultInjection, SignalsEndARunBlockedOnAFifo) {
  struct Case {
    const char* name;
    bool reader;  // a reader that opens the FIFO and never reads
    int sig;
  };
  const Case cases[] = {
      {"SIGINT while opening", false, SIGINT},
      {"SIGTERM while opening", false, SIGTERM},
      {"SIGINT while writing", true, SIGINT},
      {"SIGTERM while writing", true, SIGTERM},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir temp, logs;
    const fs::path fifo = temp.path / "prob.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const int reader = c.reader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    ASSERT_EQ(reader >= 0, c.reader);
    // 16383 lines of 13 bytes: more than a pipe holds.
    const StartedProgram program = startWithOutputInFiles(temp.path, "14\n100\n0.9\n14\n",
                                                          logs.path / "out", logs.path / "err");
    close(program.input);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((readFile(logs.path / "out") != firstPrompts(4) || processState(program.pid) != 'S') &&
           std::chrono::steady_clock::now() < deadline) {
      usleep(1000);
    }
    ASSERT_EQ(processState(program.pid), 'S') << "the run never blocked";
    if (c.reader) {
      const std::uint64_t caught = caughtSignals(program.pid);
      for (const int sig : terminatingSignals()) {
        EXPECT_NE(caught & (std::uint64_t{1} << (sig - 1)), 0u)
            << signalName(sig) << " is not held while the file is open";
      }
    }
    kill(program.pid, c.sig);
    const std::optional<int> status = waitAtMost(program.pid, std::chrono::seconds(1));
    ASSERT_TRUE(status.has_value()) << "still running a second after the signal";
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == c.sig) << "status " << *status;
    EXPECT_EQ(readFile(logs.path / "err"), "");
    EXPECT_TRUE(fs::is_fifo(fifo));
    if (reader >= 0) {
      std::string content;
      char buffer[65536];
      for (ssize_t got; (got = read(reader, buffer, sizeof buffer)) > 0;)
        content.append(buffer, static_cast<std::size_t>(got));
      close(reader);
      EXPECT_GT(content.size(), 0u);
      expectCompleteFullDensityLines(content);
    }
  }
}

// Counts of the runs interrupted while writing, per signal.
struct InterruptionCounts {
  int runs = 0;         // runs sent the signal while prob.txt was written
  int partial = 0;      // files ending in a partial line
  int otherText = 0;    // files with a line unlike the complete run's
  int notBySignal = 0;  // runs that did not end by their signal
  int otherOutput = 0;  // runs with more output than the prompts
  std::string firstProblem;
};

// Lines of 313 bytes (P = 1e300 at density 100): about every 13th write
// straddles a 4096-byte page of the file, and the kernel checks for a fatal
// signal between the pages it copies. Each run is interrupted a few
// milliseconds into its writing, at a random moment, by the next signal in
// turn; the file must hold whole lines only, and the run must still end by
// its signal.
std::map<int, InterruptionCounts> interruptWhileWriting(int runsPerSignal, unsigned seed) {
  const std::string input = "18\n100\n1e300\n18\n";
  const std::string line = intersections::formatProbability(1e300) + "\r\n";
  const std::vector<int> signals = terminatingSignals();
  std::mt19937 random(seed);
  std::uniform_int_distribution<useconds_t> delay(0, 3000);

  TempDir temp;
  const fs::path dir = temp.path / "run";
  fs::create_directory(dir);
  const fs::path file = dir / "prob.txt";
  std::map<int, InterruptionCounts> counts;
  for (std::size_t run = 0; run < static_cast<std::size_t>(runsPerSignal) * signals.size(); ++run) {
    const int sig = signals[run % signals.size()];
    InterruptionCounts& count = counts[sig];
    fs::remove(file);
    RunningProgram program = startInterruptible(dir, input);
    closeInput(program);
    while (!programEnded(program)) {
      struct stat info {};
      if (stat(file.c_str(), &info) == 0 && info.st_size > 0) {
        usleep(delay(random));
        kill(program.pid, sig);
        ++count.runs;
        break;
      }
      usleep(20);
    }
    const ProgramResult result = finishProgram(program);
    const std::string content = readFile(file);
    auto problem = [&](int& counter, const std::string& what) {
      ++counter;
      if (count.firstProblem.empty())
        count.firstProblem = "run " + std::to_string(run) + ": " + what;
    };
    if (result.signal != sig)
      problem(count.notBySignal, "status " + std::to_string(result.exitStatus) + ", signal " +
                                     std::to_string(result.signal));
    if (result.out != firstPrompts(4) || !result.err.empty())
      problem(count.otherOutput, "unexpected output: " + result.err);
    if (content.size() % line.size() != 0) {
      problem(count.partial, std::to_string(content.size()) + " bytes, a partial line of " +
                                 std::to_string(content.size() % line.size()) + " bytes");
    } else {
      for (std::size_t from = 0; from < content.size(); from += line.size()) {
        if (content.compare(from, line.size(), line) != 0) {
          problem(count.otherText, "line " + std::to_string(from / line.size() + 1) + " differs");
          break;
        }
      }
    }
  }
  return counts;
}

void expectNoProblems(const std::map<int, InterruptionCounts>& counts) {
  for (const auto& [sig, count] : counts) {
    SCOPED_TRACE(signalName(sig) + ": " + count.firstProblem);
    EXPECT_EQ(count.partial, 0) << "files ending in a partial line";
    EXPECT_EQ(count.otherText, 0) << "files with a line unlike the complete run's";
    EXPECT_EQ(count.notBySignal, 0) << "runs not ended by their signal";
    EXPECT_EQ(count.otherOutput, 0) << "runs with other output than the prompts";
  }
}

TEST(FaultInjection, SignalsWhileWritingLeaveCompleteLines) {
  expectNoProblems(interruptWhileWriting(6, 97));
}

// The same, many more runs of each signal, with the counts printed.
TEST(FaultInjectionLong, SignalsWhileWritingLeaveCompleteLines) {
  const auto counts = interruptWhileWriting(100, 1997);
  std::printf("%-14s %6s %8s %8s\n", "signal", "runs", "partial", "by it");
  for (const auto& [sig, count] : counts) {
    std::printf("%-14s %6d %8d %8d\n", signalName(sig).c_str(), count.runs, count.partial,
                count.runs - count.notBySignal);
  }
  expectNoProblems(counts);
}

// Before prob.txt is opened the signals keep their default effect: the run
// ends at once, by the signal, and an old prob.txt is left as it was.
TEST(FaultInjection, SignalBeforeTheFileIsOpenedEndsTheRunAtOnce) {
  struct Case {
    const char* name;
    std::string input;
    int promptsShown;  // the signal is sent once these are on standard output
    int sig;
  };
  const Case cases[] = {
      {"SIGINT at the first prompt", "", 1, SIGINT},
      // Drawing 6000 rows of 3000 entries takes a good part of a second.
      {"SIGTERM while a large instance is drawn", "3000\n50\n0.9\n1\n", 4, SIGTERM},
  };
  const std::string oldContent = "0.123456789\r\nold\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir temp;
    writeFile(temp.path / "prob.txt", oldContent);
    RunningProgram program = startInterruptible(temp.path, c.input);
    EXPECT_TRUE(readOutputUntil(program, firstPrompts(c.promptsShown), std::chrono::seconds(20)));
    kill(program.pid, c.sig);
    const auto sent = std::chrono::steady_clock::now();
    while (!programEnded(program) &&
           std::chrono::steady_clock::now() - sent < std::chrono::seconds(1))
      usleep(1000);
    const bool ended = program.ended;
    if (!ended) kill(program.pid, SIGKILL);
    const ProgramResult result = finishProgram(program);
    EXPECT_TRUE(ended) << "still running a second after the signal";
    EXPECT_EQ(result.out, firstPrompts(c.promptsShown));
    EXPECT_EQ(result.signal, c.sig) << "status " << result.exitStatus;
    EXPECT_EQ(readFile(temp.path / "prob.txt"), oldContent);
  }
}

// One run at a time per file: a second run that finds prob.txt locked, by a
// run that is writing it or by any process holding its lock, is refused
// before it empties the file, and the first run's lines stay whole.
TEST(FaultInjection, ASecondRunOnTheSameFileIsRefused) {
  const std::string message = "intersections: prob.txt is being written by another run\n";
  const std::string secondRun = "3\n100\n0.5\n3\n";  // lines of 0.5, unlike the first run's
  {
    SCOPED_TRACE("another run writing the file");
    TempDir temp, logs;
    // 1,048,575 lines: over a second of writing.
    const StartedProgram first = startWithOutputInFiles(temp.path, "20\n100\n0.9\n20\n",
                                                        logs.path / "out", logs.path / "err");
    close(first.input);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::error_code notYet;
    while ((fs::file_size(temp.path / "prob.txt", notYet) == 0 || notYet) &&
           std::chrono::steady_clock::now() < deadline) {
      usleep(1000);
    }
    const ProgramResult second = runProgram(temp.path, secondRun);
    kill(first.pid, SIGTERM);
    const std::optional<int> status = waitAtMost(first.pid, std::chrono::seconds(5));
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM)
        << "the first run ended before the second was refused: status " << *status;
    EXPECT_EQ(second.exitStatus, 2);
    EXPECT_EQ(second.out, firstPrompts(4));
    EXPECT_EQ(second.err, message);
    expectCompleteFullDensityLines(readFile(temp.path / "prob.txt"));
  }
  {
    SCOPED_TRACE("another process holding the lock");
    TempDir temp;
    const std::string oldContent = "0.123456789\r\nold\r\n";
    writeFile(temp.path / "prob.txt", oldContent);
    const int held = open((temp.path / "prob.txt").c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const ProgramResult second = runProgram(temp.path, secondRun);
    close(held);
    EXPECT_EQ(second.exitStatus, 2);
    EXPECT_EQ(second.err, message);
    EXPECT_EQ(readFile(temp.path / "prob.txt"), oldContent);
  }
}

// The same run without a fault writes every line: the reference for the
// cases above, which assume that each line of a density-100 run is P's text.
TEST(FaultInjection, UndisturbedRunWritesEveryLine) {
  TempDir temp;
  const ProgramResult result = runProgram(temp.path, tenEventRun);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out, firstPrompts(4));
  EXPECT_EQ(result.err, "");
  const std::string content = readFile(temp.path / "prob.txt");
  EXPECT_EQ(content.size(), 1023 * fullDensityLine.size());
  expectCompleteFullDensityLines(content);
}

}  // namespace
