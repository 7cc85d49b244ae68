#include "kel/text/Decimal.h"

#include <limits>

#include "kel/text/CharClasses.h"

namespace kel::text {
namespace {

// Accumulates digits into a non-negative value no larger than `limit`.
DecimalStatus AccumulateDigits(std::string_view digits, std::uint64_t limit, std::uint64_t& value) {
  if (digits.empty()) return DecimalStatus::kInvalid;
  std::uint64_t result = 0;
  bool overflow = false;
  for (char c : digits) {
    if (!IsDigit(c)) return DecimalStatus::kInvalid;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (!overflow && result > (limit - digit) / 10) overflow = true;
    if (!overflow) result = result * 10 + digit;
  }
  if (overflow) return DecimalStatus::kOverflow;
  value = result;
  return DecimalStatus::kOk;
}

template <typename Int>
DecimalStatus ParseDigitsAs(std::string_view digits, Int& value) {
  std::uint64_t result = 0;
  const DecimalStatus status =
      AccumulateDigits(digits, static_cast<std::uint64_t>(std::numeric_limits<Int>::max()), result);
  if (status == DecimalStatus::kOk) value = static_cast<Int>(result);
  return status;
}

}  // namespace

DecimalStatus ParseDigits(std::string_view digits, std::int32_t& value) { return ParseDigitsAs(digits, value); }

DecimalStatus ParseDigits(std::string_view digits, std::int64_t& value) { return ParseDigitsAs(digits, value); }

LeadingInteger ReadLeadingInteger(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t digitsStart = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  if (pos == digitsStart) return {};

  constexpr std::uint64_t kMaxMagnitude = std::numeric_limits<std::int64_t>::max();
  // The magnitude of int64's minimum is one more than that of its maximum.
  const std::uint64_t limit = negative ? kMaxMagnitude + 1 : kMaxMagnitude;
  std::uint64_t magnitude = 0;
  LeadingInteger result;
  result.length = pos;
  result.status = AccumulateDigits(text.substr(digitsStart, pos - digitsStart), limit, magnitude);
  if (result.status == DecimalStatus::kOverflow) {
    result.value = negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
  } else if (negative) {
    // 0 - magnitude in unsigned arithmetic, then into int64: exact for every magnitude up to
    // 2^63, including the minimum itself.
    result.value = static_cast<std::int64_t>(std::uint64_t{0} - magnitude);
  } else {
    result.value = static_cast<std::int64_t>(magnitude);
  }
  return result;
}

}  // namespace kel::text
