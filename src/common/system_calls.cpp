#include "common/system_calls.h"

#include <fcntl.h>
#include <unistd.h>

namespace intersections {

namespace {

// open is variadic; the mode is always given here.
int openFile(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

int fileSystemStatus(const char* path, struct statvfs* status) { return ::statvfs(path, status); }

SystemCalls& current() {
  static SystemCalls calls = realSystemCalls();
  return calls;
}

}  // namespace

SystemCalls realSystemCalls() {
  return {openFile, ::read, ::write, ::ftruncate, fileSystemStatus, "/"};
}

const SystemCalls& systemCalls() { return current(); }

ReplacedSystemCalls::ReplacedSystemCalls(const SystemCalls& calls) : before_(current()) {
  current() = calls;
}

ReplacedSystemCalls::~ReplacedSystemCalls() { current() = before_; }

}  // namespace intersections
