#include "evaluation/line_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace intersections {

namespace {

std::string reason(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

}  // namespace

LineFile openLineFile(const std::string& path) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    throw OutputError("cannot create " + path + ": " + reason(errno));
  }
  return LineFile{path, std::unique_ptr<std::FILE, FileCloser>(file), 0};
}

void writeLine(LineFile& out, const char* text, std::size_t length) {
  errno = 0;
  // The stream's buffer is larger than any line, so fwrite only copies and
  // fflush hands the whole line to the system in one write.
  if (std::fwrite(text, 1, length, out.file.get()) == length && std::fflush(out.file.get()) == 0) {
    out.committed += length;
    return;
  }
  const int error = errno;
  // Part of the line may have reached the file (a file size limit lets a
  // write through up to the limit). Close first, since closing retries what is
  // still buffered, then cut the file back to its complete lines. A file that
  // cannot be cut (a device) keeps whatever the device took.
  out.file.reset();
  std::error_code ignored;
  std::filesystem::resize_file(out.path, out.committed, ignored);
  throw OutputError("cannot write " + out.path + ": " + reason(error));
}

void closeLineFile(LineFile& out) {
  errno = 0;
  std::FILE* file = out.file.release();
  if (file != nullptr && std::fclose(file) != 0) {
    throw OutputError("cannot close " + out.path + ": " + reason(errno));
  }
}

}  // namespace intersections
