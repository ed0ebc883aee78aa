#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "evaluation/line_format.h"
#include "lines/units.h"

namespace intersections {

// The value in units of the line at `p` when its first probabilityLineLength
// bytes are a line as intersections writes it for a value from 0 to 1,
// "d.ddddddddd\r\n" with d.ddddddddd at most 1; -1 when they are anything
// else. Reads exactly those bytes, eight digits at a time.
inline std::int64_t probabilityLineValue(const char* p) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if ((p[0] != '0' && p[0] != '1') || p[1] != '.' || !isDigit(p[10]) || p[11] != lineEnd[0] ||
      p[12] != lineEnd[1]) {
    return -1;
  }
  std::uint64_t eight;
  std::memcpy(&eight, p + 2, 8);
  // All eight bytes are '0'..'9' exactly when each high nibble is 3 and adding
  // 6 to each byte does not carry into the high nibble.
  constexpr std::uint64_t high = 0xF0F0F0F0F0F0F0F0u;
  if (((eight & high) | (((eight + 0x0606060606060606u) & high) >> 4)) != 0x3333333333333333u)
    return -1;
  // The first byte is the most significant digit (little-endian load): join
  // the digits in pairs, then fours, then all eight.
  static_assert(std::endian::native == std::endian::little, "the digits are joined little-endian");
  eight = ((eight & 0x0F0F0F0F0F0F0F0Fu) * 2561) >> 8;
  eight = ((eight & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
  eight = ((eight & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32;
  const std::int64_t value = std::int64_t{p[0] - '0'} * unitsPerOne +
                             static_cast<std::int64_t>(eight) * 10 + (p[10] - '0');
  return value <= unitsPerOne ? value : -1;
}

// A line that is no value from 0 to 1; the message says why, without the
// place of the line.
struct LineTextError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What one line says: its value, rounded to the nearest unit, and the
// interval the true value lies in, cut to [0, 1].
struct LineReading {
  std::uint32_t value;
  UnitInterval interval;
};

// Reads the text of a line without its line end: an optional '-', digits,
// and optionally a point and at least one digit, of a value from 0 to 1. The
// true value lies within one unit of the last decimal of it (10^-d for d
// decimals; for d > 9 the interval is rounded outwards to whole units), or,
// with `halfWidth` (in units), within that of it. Throws LineTextError for
// any other text: '"<text>" is not a number in fixed notation' or '<text> is
// not a probability' (negative, -0.000000000 included, or above 1).
LineReading readLineText(const char* begin, const char* end,
                         std::optional<std::uint32_t> halfWidth = std::nullopt);

// Whether [begin, end) can start a line that readLineText takes (text cut
// before its end), or is such a text followed by '\r'.
bool startsLineText(const char* begin, const char* end);

}  // namespace intersections
