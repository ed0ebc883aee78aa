// Reads arbitrary bytes as a probability file and computes its bounds: the
// first byte chooses n from 1 to 8 and the half-width of the lines (one unit
// of their last decimal, or --delta 0, 10^-9 or 5 * 10^-4), the rest is the
// file. Either the reader
// or the bounds refuse it with their error, or every lower bound printed is
// at most every upper bound printed, all within [0, 1], and the CSV has a row
// for each order.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include "bounds/union_bounds.h"
#include "union_bounds/prob_file.h"
#include "union_bounds/report.h"

namespace {

using namespace intersections;

[[noreturn]] void fail(const char* what, std::int32_t n, const OrderBounds& row) {
  std::fprintf(stderr, "fuzz_union_bounds: %s at order %d of n = %d: lower %s, upper %s\n", what,
               row.order, n, row.lower.get_str().c_str(), row.upper.get_str().c_str());
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::int32_t n = 1 + data[0] % 8;
  const std::optional<std::uint32_t> halfWidths[] = {std::nullopt, 0u, 1u, 500000u};
  const std::optional<std::uint32_t> halfWidth = halfWidths[data[0] / 8 % 4];
  const int descriptor = memfd_create("prob.txt", MFD_CLOEXEC);
  if (descriptor < 0) __builtin_trap();
  if (size > 1 && write(descriptor, data + 1, size - 1) != static_cast<ssize_t>(size - 1))
    __builtin_trap();
  lseek(descriptor, 0, SEEK_SET);

  std::vector<OrderBounds> rows;
  ProbFile file;
  try {
    file = readProbFile(descriptor, "prob.txt", n, 2, halfWidth);
    rows = unionBounds(file.observations);
  } catch (const ProbFileError&) {
    close(descriptor);
    return 0;
  } catch (const InconsistentValues&) {
    close(descriptor);
    return 0;
  }
  close(descriptor);

  if (rows.empty() || rows.size() != file.observations.orders.size()) __builtin_trap();
  for (const OrderBounds& row : rows) {
    mpq_class lowest = row.lower, highest = row.upper;
    if (row.deCaen) lowest = std::max(lowest, *row.deCaen);
    if (row.hunterWorsley) highest = std::min(highest, *row.hunterWorsley);
    if (lowest > highest) fail("crossing bounds", n, row);
    if (row.lower < 0 || row.upper > 1) fail("bounds outside [0, 1]", n, row);
  }
  std::ostringstream csv, table;
  writeCsv(csv, rows);
  const std::string text = csv.str();
  if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) != rows.size() + 1)
    __builtin_trap();
  writeTable(table, {"prob.txt", n, file.lines}, rows, KnownUnion{"0.5", mpq_class(1, 2)});
  return 0;
}
