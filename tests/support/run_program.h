#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Paths of the built executables.
inline const char* programPath() { return INTERSECTIONS_EXE; }
inline const char* unionBoundsPath() { return UNION_BOUNDS_EXE; }
inline const char* boundsStudyPath() { return BOUNDS_STUDY_EXE; }

// How to run a program: every field but `program` may stay empty.
struct ProgramRun {
  std::filesystem::path program{};     // the executable
  std::vector<std::string> args{};     // the arguments after its name
  std::string input{};                 // standard input, then end of file
  std::filesystem::path dir{};         // the working directory; empty: this process's
  std::function<void()> childSetup{};  // runs in the child just before exec
};

struct ProgramResult {
  int exitStatus = -1;  // exit status, or -1 when killed by a signal
  int signal = 0;       // the signal that ended it, or 0
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

// Runs the program and waits for it. The child starts with SIGINT, SIGTERM,
// SIGHUP, SIGQUIT and SIGPIPE at their defaults and no signal blocked,
// whatever this process has; then `childSetup` runs (set limits, signal
// dispositions, drop privileges). Throws std::runtime_error when the child
// cannot be started; a program that cannot be executed ends with status 127.
ProgramResult runProgram(const ProgramRun& run);

// `intersections` in `dir` with `input` on standard input.
ProgramResult runProgram(const std::filesystem::path& dir, const std::string& input,
                         const std::function<void()>& childSetup = {});

// The same for `program` with `args` after its name.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& dir, const std::string& input,
                         const std::function<void()>& childSetup = {});

// For the runs that need control while the program runs (answers sent one by
// one, a signal sent mid-run): runProgram(run) is startProgram, then
// finishProgram. Standard input starts empty and open; run.input is ignored.
struct RunningProgram {
  pid_t pid = -1;
  int input = -1;   // the write end of its standard input, or -1 once closed
  int output = -1;  // the read ends of its standard output and error
  int error = -1;
  std::string out, err;  // what has been read of them so far
  bool ended = false;    // it has been waited for, and ended with `status` (as waitpid gives it)
  int status = 0;
  RunningProgram() = default;
  RunningProgram(RunningProgram&& other) noexcept;
  RunningProgram& operator=(RunningProgram&&) = delete;
  ~RunningProgram();  // kills and reaps a program that was never finished
};
RunningProgram startProgram(const ProgramRun& run);

// Writes `text` to the program's standard input (small texts: it blocks
// while the pipe is full); false if the program no longer reads it.
bool sendInput(RunningProgram& program, const std::string& text);
void closeInput(RunningProgram& program);

// Reads standard output until `text` has arrived after what was read before,
// for at most `timeout`. False on a timeout or at the end of the output.
bool readOutputUntil(RunningProgram& program, const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Whether the program has ended, without waiting for it.
bool programEnded(RunningProgram& program);

// Writes `input`, closes standard input, reads both outputs to their end and
// waits for the program.
ProgramResult finishProgram(RunningProgram& program, const std::string& input = "");

// Runs `body` in a forked child that never returns into the test framework,
// and returns the child's exit status (body's result; 98 when it throws), or
// 128 plus the signal that ended it.
int runInChild(const std::function<int()>& body);

}  // namespace testing_support
