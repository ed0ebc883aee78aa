#pragma once

#include <gmpxx.h>

#include <optional>
#include <string>

namespace intersections {

enum class Rounding { down, up, nearest };

// `value` in fixed notation with exactly `decimals` decimals (at least 1),
// rounded as asked: down (towards minus infinity), up (towards plus
// infinity), or to the nearest, halves away from zero. A minus sign only
// before a value that is negative after rounding.
std::string formatFixed(const mpq_class& value, int decimals, Rounding rounding);

// The exact value of a decimal number: an optional sign, digits with an
// optional point (at least one digit in all), and an optional exponent
// (e or E, an optional sign, at most four digits). Nothing else, not even
// blanks.
std::optional<mpq_class> parseDecimal(const std::string& text);

}  // namespace intersections
