// Checks writeProbability against a slow formatter that works on the exact
// decimal expansion of the double, built with long multiplication from the
// significand and the binary exponent.
//
// Input: 8 bytes give the bits of the double (shorter inputs are padded with
// zeros). A ninth byte, when present, picks how the double is made, so that
// the fuzzer reaches the ranges where the two roundings interact more often
// than random bit patterns would:
//   0  the raw bits
//   1  the raw significand with a binary exponent between -48 and 63
//   2  a 64-bit integer divided by 2^k (short exact expansions)
//   3  k copies of P / (2n) added one after another, as the program does

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "evaluation/number_format.h"

namespace {

// A non-negative integer in base 10^9, least significant limb first.
class BigDecimal {
 public:
  explicit BigDecimal(std::uint64_t value) {
    do {
      limbs_.push_back(static_cast<std::uint32_t>(value % base));
      value /= base;
    } while (value != 0);
  }

  // factor < 2^32, so limb * factor + carry < 10^9 * 2^32 + 2^32 < 2^63.
  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t product = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(product % base);
      carry = product / base;
    }
    while (carry != 0) {
      limbs_.push_back(static_cast<std::uint32_t>(carry % base));
      carry /= base;
    }
  }

  void multiplyByPowerOf2(int exponent) {
    for (; exponent >= 30; exponent -= 30) multiply(std::uint32_t{1} << 30);
    if (exponent > 0) multiply(std::uint32_t{1} << exponent);
  }

  void multiplyByPowerOf5(int exponent) {
    for (; exponent >= 13; exponent -= 13) multiply(1220703125u);  // 5^13
    std::uint32_t rest = 1;
    for (; exponent > 0; --exponent) rest *= 5;
    multiply(rest);
  }

  // Decimal digits, most significant first, without leading zeros.
  std::string digits() const {
    std::string text = std::to_string(limbs_.back());
    for (std::size_t i = limbs_.size() - 1; i-- > 0;) {
      std::string limb = std::to_string(limbs_[i]);
      text.append(9 - limb.size(), '0');
      text += limb;
    }
    return text;
  }

 private:
  static constexpr std::uint64_t base = 1000000000;
  std::vector<std::uint32_t> limbs_;
};

// Adds one unit in the last place of a string of decimal digits. Returns
// true when the carry ran out of the front ("999" became "000").
bool incrementDigits(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  return true;
}

std::string referenceFormat(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::string sign = negative ? "-" : "";
  if (biased == 0x7ff) return fraction != 0 ? "nan" : sign + "inf";
  if (biased == 0 && fraction == 0) return sign + "0.000000000";

  // |value| = significand * 2^exponent exactly.
  const std::uint64_t significand = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int exponent = biased == 0 ? -1074 : biased - 1075;

  // |value| = digits * 10^-scale, with the digits of an integer.
  BigDecimal number(significand);
  int scale = 0;
  if (exponent >= 0) {
    number.multiplyByPowerOf2(exponent);
  } else {
    // 2^-k = 5^k / 10^k
    number.multiplyByPowerOf5(-exponent);
    scale = -exponent;
  }
  std::string digits = number.digits();

  // First rounding: 17 significant digits, half away from zero on the 18th.
  if (digits.size() > 17) {
    const bool up = digits[17] >= '5';
    const int dropped = static_cast<int>(digits.size()) - 17;
    digits.resize(17);
    if (up && incrementDigits(digits)) digits.insert(digits.begin(), '1');
    scale -= dropped;
  }
  if (scale < 0) {
    digits.append(static_cast<std::size_t>(-scale), '0');
    scale = 0;
  }

  // Second rounding: keep nine decimals, half away from zero on the tenth.
  if (scale <= 9) {
    digits.append(static_cast<std::size_t>(9 - scale), '0');
  } else {
    const long keep = static_cast<long>(digits.size()) - (scale - 9);
    const char next = keep >= 0 ? digits[static_cast<std::size_t>(keep)] : '0';
    digits.resize(keep > 0 ? static_cast<std::size_t>(keep) : 0);
    if (digits.empty()) digits = "0";
    if (next >= '5' && incrementDigits(digits)) digits.insert(digits.begin(), '1');
  }
  if (digits.size() < 10) digits.insert(0, 10 - digits.size(), '0');
  // Leading zeros before the units digit go.
  std::size_t firstNonZero = 0;
  while (firstNonZero + 10 < digits.size() && digits[firstNonZero] == '0') ++firstNonZero;
  digits.erase(0, firstNonZero);
  digits.insert(digits.size() - 9, 1, '.');
  return sign + digits;
}

double bitsToDouble(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

double makeValue(const std::uint8_t* data, std::size_t size) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, data, size < 8 ? size : 8);
  if (size < 9) return bitsToDouble(bits);
  const std::uint8_t parameter = size > 9 ? data[9] : 0;
  switch (data[8] % 4) {
    default:
      return bitsToDouble(bits);
    case 1: {
      const std::uint64_t biased = static_cast<std::uint64_t>(1023 - 48 + parameter % 112);
      return bitsToDouble((bits & ~(std::uint64_t{0x7ff} << 52)) | (biased << 52));
    }
    case 2: {
      std::int64_t integer;
      std::memcpy(&integer, &bits, sizeof integer);
      double value = static_cast<double>(integer);
      for (int k = parameter % 64; k > 0; --k) value /= 2.0;
      return value;
    }
    case 3: {
      const double P = bitsToDouble(bits);
      const int n = 1 + parameter % 64;
      const int k = size > 10 ? data[10] % (2 * n + 1) : 2 * n;
      const double weight = P / static_cast<double>(2 * n);
      double sum = 0.0;
      for (int i = 0; i < k; ++i) sum += weight;
      return sum;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const double value = makeValue(data, size);
  // Exactly the room the interface promises, so that AddressSanitizer sees
  // any write past it.
  const auto buffer = std::make_unique<char[]>(intersections::maxProbabilityLength);
  const std::size_t length = intersections::writeProbability(value, buffer.get());
  const std::string expected = referenceFormat(value);
  const std::string actual(buffer.get(), length <= intersections::maxProbabilityLength
                                             ? length
                                             : intersections::maxProbabilityLength);
  if (length > intersections::maxProbabilityLength || actual != expected ||
      intersections::formatProbability(value) != expected) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    std::fprintf(stderr,
                 "writeProbability mismatch for %a (bits 0x%016llx)\n  expected: %s\n  actual:   "
                 "%s (length %zu)\n",
                 value, static_cast<unsigned long long>(bits), expected.c_str(), actual.c_str(),
                 length);
    __builtin_trap();
  }
  return 0;
}
