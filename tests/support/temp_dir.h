#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path path;
};

// The whole content of a file, or "" if it cannot be read.
std::string readFile(const std::filesystem::path& file);

// Writes `content` to `file`, replacing it.
void writeFile(const std::filesystem::path& file, const std::string& content);

// The lines of `text` after its first (a header), each without its LF.
std::vector<std::string> linesAfterHeader(const std::string& text);

// Makes `dir` the working directory for the lifetime of the object.
struct WorkingDirectory {
  explicit WorkingDirectory(const std::filesystem::path& dir);
  ~WorkingDirectory();
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;
  std::filesystem::path previous;
};

}  // namespace testing_support
