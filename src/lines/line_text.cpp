#include "lines/line_text.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "common/message_text.h"

namespace intersections {

namespace {

// The text of a line as a message shows it.
constexpr std::size_t longestShown = 40;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

struct Grammar {
  bool negative = false;
  const char* point = nullptr;  // the decimal point, if there is one
};

// Whether [begin, end) is an optional '-', digits, and optionally a point
// and digits ("0.25", "1", "0.000000001"); with `prefixOnly`, whether it is
// the beginning of such a text, or such a text and '\r'.
bool matchesNumber(const char* begin, const char* end, bool prefixOnly, Grammar& g) {
  if (prefixOnly && end > begin && end[-1] == '\r') {
    --end;  // a CR comes after a whole number only
    prefixOnly = false;
  }
  const char* p = begin;
  if (p < end && *p == '-') {
    g.negative = true;
    ++p;
  }
  const char* digits = p;
  while (p < end && isDigit(*p)) ++p;
  if (p == digits) return prefixOnly && p == end;
  if (p < end && *p == '.') {
    g.point = p++;
    const char* decimals = p;
    while (p < end && isDigit(*p)) ++p;
    if (p == decimals) return prefixOnly && p == end;
  }
  return p == end;
}

}  // namespace

bool startsLineText(const char* begin, const char* end) {
  Grammar g;
  return matchesNumber(begin, end, true, g);
}

LineReading readLineText(const char* begin, const char* end,
                         std::optional<std::uint32_t> halfWidth) {
  Grammar g;
  if (!matchesNumber(begin, end, false, g)) {
    throw LineTextError(
        "\"" +
        shownText(std::string_view(begin, static_cast<std::size_t>(end - begin)), longestShown) +
        "\" is not a number in fixed notation");
  }
  const char* whole = g.point != nullptr ? g.point : end;  // end of the digits before the point
  const char* lead = g.negative ? begin + 1 : begin;
  while (lead + 1 < whole && *lead == '0') ++lead;
  const char* decimals = g.point != nullptr ? g.point + 1 : end;
  const std::size_t places = static_cast<std::size_t>(end - decimals);
  const bool fraction = std::find_if(decimals, end, [](char c) { return c != '0'; }) != end;
  const bool aboveOne = whole - lead > 1 || *lead > '1' || (*lead == '1' && fraction);
  // "-0.000000000" is a negative value too small to show: still no probability.
  if (g.negative || aboveOne)
    throw LineTextError(std::string(begin, end) + " is not a probability");

  // x = (units + beyond) 10^-9 with `units` from the first nine decimals and
  // 0 <= beyond < 1 from the others, beyond > 0 exactly when one is not 0.
  std::int64_t units = std::int64_t{*lead - '0'} * unitsPerOne;
  std::int64_t place = unitsPerOne / 10;
  for (const char* d = decimals; d < end && place > 0; ++d, place /= 10)
    units += (*d - '0') * place;
  const bool beyond =
      places > 9 && std::find_if(decimals + 9, end, [](char c) { return c != '0'; }) != end;
  std::int64_t low, high;
  if (halfWidth) {
    // [x - D, x + D] with D = u units: x - D lies in [units - u, units - u + 1),
    // x + D in (units + u, units + u + 1] when beyond > 0; down and up to the grid.
    low = units - *halfWidth;
    high = units + *halfWidth + (beyond ? 1 : 0);
  } else if (places <= 9) {
    // One unit of the last decimal either side, a whole number of units.
    std::int64_t unit = 1;
    for (std::size_t i = places; i < 9; ++i) unit *= 10;
    low = units - unit;
    high = units + unit;
  } else {
    // Less than a unit either side: x - 10^-places is at least `units` when
    // beyond > 0 (then beyond >= 10^(9 - places)), else above units - 1; and
    // x + 10^-places is at most units + 1. Rounded outwards to the grid.
    low = beyond ? units : units - 1;
    high = units + 1;
  }
  // The value as the sums show it: x rounded to the nearest unit.
  const std::int64_t value = units + (places > 9 && decimals[9] >= '5' ? 1 : 0);
  const auto cut = [](std::int64_t u) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(u, 0, unitsPerOne));
  };
  return {cut(value), {cut(low), cut(high)}};
}

}  // namespace intersections
