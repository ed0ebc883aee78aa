#include "evaluation/line_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/system_calls.h"
#include "evaluation/termination_signals.h"

// The file is written with the system's own open and write: every line must
// reach the file by itself, and a stream that is flushed after each line costs
// a tenth more per line than the bare system call it ends in.

namespace intersections {

namespace {

std::string reason(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

}  // namespace

LineFile::LineFile(LineFile&& other) noexcept
    : path(std::move(other.path)),
      descriptor(std::exchange(other.descriptor, -1)),
      committed(other.committed) {}

LineFile::~LineFile() {
  if (descriptor < 0) return;
  ::close(descriptor);
  releaseTerminationSignals();
}

LineFile openLineFile(const std::string& path, std::uintmax_t keep) {
  LineFile out;
  out.path = path;
  holdTerminationSignals();
  // Closes what is open and releases the signals, so that one that arrived
  // ends the process here, before the file is emptied; otherwise throws.
  auto giveUp = [&](const std::string& message) {
    if (out.descriptor >= 0) ::close(std::exchange(out.descriptor, -1));
    releaseTerminationSignals();
    throw OutputError(message);
  };
  const std::string cannotCreate = "cannot create " + path + ": ";
  // Not O_TRUNC: the file is emptied only once this run holds its lock.
  while ((out.descriptor = systemCalls().open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666)) <
         0) {
    const int error = errno;
    if (error != EINTR || terminationSignalArrived()) giveUp(cannotCreate + reason(error));
  }
  // Another run writing the same file holds the lock. A file system without
  // locks (an error other than EWOULDBLOCK) does not stop the run.
  if (::flock(out.descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    giveUp(path + " is being written by another run");
  }
  if (terminationSignalArrived()) giveUp(cannotCreate + reason(EINTR));
  // Only a regular file has a length to cut; a FIFO or a device is used as it is.
  struct stat status {};
  const bool regular = ::fstat(out.descriptor, &status) == 0 && S_ISREG(status.st_mode);
  if (regular && static_cast<std::uintmax_t>(status.st_size) < keep)
    giveUp(path + " has changed since it was read");
  if (regular && systemCalls().ftruncate(out.descriptor, static_cast<off_t>(keep)) != 0) {
    giveUp(cannotCreate + reason(errno));
  }
  if (keep > 0 && ::lseek(out.descriptor, static_cast<off_t>(keep), SEEK_SET) < 0)
    giveUp(cannotCreate + reason(errno));
  out.committed = keep;
  return out;
}

bool writeLine(LineFile& out, const char* text, std::size_t length) {
  // A signal that arrives after this check lets the write below finish whole
  // (it has a handler now); the next call stops.
  if (terminationSignalArrived()) return false;
  std::size_t done = 0;
  while (done < length) {
    const ssize_t written = systemCalls().write(out.descriptor, text + done, length - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
    } else if (written < 0 && errno == EINTR && !terminationSignalArrived()) {
      continue;
    } else if (written < 0 && errno == EINTR) {
      // A held signal ended a write that was blocked (a FIFO whose reader
      // does not read). A pipe takes a line of up to 4096 bytes whole or not
      // at all; whatever else took part of it is cut back where it can be.
      if (done > 0 &&
          systemCalls().ftruncate(out.descriptor, static_cast<off_t>(out.committed)) != 0) {
        // Not a file with a length (a pipe, a device): nothing can be undone.
      }
      return false;
    } else {
      // A write cut short (a file size limit lets it through up to the limit,
      // a full disk up to the last free block) leaves part of the line: cut
      // the file back to its complete lines. A device such as /dev/full
      // cannot be cut and keeps nothing anyway.
      const int error = written < 0 ? errno : ENOSPC;
      if (systemCalls().ftruncate(out.descriptor, static_cast<off_t>(out.committed)) != 0) {
        // Nothing more can be done about it; the write error is what counts.
      }
      ::close(std::exchange(out.descriptor, -1));
      releaseTerminationSignals();
      throw OutputError("cannot write " + out.path + ": " + reason(error));
    }
  }
  out.committed += length;
  return true;
}

void closeLineFile(LineFile& out) {
  if (out.descriptor < 0) return;
  const bool closed = ::close(std::exchange(out.descriptor, -1)) == 0;
  const int error = errno;
  releaseTerminationSignals();
  if (!closed) throw OutputError("cannot close " + out.path + ": " + reason(error));
}

}  // namespace intersections
