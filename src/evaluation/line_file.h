#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace intersections {

// A failure to create or write the output file. The message names the file
// and gives the system's reason.
struct OutputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// An output file written one complete line at a time.
struct LineFile {
  std::string path;
  std::unique_ptr<std::FILE, FileCloser> file;
  std::uintmax_t committed = 0;  // bytes of the lines that reached the file
};

// Creates `path`, or empties it if it exists. Throws OutputError.
LineFile openLineFile(const std::string& path);

// Hands one whole line to the system before returning, so that a reader, or a
// run stopped at any moment, sees complete lines only. If the write fails,
// closes the file, cuts it back to the lines written before, and throws
// OutputError; the file must not be used after that.
void writeLine(LineFile& out, const char* text, std::size_t length);

// Closes the file. Throws OutputError if the close fails.
void closeLineFile(LineFile& out);

}  // namespace intersections
