#pragma once

#include <array>
#include <cstddef>
#include <string>

// A second, independent formatter of probabilities, for the tests and the
// fuzz target. It builds the exact decimal expansion of the double with
// big-integer arithmetic (base 10^9 limbs) and applies the two roundings with
// plain integer arithmetic on the digits, so it shares nothing with the
// program's path (which reads digits from std::to_chars).
namespace testing_support {

// The first significant digits of a finite, positive double's exact value
// (truncated; zeros past the end of its expansion), and the power of ten of
// the first one: value = digit[0].digit[1]digit[2]... * 10^exponent.
struct LeadingDigits {
  static constexpr std::size_t most = 40;
  std::array<int, most> digit{};
  int exponent = 0;
};
// The first `count` (at most LeadingDigits::most) digits of `magnitude`.
LeadingDigits leadingDigits(double magnitude, std::size_t count);

// Room enough for the text of any double.
inline constexpr std::size_t referenceTextRoom = 330;

// The text of `value` under the two-step rule (17 significant digits, then
// nine decimals, each half away from zero), written to `out` (room for
// referenceTextRoom characters); returns its length.
std::size_t referenceFormat(double value, char* out);
std::string referenceText(double value);

}  // namespace testing_support
