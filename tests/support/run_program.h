#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Paths of the built `intersections` and `union-bounds` executables.
inline const char* programPath() { return INTERSECTIONS_EXE; }
inline const char* unionBoundsPath() { return UNION_BOUNDS_EXE; }

struct ProgramResult {
  int exitStatus = -1;  // exit status, or -1 when killed by a signal
  int signal = 0;       // the signal that ended it, or 0
  std::string out;      // everything written to standard output
  std::string err;      // everything written to standard error
};

// Runs the executable in `dir` with `input` on standard input (then end of
// file) and waits for it. `childSetup`, if given, runs in the child just
// before exec (set limits, signal dispositions, drop privileges).
ProgramResult runProgram(const std::filesystem::path& dir, const std::string& input,
                         const std::function<void()>& childSetup = {});

// The same for `program` with `args` after its name.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& dir, const std::string& input,
                         const std::function<void()>& childSetup = {});

}  // namespace testing_support
