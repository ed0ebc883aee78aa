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
// whole program is timed from fork to wait4.
//
// Usage: intersections_bench [--runs N] [--case NAME[,NAME...]]... [--dir DIR]
//                            [--program PATH] [--keep] [--list]

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "evaluation/intersections.h"
#include "evaluation/number_format.h"
#include "instance/index_sets.h"
#include "instance/random_instance.h"
#include "instance/sequence_ops.h"

namespace {

using namespace intersections;
namespace fs = std::filesystem;

constexpr unsigned benchSeed = 20240607;
// The reference holds the whole list of sets; beyond this estimate it is not run.
constexpr double referenceLimitBytes = 8.0 * 1024 * 1024 * 1024;

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "intersections_bench: " << message << '\n';
  std::exit(2);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---------------------------------------------------------------------------
// Instances

struct Case {
  const char* name;
  std::int32_t n;
  std::int32_t m;
  std::int32_t density;
  double P;
  bool unequalWeights;
  bool program;    // also run the whole program
  bool reference;  // also run the reference (if its list fits)
  bool floor;      // also run the floor
  int defaultRuns;
  double targetRatio;     // ours/floor, 0 for none
  double targetMemoryMB;  // peak memory of ours
  const char* note;
  // What the whole program is compared with, and the target of that ratio
  // (0: targetRatio).
  enum class ProgramFloor { writes, draws, writesAndDraws } programFloor = ProgramFloor::writes;
  double programTargetRatio = 0;
};

using ProgramFloor = Case::ProgramFloor;

const Case cases[] = {
    {"n20", 20, 20, 50, 0.8, false, true, true, true, 5, 1.10, 16, ""},
    {"n200m3", 200, 3, 10, 0.9, false, true, true, true, 5, 1.10, 16, ""},
    {"n1000m2", 1000, 2, 5, 0.5, false, true, true, true, 5, 1.15, 16, ""},
    {"n20w", 20, 20, 50, 0.8, true, false, true, true, 5, 1.5, 16, "unequal random weights"},
    {"n24", 24, 24, 50, 0.8, false, true, true, true, 3, 1.10, 16, ""},
    {"n400m3", 400, 3, 10, 0.9, false, false, false, false, 1, 0, 64, "memory only"},
    {"n10000m1", 10000, 1, 5, 0.5, false, true, false, true, 5, 0, 48, "drawing dominates",
     ProgramFloor::draws, 1.15},
    {"n2000m2", 2000, 2, 10, 0.9, false, true, false, true, 5, 1.10, 48, "writes and draws",
     ProgramFloor::writesAndDraws, 1.05},
};

// The weights of a case, drawn right after its rows.
DoubleSequence makeCaseWeights(const Case& c, std::size_t rows) {
  if (!c.unequalWeights) return makeWeights(c.n, c.P);
  // Random positive weights that add up to about P: no two sums of different
  // sets are likely to share a text, so every line is formatted.
  std::vector<double> raw;
  double total = 0;
  for (std::size_t j = 0; j < rows; ++j) {
    raw.push_back(1.0 + std::rand() % 1000);
    total += raw.back();
  }
  DoubleSequence weights;
  for (double r : raw) weights.push_back(c.P * r / total);
  return weights;
}

// The instance of a case as the program draws it, the same in every child.
struct Instance {
  PackedColumns columns;
  DoubleSequence weights;
};

Instance makeInstance(const Case& c) {
  std::srand(benchSeed);
  Instance instance;
  instance.columns = generatePackedColumns(c.n, c.density);
  instance.weights = makeCaseWeights(c, instance.columns.rows);
  return instance;
}

double lineCount(const Case& c) {
  double lines = 0, binomial = 1;
  for (std::int32_t k = 1; k <= std::min(c.m, c.n); ++k) {
    binomial = binomial * (c.n - k + 1) / k;
    lines += binomial;
  }
  return lines;
}

// The memory the reference's list of sets takes with libstdc++'s deque and
// glibc's malloc: per set its deque object (inside the outer deque's 512-byte
// nodes), a map of 8 node pointers and one 512-byte node per 128 entries, each
// allocation with 16 bytes of malloc overhead.
double referenceListBytes(const Case& c) {
  double bytes = 0, binomial = 1;
  constexpr double dequeObject = 80, perNode = 128;
  for (std::int32_t k = 1; k <= std::min(c.m, c.n); ++k) {
    binomial = binomial * (c.n - k + 1) / k;
    const double nodes = std::ceil(k / perNode);
    const double mapBytes = std::max(8.0, nodes + 2) * 8 + 16;
    bytes += binomial * (512.0 / std::floor(512 / dequeObject) + mapBytes + nodes * 528);
  }
  return bytes;
}

// ---------------------------------------------------------------------------
// Child side: one way, timed around its work. Reports "seconds vmhwm_kb" on
// standard output.

long vmHwmKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      long kb = 0;
      status >> kb;
      return kb;
    }
    status.ignore(1 << 20, '\n');
  }
  return -1;
}

