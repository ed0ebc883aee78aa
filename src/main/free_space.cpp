#include "main/free_space.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdio>
#include <limits>

#include "common/byte_sizes.h"
#include "common/system_calls.h"
#include "evaluation/number_format.h"

namespace intersections {

namespace {

constexpr std::uint64_t most = std::numeric_limits<std::uint64_t>::max();

// Beyond this many rows the one line of a full matrix is not worked out; 13
// bytes is then still a least length.
constexpr std::int64_t longestSum = std::int64_t{1} << 24;

std::uint64_t saturatedProduct(std::uint64_t a, std::uint64_t b) {
  return b != 0 && a > most / b ? most : a * b;
}

std::uint64_t saturatedSum(std::uint64_t a, std::uint64_t b) { return a > most - b ? most : a + b; }

// The bytes a file at `path` can grow to: what its file system has free, and
// what the file holds now. Nothing when that cannot be known, or when `path`
// is no regular file.
std::optional<std::uint64_t> roomAt(const std::string& path) {
  struct stat file {};
  std::uint64_t held = 0;
  std::string where = path;
  if (::stat(path.c_str(), &file) == 0) {
    if (!S_ISREG(file.st_mode)) return std::nullopt;
    // The blocks it occupies, not its length: a sparse file frees less.
    held = static_cast<std::uint64_t>(file.st_blocks) * 512;
  } else if (errno == ENOENT) {
    // To be created in its directory (for a dangling link, the directory of
    // the link: close enough, and only ever an estimate of room).
    const std::size_t slash = path.rfind('/');
    where = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  } else {
    return std::nullopt;
  }
  struct statvfs system {};
  if (systemCalls().statvfs(where.c_str(), &system) != 0) return std::nullopt;
  // The blocks open to every user, as df shows them: the ones a file system
  // keeps back may be for root or for some other user (resuid), or for none.
  return saturatedSum(saturatedProduct(system.f_bavail, system.f_frsize), held);
}

}  // namespace

std::uint64_t shortestLineBytes(std::int32_t n, std::int32_t density, double P) {
  constexpr std::uint64_t zeroLine = 13;
  const std::int64_t rows = 2 * std::int64_t{n};
  if (density < 100 || rows < 1 || rows > longestSum) return zeroLine;
  // Every set is then found in every row: its line is the sum of all the
  // weights, added one after another as the file's lines are.
  const double weight = P / static_cast<double>(rows);
  double sum = 0.0;
  for (std::int64_t row = 0; row < rows; ++row) sum += weight;
  return formatProbability(sum).size() + 2;
}

std::optional<std::string> spaceShortage(const std::string& path, std::uint64_t lines,
                                         std::uint64_t shortestLine) {
  const std::uint64_t needed = saturatedProduct(lines, shortestLine);
  if (needed == 0) return std::nullopt;
  const std::optional<std::uint64_t> room = roomAt(path);
  if (!room || needed <= *room) return std::nullopt;
  // A count too large for 64 bits is shown as the largest there is.
  const std::string count = std::to_string(lines) + (lines == most ? " or more" : "");
  return "cannot create " + path + ": its " + count + " lines need at least " +
         describeBytes(needed) + ", more than the " + describeBytes(*room) +
         " available on its file system";
}

}  // namespace intersections
