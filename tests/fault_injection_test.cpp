// The built program under faults from outside: an output file that cannot be
// created or written, a file size limit reached part-way, a container's
// memory limit, standard input that ends or is closed, and signals at a
// prompt, while drawing and while writing. Each case checks the exit status,
// the message, that standard output holds only prompts, and what is left in
// prob.txt.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
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
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "evaluation/number_format.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProgramResult;
using testing_support::readFile;
using testing_support::runProgram;
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
  const pid_t pid = fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    dropPrivileges();
    const bool ok =
        access(dir.c_str(), X_OK) == 0 && access(testing_support::programPath(), X_OK) == 0;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 126) return "cannot switch to user 65534";
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

TEST(FaultInjection, FileThatCannotFitIsRefusedBeforeItIsTouched) {
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

// The machine has far more memory than the instance needs, the container far
// less: the program must say so right after n instead of being killed.
TEST(FaultInjection, ControlGroupMemoryLimitRefusesRightAfterN) {
  MemoryGroup group;
  if (const auto problem = makeMemoryGroup(group, "67108864")) GTEST_SKIP() << *problem;
  const std::string procs = (group.dir / "cgroup.procs").string();
  enum { notMoved = 125 };
  TempDir temp;
  const std::string oldContent = "kept\r\n";
  writeFile(temp.path / "prob.txt", oldContent);
  // n = 20000: about 100 MB even packed, against the group's 64 MB.
  const ProgramResult result = runProgram(temp.path, "20000 50 0.5 1", [&] {
    const std::string pid = std::to_string(getpid());
    const int fd = open(procs.c_str(), O_WRONLY);
    if (fd < 0 || write(fd, pid.data(), pid.size()) != static_cast<ssize_t>(pid.size()))
      _exit(notMoved);
    close(fd);
  });
  if (result.exitStatus == notMoved) GTEST_SKIP() << "cannot move a process into " << group.dir;
  EXPECT_EQ(result.signal, 0) << "killed by signal " << result.signal;
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_EQ(result.out, firstPrompts(1));
  expectMessage(result.err, {"n = 20000 needs about", "more than the 64 MB",
                             group.dir.string() + "/memory.limit_in_bytes"});
  EXPECT_EQ(readFile(temp.path / "prob.txt"), oldContent);
}

// --- standard input ends or is closed ---------------------------------------

TEST(FaultInjection, InputEndsBeforeAnAnswer) {
  struct Case {
    const char* name;
    std::string input;
    bool closeStdin;
    int promptsShown;
    const char* answer;  // as the message names it
  };
  const Case cases[] = {
      {"standard input closed", "", true, 1, "the number of events n"},
      {"empty input", "", false, 1, "the number of events n"},
      {"only blanks", " \n\t\r\n", false, 1, "the number of events n"},
      {"ends after n", "5\n", false, 2, "the density"},
      {"ends after the density", "5\n50\n", false, 3, "the probability of the union P"},
      {"ends after P", "5\n50\n0.9\n", false, 4, "the maximum order m"},
      {"ends after P without a line break", "5\n50\n0.9", false, 4, "the maximum order m"},
  };
  const std::string oldContent = "0.123456789\r\nold\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir temp;
    writeFile(temp.path / "prob.txt", oldContent);
    const ProgramResult result = runProgram(temp.path, c.input, [&] {
      if (c.closeStdin) close(0);
    });
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, firstPrompts(c.promptsShown));
    expectMessage(result.err, {"input ended", c.answer});
    EXPECT_EQ(readFile(temp.path / "prob.txt"), oldContent);
  }
}

// --- signals -----------------------------------------------------------------

// A started program: its process and the write end of its standard input.
struct StartedProgram {
  pid_t pid;
  int input;
};

// Starts the program in `dir` with `input` already in its standard input,
// which stays open for the caller to close, and standard output and error
// sent to the given files. The termination signals start at their defaults
// whatever this process has (a background job ignores SIGINT and SIGQUIT),
// and a SIGQUIT leaves no core file.
StartedProgram startProgram(const fs::path& dir, const std::string& input, const fs::path& outFile,
                            const fs::path& errFile) {
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
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(sig, SIG_DFL);
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

const char* signalName(int sig) {
  switch (sig) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    case SIGQUIT:
      return "SIGQUIT";
  }
  return "another signal";
}

