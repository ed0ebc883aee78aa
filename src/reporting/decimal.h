#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>

namespace intersections {

enum class Rounding { down, up, nearest };

// `value` in fixed notation with exactly `decimals` decimals (at least 1),
// rounded as asked: down (towards minus infinity), up (towards plus
// infinity), or to the nearest, halves away from zero. A minus sign only
// before a value that is negative after rounding.
std::string formatFixed(const mpq_class& value, int decimals, Rounding rounding);

// How far parseDecimal lets a value reach from the point: 10^-1000000 is the
// smallest value above 0 that it gives, and 10^1000000 the largest power of ten.
inline constexpr long decimalExponentLimit = 1000000;

// The exact value of a decimal number: an optional sign, digits with an
// optional point (at least one digit in all), and an optional exponent
// (e or E, an optional sign, digits). Nothing else, not even blanks. Nothing
// either for a value other than 0 whose exponent, once the trailing zeros of
// its digits are moved into it, lies beyond +-decimalExponentLimit: such a
// value has more than a million decimals, or a million zeros before the
// point, and its exact form would take megabytes.
std::optional<mpq_class> parseDecimal(const std::string& text);

// The value of --delta: a decimal D from 0 to 1 as a half-width in units of
// 10^-9, rounded up so that every true value stays inside its interval.
// Throws UsageError for anything else.
std::uint32_t parseHalfWidth(const std::string& text);

}  // namespace intersections
