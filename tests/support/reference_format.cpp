#include "support/reference_format.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace testing_support {

namespace {

constexpr std::uint64_t limbBase = 1000000000;
using Big = std::vector<std::uint32_t>;  // base 10^9, least significant limb first

Big timesSmall(const Big& a, std::uint32_t factor) {
  Big result;
  result.reserve(a.size() + 1);
  std::uint64_t carry = 0;
  for (const std::uint32_t limb : a) {
    const std::uint64_t current = std::uint64_t{limb} * factor + carry;
    result.push_back(static_cast<std::uint32_t>(current % limbBase));
    carry = current / limbBase;
  }
  while (carry != 0) {
    result.push_back(static_cast<std::uint32_t>(carry % limbBase));
    carry /= limbBase;
  }
  return result;
}

// 5^k for every negative binary exponent of a double (down to -1074) and 2^k
// for every positive one (up to 971).
struct PowerTables {
  std::vector<Big> five;
  std::vector<Big> two;
  PowerTables() {
    five.push_back(Big{1});
    for (int k = 1; k <= 1074; ++k) five.push_back(timesSmall(five.back(), 5));
    two.push_back(Big{1});
    for (int k = 1; k <= 971; ++k) two.push_back(timesSmall(two.back(), 2));
  }
};

const PowerTables& powerTables() {
  static const PowerTables tables;
  return tables;
}

}  // namespace

LeadingDigits leadingDigits(double magnitude, std::size_t count) {
  const std::size_t wanted = count < LeadingDigits::most ? count : LeadingDigits::most;
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52) & 0x7ff;
  std::uint64_t significand = bits & ((std::uint64_t{1} << 52) - 1);
  int binaryExponent = -1074;
  if (biased != 0) {
    significand |= std::uint64_t{1} << 52;
    binaryExponent = biased - 1075;
  }
  // magnitude = significand * 2^e. For e < 0 that is significand * 5^-e
  // divided by 10^-e: the digits of an integer with the point -e places from
  // the right.
  const PowerTables& tables = powerTables();
  const Big& factor = binaryExponent >= 0 ? tables.two[static_cast<std::size_t>(binaryExponent)]
                                          : tables.five[static_cast<std::size_t>(-binaryExponent)];
  const int pointFromRight = binaryExponent >= 0 ? 0 : -binaryExponent;

  // significand < 2^53 is split into two base 10^9 limbs so that every
  // partial product fits in 64 bits.
  const std::uint64_t low = significand % limbBase;
  const std::uint64_t high = significand / limbBase;
  std::array<std::uint64_t, 100> product{};
  const std::size_t size = factor.size();
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t current = factor[i] * low + carry;
    product[i] = current % limbBase;
    carry = current / limbBase;
  }
  product[size] = carry;
  carry = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t current = product[i + 1] + factor[i] * high + carry;
    product[i + 1] = current % limbBase;
    carry = current / limbBase;
  }
  product[size + 1] = carry;
  std::size_t limbs = size + 2;
  while (limbs > 1 && product[limbs - 1] == 0) --limbs;

  LeadingDigits result;
  std::size_t filled = 0;
  int topDigits[10];
  int topCount = 0;
  for (std::uint64_t v = product[limbs - 1]; v != 0; v /= 10)
    topDigits[topCount++] = static_cast<int>(v % 10);
  for (int i = topCount - 1; i >= 0 && filled < wanted; --i) result.digit[filled++] = topDigits[i];
  for (std::size_t limb = limbs - 1; limb-- > 0 && filled < wanted;) {
    int digits[9];
    std::uint64_t v = product[limb];
    for (int i = 8; i >= 0; --i) {
      digits[i] = static_cast<int>(v % 10);
      v /= 10;
    }
    for (int i = 0; i < 9 && filled < wanted; ++i) result.digit[filled++] = digits[i];
  }
  result.exponent = 9 * static_cast<int>(limbs - 1) + topCount - 1 - pointFromRight;
  return result;
}

namespace {

// Appends the decimal digits of `v` (at least one) to `out`.
std::size_t appendInteger(std::uint64_t v, char* out) {
  char reversed[24];
  std::size_t count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  for (std::size_t i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
  return count;
}

}  // namespace

std::size_t referenceFormat(double value, char* out) {
  if (std::isnan(value)) {
    std::memcpy(out, "nan", 3);
    return 3;
  }
  std::size_t length = 0;
  if (std::signbit(value)) out[length++] = '-';
  const double magnitude = std::fabs(value);
  if (std::isinf(magnitude)) {
    std::memcpy(out + length, "inf", 3);
    return length + 3;
  }
  if (magnitude == 0.0) {
    std::memcpy(out + length, "0.000000000", 11);
    return length + 11;
  }

  const LeadingDigits exact = leadingDigits(magnitude, 18);
  // First step: 17 significant digits, up when the 18th is 5 or more.
  std::uint64_t kept = 0;
  for (std::size_t i = 0; i < 17; ++i)
    kept = kept * 10 + static_cast<std::uint64_t>(exact.digit[i]);
  int exponent = exact.exponent;  // the rounded value is kept * 10^(exponent - 16)
  if (exact.digit[17] >= 5 && ++kept == 100000000000000000ULL) {
    kept = 10000000000000000ULL;
    ++exponent;
  }
  // Second step: value * 10^9 = kept * 10^(exponent - 7), cut to an integer,
  // up when the first digit cut off is 5 or more.
  char scaled[referenceTextRoom];
  std::size_t scaledLength;
  const int shift = exponent - 7;
  if (shift >= 0) {
    scaledLength = appendInteger(kept, scaled);
    std::memset(scaled + scaledLength, '0', static_cast<std::size_t>(shift));
    scaledLength += static_cast<std::size_t>(shift);
  } else {
    std::uint64_t truncated = 0;
    std::uint64_t next = 0;
    const int cut = -shift;
    if (cut <= 17) {
      std::uint64_t power = 1;
      for (int i = 1; i < cut; ++i) power *= 10;  // 10^(cut - 1)
      next = kept / power % 10;
      truncated = kept / power / 10;
    }
    if (next >= 5) ++truncated;
    scaledLength = appendInteger(truncated, scaled);
  }
  // At least one digit before the point.
  if (scaledLength < 10) {
    const std::size_t pad = 10 - scaledLength;
    std::memmove(scaled + pad, scaled, scaledLength);
    std::memset(scaled, '0', pad);
    scaledLength = 10;
  }
  const std::size_t before = scaledLength - 9;
  std::memcpy(out + length, scaled, before);
  length += before;
  out[length++] = '.';
  std::memcpy(out + length, scaled + before, 9);
  return length + 9;
}

std::string referenceText(double value) {
  char buffer[referenceTextRoom];
  return std::string(buffer, referenceFormat(value, buffer));
}

}  // namespace testing_support