double cpuSecondsSelf() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The clocks of the work: wall time and this process's processor time. On a
// busy machine the wall time includes waiting for a processor; the processor
// time does not.
struct Stopwatch {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  double cpuStart = cpuSecondsSelf();
};

void report(const Stopwatch& watch) {
  const double seconds = secondsSince(watch.start);
  const double cpu = cpuSecondsSelf() - watch.cpuStart;
  std::printf("%.9f %ld %.6f\n", seconds, vmHwmKb(), cpu);
}

int childOurs(const Case& c, const std::string& out) {
  const Instance instance = makeInstance(c);
  const Stopwatch watch;
  writeIntersectionProbabilitiesTo(out, c.m, instance.weights, instance.columns);
  report(watch);
  return 0;
}

int childReference(const Case& c, const std::string& out) {
  // The same draws as makeInstance, into the matrix of deques.
  std::srand(benchSeed);
  const EventMatrix matrix = generateEventMatrix(c.n, c.density);
  const DoubleSequence weights = makeCaseWeights(c, matrix.size());
  const Stopwatch watch;
  const IndexSetList list = enumerateIndexSets(c.n, c.m);
  const EventMatrix columns = transpose(matrix);
  std::ofstream file(out, std::ios::binary);
  for (const IndexSet& set : list) {
    IntSequence indicator = columns[set[0] - 1];
    for (std::size_t i = 1; i < set.size(); ++i) {
      indicator = coordProduct(indicator, columns[set[i] - 1]);
    }
    double sum = 0.0;
    for (std::size_t j = 0; j < indicator.size(); ++j) {
      if (indicator[j] == 1) sum += weights[j];
    }
    file << formatProbability(sum) << "\r" << std::endl;
  }
  file.close();
  if (!file) fail("reference: cannot write " + out);
  report(watch);
  return 0;
}

int childFloor(const std::string& in, const std::string& out) {
  // Not timed: the bytes and the line boundaries, in memory.
  std::string text;
  {
    std::ifstream file(in, std::ios::binary);
    if (!file) fail("floor: cannot read " + in);
    text.resize(static_cast<std::size_t>(fs::file_size(in)));
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::vector<std::size_t> ends;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t newline = text.find('\n', at);
    at = newline == std::string::npos ? text.size() : newline + 1;
    ends.push_back(at);
  }

  const Stopwatch watch;
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) fail("floor: cannot create " + out);
  std::size_t from = 0;
  for (const std::size_t end : ends) {
    while (from < end) {
      const ssize_t put = ::write(fd, text.data() + from, end - from);
      if (put <= 0) fail("floor: cannot write " + out);
      from += static_cast<std::size_t>(put);
    }
  }
  if (::close(fd) != 0) fail("floor: cannot close " + out);
  report(watch);
  return 0;
}

int childDraws(const Case& c) {
  std::srand(benchSeed);
  const Stopwatch watch;
  const std::int32_t rows = 2 * c.n;
  for (std::int32_t accepted = 0; accepted < rows;) {
    bool hasOne = false;
    for (std::int32_t column = 0; column < c.n; ++column) {
      if (std::rand() % 100 + 1 <= c.density) hasOne = true;
    }
    if (hasOne) ++accepted;
  }
  report(watch);
  return 0;
}

