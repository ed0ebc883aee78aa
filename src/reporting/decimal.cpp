#include "reporting/decimal.h"

#include <cstdlib>
#include <stdexcept>

#include "common/message_text.h"
#include "common/options.h"
#include "lines/units.h"

namespace intersections {

namespace {

mpz_class powerOfTen(unsigned long exponent) {
  mpz_class power;
  mpz_ui_pow_ui(power.get_mpz_t(), 10, exponent);
  return power;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string formatFixed(const mpq_class& value, int decimals, Rounding rounding) {
  if (decimals < 1) throw std::invalid_argument("formatFixed: at least one decimal");
  const mpz_class scale = powerOfTen(static_cast<unsigned long>(decimals));
  const mpz_class numerator = value.get_num() * scale;
  const mpz_class& denominator = value.get_den();
  mpz_class scaled;
  switch (rounding) {
    case Rounding::down:
      mpz_fdiv_q(scaled.get_mpz_t(), numerator.get_mpz_t(), denominator.get_mpz_t());
      break;
    case Rounding::up:
      mpz_cdiv_q(scaled.get_mpz_t(), numerator.get_mpz_t(), denominator.get_mpz_t());
      break;
    case Rounding::nearest: {
      // |value| * scale + 1/2, truncated, with the sign put back.
      const mpz_class twice = 2 * abs(numerator) + denominator;
      const mpz_class twiceDenominator = 2 * denominator;
      mpz_fdiv_q(scaled.get_mpz_t(), twice.get_mpz_t(), twiceDenominator.get_mpz_t());
      if (sgn(numerator) < 0) scaled = -scaled;
      break;
    }
  }
  std::string digits = mpz_class(abs(scaled)).get_str();
  if (digits.size() <= static_cast<std::size_t>(decimals)) {
    digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
  }
  digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
  return sgn(scaled) < 0 ? "-" + digits : digits;
}

std::optional<mpq_class> parseDecimal(const std::string& text) {
  std::size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  std::string digits;
  long long decimals = 0;
  bool point = false;
  for (; at < text.size(); ++at) {
    if (isDigit(text[at])) {
      digits += text[at];
      if (point) ++decimals;
    } else if (text[at] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits.empty()) return std::nullopt;
  // Any number of exponent digits; beyond this its value no longer matters,
  // since the limit is far below it whatever the number of decimals.
  constexpr long long hugeExponent = 1000000000000;
  long long exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    bool negativeExponent = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
      negativeExponent = text[at++] == '-';
    const std::size_t first = at;
    for (; at < text.size() && isDigit(text[at]); ++at) {
      if (exponent < hugeExponent) exponent = exponent * 10 + (text[at] - '0');
    }
    if (at == first) return std::nullopt;
    if (negativeExponent) exponent = -exponent;
  }
  if (at != text.size()) return std::nullopt;
  const std::size_t last = digits.find_last_not_of('0');
  if (last == std::string::npos) return mpq_class(0);
  // The value is digits * 10^exponent with no trailing zero in the digits.
  exponent += static_cast<long long>(digits.size() - 1 - last) - decimals;
  digits.resize(last + 1);
  if (exponent > decimalExponentLimit || exponent < -decimalExponentLimit) return std::nullopt;
  mpq_class value{mpz_class(digits, 10)};
  if (exponent >= 0) {
    value *= powerOfTen(static_cast<unsigned long>(exponent));
  } else {
    value /= powerOfTen(static_cast<unsigned long>(-exponent));
  }
  value.canonicalize();
  return negative ? -value : value;
}

std::uint32_t parseHalfWidth(const std::string& text) {
  const std::optional<mpq_class> value = parseDecimal(text);
  if (!value || *value < 0 || *value > 1) {
    throw UsageError("--delta takes a half-width, a decimal number from 0 to 1, not \"" +
                     shownText(text) + "\"");
  }
  mpz_class units;
  const mpq_class scaled = *value * unitsPerOne;
  mpz_cdiv_q(units.get_mpz_t(), scaled.get_num_mpz_t(), scaled.get_den_mpz_t());
  return static_cast<std::uint32_t>(units.get_ui());
}

}  // namespace intersections
