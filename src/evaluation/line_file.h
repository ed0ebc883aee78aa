#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace intersections {

// A failure to create or write the output file. The message names the file
// and gives the system's reason.
struct OutputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// An output file written one complete line at a time, straight to the
// system: no buffer of its own, so a line is in the file once writeLine
// returns.
struct LineFile {
  std::string path;
  int descriptor = -1;
  std::uintmax_t committed = 0;  // bytes of the lines that reached the file

  LineFile() = default;
  LineFile(LineFile&& other) noexcept;
  LineFile& operator=(LineFile&&) = delete;
  ~LineFile();  // closes the file if it is still open
};

// Creates `path`, or empties it if it exists. Throws OutputError.
LineFile openLineFile(const std::string& path);

// Hands one whole line to the system in one write before returning, so that
// a reader, or a run stopped at any moment, sees complete lines only. If the
// write fails, cuts the file back to the lines written before, closes it and
// throws OutputError; the file must not be used after that.
void writeLine(LineFile& out, const char* text, std::size_t length);

// Closes the file. Throws OutputError if the close fails.
void closeLineFile(LineFile& out);

}  // namespace intersections
