// Reads arbitrary bytes as a probability file and computes its bounds: the
// first byte chooses n from 1 to 8, the event bounded, at least r of the n
// events with r from 1 (the union) to n, and the half-width of the lines (one
// unit of their last decimal, or --delta 0, 10^-9 or 5 * 10^-4); the rest is
// the file. Either the
// reader or the bounds refuse it with their error, or the CSV has a row for
// each order and the bounds hold together: every lower bound printed is at
// most every upper bound printed, the sharp ones within [0, 1], kat at least
// de_caen, cherry at most hunter_worsley, the union's own bounds only for the
// union, and the lines of order 3 the cherry tree picks give the bound that
// all of them give. On up to 6 events the Boolean bounds of every order,
// unless they find that the values fit no space, do not cross. Every
// optimum and every infeasible order of the linear program is checked exactly on the way; a failed
// check throws std::logic_error, which no handler here takes, so it ends the run as a crash.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include "bounds/cherry_bound.h"
#include "bounds/order_bounds.h"
#include "lines/prob_file.h"
#include "union_bounds/report.h"

namespace {

using namespace intersections;

[[noreturn]] void fail(const char* what, std::int32_t n, std::int32_t r, const OrderBounds& row) {
  std::fprintf(stderr, "fuzz_union_bounds: %s at order %d of n = %d, r = %d: lower %s, upper %s\n",
               what, row.order, n, r, row.lower.get_str().c_str(), row.upper.get_str().c_str());
  __builtin_trap();
}

// The file's bounds for `request`, read keeping the lines of `keep`, or
// nothing when it is refused.
std::optional<std::vector<OrderBounds>> bounds(int descriptor, std::int32_t n,
                                               const BoundsRequest& request,
                                               const LineSelection& keep,
                                               std::optional<std::uint32_t> halfWidth,
                                               ProbFile& file) {
  lseek(descriptor, 0, SEEK_SET);
  try {
    file = readProbFile(descriptor, "prob.txt", n, keep, halfWidth);
    return boundsByOrder(file.observations, request);
  } catch (const ProbFileError&) {
    return std::nullopt;
  } catch (const InconsistentValues&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::int32_t n = 1 + data[0] % 8;
  const std::int32_t r = 1 + (data[0] / 8) % n;
  const std::optional<std::uint32_t> halfWidths[] = {std::nullopt, 0u, 1u, 500000u};
  const std::optional<std::uint32_t> halfWidth = halfWidths[data[0] / 64 % 4];
  const int descriptor = memfd_create("prob.txt", MFD_CLOEXEC);
  if (descriptor < 0) __builtin_trap();
  if (size > 1 && write(descriptor, data + 1, size - 1) != static_cast<ssize_t>(size - 1))
    __builtin_trap();

  ProbFile file, full;
  const BoundsRequest request{r, 0, 0, {}};
  const auto rows = bounds(descriptor, n, request, linesNeeded(request), halfWidth, file);
  // All the lines of order 3 kept: the same verdict, and the same bounds.
  const auto allRows = r == 1 ? bounds(descriptor, n, request, {3, {}}, halfWidth, full) : rows;
  // With every order kept, the Boolean bounds of every order on a few
  // events: they may find values that fit no space, else they do not cross.
  ProbFile every;
  const BoundsRequest everyOrder{r, n, 0, {}};
  const auto booleanRows =
      rows && n <= 6 ? bounds(descriptor, n, everyOrder, linesNeeded(everyOrder), halfWidth, every)
                     : std::nullopt;
  close(descriptor);
  if (rows.has_value() != allRows.has_value()) __builtin_trap();
  if (!rows) return 0;

  if (rows->empty() || rows->size() != file.observations.orders.size()) __builtin_trap();
  for (std::size_t k = 0; k < rows->size(); ++k) {
    const OrderBounds& row = (*rows)[k];
    if (row.cherry != (*allRows)[k].cherry) fail("cherry differs with all lines", n, r, row);
    mpq_class lowest = row.lower, highest = row.upper;
    for (const auto& lower : {row.deCaen, row.kat, row.gallotKounias}) {
      if (lower) lowest = std::max(lowest, *lower);
    }
    for (const auto& upper : {row.hunterWorsley, row.cherry}) {
      if (upper) highest = std::min(highest, *upper);
    }
    if (lowest > highest) fail("crossing bounds", n, r, row);
    if (row.lower < 0 || row.upper > 1) fail("bounds outside [0, 1]", n, r, row);
    if (row.kat && *row.kat < *row.deCaen) fail("kat below de_caen", n, r, row);
    if (row.gallotKounias && *row.gallotKounias < *row.deCaen)
      fail("gallot_kounias below de_caen", n, r, row);
    if (row.cherry && *row.cherry > *row.hunterWorsley)
      fail("cherry above hunter_worsley", n, r, row);
    const bool unionOnes =
        row.hunterWorsley || row.deCaen || row.kat || row.gallotKounias || row.cherry;
    if (unionOnes != (r == 1 && row.order >= 2)) fail("the union's bounds", n, r, row);
  }
  if (booleanRows) {
    if (booleanRows->size() != rows->size()) __builtin_trap();
    for (std::size_t k = 0; k < rows->size(); ++k) {
      const OrderBounds& row = (*booleanRows)[k];
      if (!row.booleanLower || !row.booleanUpper) fail("no Boolean bounds", n, r, row);
      if (*row.booleanLower > *row.booleanUpper) fail("crossing Boolean bounds", n, r, row);
    }
  }
  std::ostringstream csv, table;
  writeCsv(csv, *rows);
  const std::string text = csv.str();
  if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) != rows->size() + 1)
    __builtin_trap();
  writeTable(table, {"prob.txt", n, file.lines, r}, *rows, KnownUnion{"0.5", mpq_class(1, 2)});
  return 0;
}