const Case* findCase(const std::string& name) {
  for (const Case& c : cases) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

int childMain(int argc, char** argv) {
  // --child ours|reference CASE OUT   or   --child floor IN OUT   or   --child draws CASE
  const std::string way = argc >= 3 ? argv[2] : "";
  if (way == "draws" && argc == 4) {
    const Case* c = findCase(argv[3]);
    if (c == nullptr) fail(std::string("unknown case ") + argv[3]);
    return childDraws(*c);
  }
  if (argc != 5) fail("bad child arguments");
  if (way == "floor") return childFloor(argv[3], argv[4]);
  const Case* c = findCase(argv[3]);
  if (c == nullptr) fail(std::string("unknown case ") + argv[3]);
  if (way == "ours") return childOurs(*c, argv[4]);
  if (way == "reference") return childReference(*c, argv[4]);
  fail("unknown way " + way);
}

// ---------------------------------------------------------------------------
// Parent side: start a way, collect its time and peak memory.

struct Measurement {
  double seconds = 0;
  long maxRssKb = 0;      // ru_maxrss of the child, from wait4
  double cpuSeconds = 0;  // user + system time of the work (of the whole child for the program)
  long vmHwmKb = -1;      // the child's own VmHWM (benchmark children only)
};

// Runs `argv` in a child (stdin, stdout, stderr and working directory as
// given), waits for it with wait4 and returns its peak memory and the time
// from fork to its end. Whatever the child writes to standard output is
// returned in `output` when `captureOutput` is set.
Measurement spawn(const std::vector<std::string>& args, const std::string& workingDir,
                  const std::string& stdinPath, const std::string& stderrPath, bool captureOutput,
                  std::string* output) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  if (captureOutput && ::pipe(pipeFds) != 0) fail("pipe failed");
  std::fflush(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) fail("fork failed");
  if (pid == 0) {
    if (!workingDir.empty() && ::chdir(workingDir.c_str()) != 0) _exit(126);
    const int in = ::open(stdinPath.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY);
    const int err =
        stderrPath.empty() ? 2 : ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int out = captureOutput ? pipeFds[1] : ::open("/dev/null", O_WRONLY);
    if (in < 0 || err < 0 || out < 0) _exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (captureOutput) {
      ::close(pipeFds[0]);
      ::close(pipeFds[1]);
    }
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  if (captureOutput) {
    ::close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
      if (got < 0) {
        if (errno == EINTR) continue;
        break;
      }
      output->append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
  }
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) fail("wait4 failed");
  }
  Measurement result;
  result.seconds = secondsSince(start);
  result.maxRssKb = usage.ru_maxrss;
  result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string message = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) message += " " + args[i];
    fail(message + ": child failed (status " + std::to_string(status) + ")");
  }
  return result;
}

std::string selfPath;

Measurement runWay(const std::vector<std::string>& childArgs) {
  std::vector<std::string> args{selfPath, "--child"};
  args.insert(args.end(), childArgs.begin(), childArgs.end());
  std::string output;
  Measurement m = spawn(args, "", "", "", true, &output);
  std::istringstream in(output);
  double seconds = 0;
  double cpu = 0;
  if (!(in >> seconds >> m.vmHwmKb >> cpu))
    fail("child " + childArgs.front() + " reported no time");
  m.seconds = seconds;  // the child's own times around its work
  m.cpuSeconds = cpu;
  return m;
}

// Streaming comparison, so that the parent stays small: the pages it has when
// it forks count towards each child's ru_maxrss.
bool sameBytes(const std::string& a, const std::string& b) {
  std::FILE* fa = std::fopen(a.c_str(), "rb");
  std::FILE* fb = std::fopen(b.c_str(), "rb");
  bool same = fa != nullptr && fb != nullptr;
  static char bufferA[1 << 16], bufferB[1 << 16];
  while (same) {
    const std::size_t ga = std::fread(bufferA, 1, sizeof bufferA, fa);
    const std::size_t gb = std::fread(bufferB, 1, sizeof bufferB, fb);
    if (ga != gb || std::memcmp(bufferA, bufferB, ga) != 0) same = false;
    if (ga == 0) break;
  }
  if (fa != nullptr) std::fclose(fa);
  if (fb != nullptr) std::fclose(fb);
  return same;
}

std::uint64_t countLines(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  static char buffer[1 << 16];
  std::uint64_t lines = 0;
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) != 0;) {
    lines += static_cast<std::uint64_t>(std::count(buffer, buffer + got, '\n'));
  }
  std::fclose(f);
  return lines;
}

