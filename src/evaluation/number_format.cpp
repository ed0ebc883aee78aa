#include "evaluation/number_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace intersections {

namespace {

constexpr int keptDigits = 17;  // significant digits kept by the first rounding
constexpr int decimals = 9;

// The exact decimal expansion of a finite double has at most 767 significant
// digits; asking for more makes std::to_chars pad with zeros, never round.
constexpr int exactPrecision = 780;
// A cheaper first try: 40 digits, rounded by to_chars. Rounding adds at most
// one unit to digit 40, which reaches digit 18 only when digits 19 to 40 of
// the exact value are all 9, and then shows them all as 0. So unless digits
// 19 to 40 all read 0, the first 18 digits are the exact ones.
constexpr int quickPrecision = 39;

struct Digits {
  std::array<char, keptDigits> digit;  // '0'..'9', leading digit nonzero
  int exponent;                        // value = d.ddd... * 10^exponent
};

// The first 18 significant digits of the exact expansion of positive finite
// `magnitude`, truncated, then rounded half up to 17.
Digits roundTo17(double magnitude) {
  std::array<char, exactPrecision + 16> text;
  auto scientific = [&](int precision) {
    const auto result = std::to_chars(text.data(), text.data() + text.size(), magnitude,
                                      std::chars_format::scientific, precision);
    return result.ptr;
  };
  char* end = scientific(quickPrecision);
  // text is "d.ddd...e+XX": mantissa digits at 0 and 2..precision+1.
  bool carryPossible = true;
  for (std::size_t k = 18; k <= quickPrecision; ++k) {
    if (text[k + 1] != '0') {
      carryPossible = false;
      break;
    }
  }
  if (carryPossible) end = scientific(exactPrecision);

  const char* e = static_cast<const char*>(
      std::memchr(text.data(), 'e', static_cast<std::size_t>(end - text.data())));
  int exponent = 0;
  std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);

  Digits d{};
  d.digit[0] = text[0];
  for (std::size_t k = 1; k < keptDigits; ++k) d.digit[k] = text[k + 1];
  d.exponent = exponent;
  if (text[keptDigits + 1] >= '5') {
    // k is signed so that it can run past the first digit, to -1.
    int k = keptDigits - 1;
    while (k >= 0 && d.digit[static_cast<std::size_t>(k)] == '9')
      d.digit[static_cast<std::size_t>(k--)] = '0';
    if (k >= 0) {
      ++d.digit[static_cast<std::size_t>(k)];
    } else {
      d.digit[0] = '1';  // 99...9 became 100...0: one more digit before the point
      ++d.exponent;
    }
  }
  return d;
}

}  // namespace

std::size_t writeProbability(double value, char* out) {
  char* p = out;
  if (std::isnan(value)) {
    std::memcpy(p, "nan", 3);
    return 3;
  }
  if (std::signbit(value)) *p++ = '-';
  const double magnitude = std::fabs(value);
  if (std::isinf(magnitude)) {
    std::memcpy(p, "inf", 3);
    return static_cast<std::size_t>(p + 3 - out);
  }
  if (magnitude == 0.0) {
    std::memcpy(p, "0.000000000", 11);
    return static_cast<std::size_t>(p + 11 - out);
  }

  const Digits d = roundTo17(magnitude);
  // Digit k of the rounded value stands for 10^(exponent - k); digits past
  // the 17th are 0. The integer value * 10^9, truncated, is made of the
  // digits k = 0 .. exponent + 9, and digit exponent + 10 decides the
  // rounding of the last decimal.
  auto digitAt = [&](int k) {
    return k >= 0 && k < keptDigits ? d.digit[static_cast<std::size_t>(k)] : '0';
  };
  const int last = d.exponent + decimals;
  // Scaled digits, most significant first, with room for a carry in front and
  // at least ten digits so that one stands before the point.
  std::array<char, 1 + 309 + decimals + 2> scaled;
  const int count = last + 1 > decimals + 1 ? last + 1 : decimals + 1;
  const int lead = count - (last + 1);  // zeros in front of digit 0
  scaled[0] = '0';
  for (int i = 0; i < count; ++i)
    scaled[1 + static_cast<std::size_t>(i)] = i < lead ? '0' : digitAt(i - lead);
  if (digitAt(last + 1) >= '5') {
    // Stops at scaled[0] at the latest, which is '0'.
    auto i = static_cast<std::size_t>(count);
    while (scaled[i] == '9') scaled[i--] = '0';
    ++scaled[i];
  }
  const char* first = scaled[0] == '0' ? scaled.data() + 1 : scaled.data();
  const char* stop = scaled.data() + 1 + count;
  const char* point = stop - decimals;
  std::memcpy(p, first, static_cast<std::size_t>(point - first));
  p += point - first;
  *p++ = '.';
  std::memcpy(p, point, decimals);
  p += decimals;
  return static_cast<std::size_t>(p - out);
}

std::string formatProbability(double value) {
  char buffer[maxProbabilityLength];
  return std::string(buffer, writeProbability(value, buffer));
}

}  // namespace intersections
