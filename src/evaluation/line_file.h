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
// returns. While it is open, every catchable signal that would end the
// process is held (see termination_signals.h): such a signal lets the line
// being written finish, stops all further lines, and ends the process once
// the file is closed. While it is open it also holds an exclusive advisory
// lock (flock) on the file, so that two runs cannot write it at once.
struct LineFile {
  std::string path;
  int descriptor = -1;
  std::uintmax_t committed = 0;  // bytes of the lines that reached the file

  LineFile() = default;
  LineFile(LineFile&& other) noexcept;
  LineFile& operator=(LineFile&&) = delete;
  ~LineFile();  // closes the file if it is still open, as closeLineFile does
};

// Holds the termination signals, opens `path` (creating it if need be),
// takes the lock, and only then empties it. Throws OutputError (the signals
// are then released), without emptying the file, when it cannot be opened or
// when another process holds the lock ("<path> is being written by another
// run"). A held signal that interrupts an open that blocks (a FIFO without a
// reader) ends the process by that signal; so does one that arrives before
// the file is emptied, which then is not. With `keep`, the first `keep`
// bytes of a regular file stay (what follows is cut off) and the lines go on
// after them; a file shorter than that is refused.
LineFile openLineFile(const std::string& path, std::uintmax_t keep = 0);

// Hands one whole line to the system in one write before returning, so that
// a run stopped at any moment leaves complete lines only, and returns true.
// Returns false, writing nothing, once a termination signal has arrived, also
// when it interrupts a write that blocks (a FIFO whose reader does not read):
// the caller should close the file, which ends the process. The check is one
// flag, no system call. If the write fails, cuts the file back to
// the lines written before, closes it (releasing the signals) and throws
// OutputError; the file must not be used after that.
bool writeLine(LineFile& out, const char* text, std::size_t length);

// Closes the file and releases the termination signals: one that arrived
// while the file was open ends the process here, by that signal. Otherwise
// throws OutputError if the close failed.
void closeLineFile(LineFile& out);

}  // namespace intersections
