// Checks writeProbability against the tests' reference formatter, which works
// on the exact decimal expansion of the double, built with long
// multiplication from the significand and the binary exponent.
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
#include "support/reference_format.h"

namespace {

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
  const std::string expected = testing_support::referenceText(value);
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
