#include "main/input_error.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace intersections {

std::optional<std::string> standardInputError() {
  // std::cin reads through stdio (synchronised with it), and the stream
  // itself only sees the end of its input: stdio's error flag tells a failed
  // read from the end of the file.
  if (!std::ferror(stdin)) return std::nullopt;
  int error = errno;
  // A read of no bytes asks again without taking anything: a directory
  // answers EISDIR, a closed descriptor EBADF.
  char none;
  if (::read(STDIN_FILENO, &none, 0) < 0) error = errno;
  return std::string(error != 0 ? std::strerror(error) : "unknown error");
}

}  // namespace intersections
