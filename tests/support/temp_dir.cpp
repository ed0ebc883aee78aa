#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace testing_support {

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "intersections-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Give back write permission that a test may have taken away, then remove.
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path, ignored);
}

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const std::filesystem::path& file, const std::string& content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << content;
}

WorkingDirectory::WorkingDirectory(const std::filesystem::path& dir)
    : previous(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

WorkingDirectory::~WorkingDirectory() {
  std::error_code ignored;
  std::filesystem::current_path(previous, ignored);
}

std::vector<std::string> linesAfterHeader(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace testing_support