// Lines of 313 bytes (P = 1e300 at density 100): about every 13th write
// straddles a 4096-byte page of the file, and the kernel checks for a fatal
// signal between the pages it copies. Each run is interrupted a few
// milliseconds into its writing, at a random moment; the file must hold whole
// lines only, and the run must still end by its signal.
TEST(FaultInjection, SignalsWhileWritingLeaveCompleteLines) {
  const std::string input = "18\n100\n1e300\n18\n";
  const std::string line = intersections::formatProbability(1e300) + "\r\n";
  ASSERT_EQ(line.size(), 313u);
  const int signals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
  constexpr int runs = 600;
  std::mt19937 random(97);
  std::uniform_int_distribution<useconds_t> delay(0, 3000);

  TempDir temp;
  const fs::path dir = temp.path / "run";
  fs::create_directory(dir);
  const fs::path file = dir / "prob.txt";
  int partial = 0, otherText = 0, notBySignal = 0, unfinished = 0;
  std::string firstProblem;
  for (int run = 0; run < runs; ++run) {
    const int sig = signals[run % std::size(signals)];
    fs::remove(file);
    const StartedProgram program = startProgram(dir, input, temp.path / "out", temp.path / "err");
    close(program.input);
    int status = 0;
    bool exited = false;
    for (struct stat info{}; !exited && (stat(file.c_str(), &info) != 0 || info.st_size == 0);) {
      exited = waitpid(program.pid, &status, WNOHANG) == program.pid;
      usleep(20);
    }
    if (!exited) {
      usleep(delay(random));
      kill(program.pid, sig);
      waitpid(program.pid, &status, 0);
    }
    const std::string content = readFile(file);
    const std::string at = std::string(signalName(sig)) + " run " + std::to_string(run) + ": ";
    if (!WIFSIGNALED(status) || WTERMSIG(status) != sig) {
      ++notBySignal;
      if (firstProblem.empty()) firstProblem = at + "status " + std::to_string(status);
    }
    if (readFile(temp.path / "out") != firstPrompts(4) || readFile(temp.path / "err") != "") {
      ++unfinished;
      if (firstProblem.empty())
        firstProblem = at + "unexpected output: " + readFile(temp.path / "err");
    }
    if (content.size() % line.size() != 0) {
      ++partial;
      if (firstProblem.empty()) {
        firstProblem = at + std::to_string(content.size()) + " bytes, a partial line of " +
                       std::to_string(content.size() % line.size()) + " bytes";
      }
    } else {
      for (std::size_t from = 0; from < content.size(); from += line.size()) {
        if (content.compare(from, line.size(), line) != 0) {
          ++otherText;
          if (firstProblem.empty())
            firstProblem = at + "line " + std::to_string(from / line.size() + 1) + " differs";
          break;
        }
      }
    }
  }
  EXPECT_EQ(partial, 0) << "files ending in a partial line; first problem: " << firstProblem;
  EXPECT_EQ(otherText, 0) << "files with a line unlike the complete run's; first problem: "
                          << firstProblem;
  EXPECT_EQ(notBySignal, 0) << "runs not ended by their signal; first problem: " << firstProblem;
  EXPECT_EQ(unfinished, 0) << "runs with other output than the prompts; first problem: "
                           << firstProblem;
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
    TempDir temp, logs;
    writeFile(temp.path / "prob.txt", oldContent);
    const StartedProgram program =
        startProgram(temp.path, c.input, logs.path / "out", logs.path / "err");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (readFile(logs.path / "out") != firstPrompts(c.promptsShown) &&
           std::chrono::steady_clock::now() < deadline) {
      usleep(100);
    }
    kill(program.pid, c.sig);
    const auto sent = std::chrono::steady_clock::now();
    int status = 0;
    bool ended = false;
    while (!(ended = waitpid(program.pid, &status, WNOHANG) == program.pid) &&
           std::chrono::steady_clock::now() - sent < std::chrono::seconds(1)) {
      usleep(1000);
    }
    if (!ended) {
      kill(program.pid, SIGKILL);
      waitpid(program.pid, &status, 0);
    }
    close(program.input);
    EXPECT_TRUE(ended) << "still running a second after the signal";
    EXPECT_EQ(readFile(logs.path / "out"), firstPrompts(c.promptsShown));
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), c.sig);
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
