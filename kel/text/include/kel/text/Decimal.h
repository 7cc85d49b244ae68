// Decimal integer readers that never overflow: a value that does not fit is reported, not
// wrapped or left to undefined behaviour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kel::text {

enum class DecimalStatus {
  kOk,
  kInvalid,   // no digits, or a character that is not a digit where only digits may be
  kOverflow,  // the digits name a number outside the target type
};

// Parses a text made only of decimal digits (at least one; leading zeros allowed, no sign,
// no blanks). `value` is written only when the status is kOk.
DecimalStatus ParseDigits(std::string_view digits, std::int32_t& value);
DecimalStatus ParseDigits(std::string_view digits, std::int64_t& value);

// Reads a number the way C's strtoll does in base 10: leading white space (\s), an optional
// '+' or '-', then digits up to the first character that is not one. Text after the digits
// is left for the caller.
struct LeadingInteger {
  DecimalStatus status = DecimalStatus::kInvalid;
  // The number; on overflow the nearest limit of int64 (as strtoll gives it); 0 when invalid.
  std::int64_t value = 0;
  // Characters consumed (white space, sign and all digits); 0 when invalid.
  std::size_t length = 0;
};
LeadingInteger ReadLeadingInteger(std::string_view text);

}  // namespace kel::text