double median(std::vector<double> values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// All runs of one way.
struct Series {
  std::vector<double> seconds;
  std::vector<double> cpuSeconds;
  long maxRssKb = 0;
  long maxVmHwmKb = -1;
  void add(const Measurement& m) {
    seconds.push_back(m.seconds);
    cpuSeconds.push_back(m.cpuSeconds);
    maxRssKb = std::max(maxRssKb, m.maxRssKb);
    maxVmHwmKb = std::max(maxVmHwmKb, m.vmHwmKb);
  }
  bool empty() const { return seconds.empty(); }
  // The last run, with the child's CPU time: wall time well above it means
  // the child waited for a processor.
  std::string last() const {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f s (cpu %.3f)", seconds.back(), cpuSeconds.back());
    return buffer;
  }
  double mb() const { return maxRssKb / 1024.0; }
};

struct Options {
  int runs = 0;  // 0: each case's default
  std::vector<std::string> caseNames;
  std::string dir = "/tmp";
  std::string program = INTERSECTIONS_EXE;
  bool keep = false;
};

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

std::string fixed(double value, int decimals) {
  if (std::isnan(value)) return "-";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

struct Row {
  std::string name, way, lines;
  int runs = 0;
  double ours = NAN, reference = NAN, floor = NAN, draws = NAN;
  double oursCpu = NAN, floorCpu = NAN;
  double oursMb = NAN, referenceMb = NAN, floorMb = NAN;
  std::string referenceNote;
  std::string verdict;
};

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

std::string withCommas(double value) {
  const std::string digits = std::to_string(static_cast<long long>(value));
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
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
  const std::string programFile = (programDir / outputFileName).string();
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
      ours.add(runWay({"ours", c.name, oursRun}));
      if (countLines(oursRun) != static_cast<std::uint64_t>(lines)) fail("ours: wrong line count");
    };
    auto runFloor = [&](const std::string& source) {
      settle();
      floor.add(runWay({"floor", source, floorRun}));
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
      program.add(spawn({options.program}, programDir.string(), answersFile,
                        (scratch / "program-stderr.txt").string(), false, nullptr));
      std::fprintf(stderr, ", program %s", program.last().c_str());
      if (countLines(programFile) != static_cast<std::uint64_t>(lines)) {
        fail("program: " + std::to_string(countLines(programFile)) + " lines, expected " +
             withCommas(lines));
      }
      const std::string programKept = fresh(programFile, run);
      fs::rename(programFile, programKept);
      const std::string programFloorRun = fresh(programFloorFile, run);
      settle();
      programFloor.add(runWay({"floor", programKept, programFloorRun}));
      std::fprintf(stderr, ", its floor %s", programFloor.last().c_str());
      checkSame(programKept, programFloorRun, "program floor");
    }
    if (runDraws) {
      settle();
      draws.add(runWay({"draws", c.name}));
      std::fprintf(stderr, ", draws %s", draws.last().c_str());
    }
    std::fprintf(stderr, "\n");
  }
  // The reference's runs come after all the others: it gives back hundreds of
  // MB at its exit, which would disturb the way that follows it.
  for (int run = 1; run <= runs && runReference; ++run) {
    const std::string referenceRun = fresh(referenceFile, run);
    settle();
    reference.add(runWay({"reference", c.name, referenceRun}));
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

int parentMain(int argc, char** argv) {
  Options options;
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
        if (findCase(name) == nullptr) fail("unknown case " + name + " (see --list)");
        options.caseNames.push_back(name);
      }
    } else if (arg == "--dir") {
      options.dir = value();
    } else if (arg == "--program") {
      options.program = value();
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--list") {
      for (const Case& c : cases) {
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
  selfPath = fs::read_symlink("/proc/self/exe").string();
  if (::access(options.program.c_str(), X_OK) != 0) fail("cannot run " + options.program);

  std::string pattern = (fs::path(options.dir) / "intersections-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) fail("cannot create a directory in " + options.dir);
  const fs::path scratch = pattern;
  std::fprintf(stderr, "scratch directory %s\n", scratch.c_str());

  std::vector<Row> rows;
  for (const Case& c : cases) {
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
