#include "AttributeValues.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <visa.h>

namespace hnvqr::tool {
namespace {

// The one number grammar of the command line, for every numeric operand and option:
//   [+|-] digits [. digits] [(e|E) [+|-] digits]    (a fraction may also start with the point)
//   [+|-] (0x|0X) hexdigits                        (a whole number)
// No blanks, no infinities, no NaN. A decimal that underflows reads as the nearest double
// (0 or a subnormal); one that overflows is refused, as is a hexadecimal beyond 64 bits.
std::optional<double> parse_number_text(std::string_view text) {
  std::size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  if (text.size() - at > 2 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    const std::string_view digits = text.substr(at + 2);
    unsigned long long magnitude = 0;
    for (const char c : digits) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
      const unsigned digit = is_digit(c)
                                 ? static_cast<unsigned>(c - '0')
                                 : static_cast<unsigned>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
      if (magnitude > (ULLONG_MAX >> 4)) return std::nullopt;
      magnitude = (magnitude << 4) | digit;
    }
    const double value = static_cast<double>(magnitude);
    return negative ? -value : value;
  }
  std::size_t digits = 0;
  while (at < text.size() && is_digit(text[at])) ++at, ++digits;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && is_digit(text[at])) ++at, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    std::size_t exponent_digits = 0;
    while (at < text.size() && is_digit(text[at])) ++at, ++exponent_digits;
    if (exponent_digits == 0) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  const std::string copy(text);
  errno = 0;
  const double value = std::strtod(copy.c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

// A number of the grammar above that is whole and within [minimum, maximum].
std::optional<long long> parse_whole(std::string_view text, long long minimum, long long maximum) {
  const std::optional<double> number = parse_number_text(text);
  if (!number || std::trunc(*number) != *number) return std::nullopt;
  if (*number < static_cast<double>(minimum) || *number > static_cast<double>(maximum)) return std::nullopt;
  return static_cast<long long>(*number);
}

std::string format_real(ViReal64 number) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%.15g", number);
  return text.data();
}

}  // namespace

std::string lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::optional<double> parse_number(std::string_view text) { return parse_number_text(text); }

std::optional<long long> parse_whole_number(std::string_view text, long long minimum, long long maximum) {
  return parse_whole(text, minimum, maximum);
}

std::optional<ViBoolean> parse_boolean(std::string_view text) {
  const std::string word = lower(text);
  if (word == "on" || word == "true" || word == "1") return VI_TRUE;
  if (word == "off" || word == "false" || word == "0") return VI_FALSE;
  return std::nullopt;
}

std::optional<AttributeValue> parse_value(const AttributeInfo& attribute, std::string_view text) {
  switch (attribute.type) {
    case ValueType::Int32: {
      if (const std::optional<ViInt32> named = find_enum_value(attribute, text)) return *named;
      if (const std::optional<long long> number = parse_whole(text, INT32_MIN, INT32_MAX)) {
        return static_cast<ViInt32>(*number);
      }
      return std::nullopt;
    }
    case ValueType::Real64:
      if (const std::optional<double> number = parse_number_text(text)) return *number;
      return std::nullopt;
    case ValueType::Boolean:
      if (const std::optional<ViBoolean> flag = parse_boolean(text)) return *flag;
      return std::nullopt;
    case ValueType::Session: {
      if (const std::optional<long long> number = parse_whole(text, 0, UINT32_MAX)) {
        return static_cast<ViSession>(*number);
      }
      return std::nullopt;
    }
    case ValueType::String:
      return std::string(text);
  }
  return std::nullopt;
}

std::string format_value(const AttributeInfo& attribute, const AttributeValue& value) {
  switch (attribute.type) {
    case ValueType::Int32: {
      const ViInt32 number = std::get<ViInt32>(value);
      if (const std::optional<std::string_view> name = enum_value_name(attribute, number)) {
        return std::string(*name);
      }
      return std::to_string(number);
    }
    case ValueType::Real64:
      return format_real(std::get<ViReal64>(value));
    case ValueType::Boolean:
      return std::get<ViBoolean>(value) != VI_FALSE ? "true" : "false";
    case ValueType::Session:
      return std::to_string(std::get<ViSession>(value));
    case ValueType::String:
      return std::get<std::string>(value);
  }
  return {};
}

ViStatus read_attribute(ViSession vi, const AttributeInfo& attribute, ViConstString channel, AttributeValue& value) {
  ViStatus status = VI_SUCCESS;
  switch (attribute.type) {
    case ValueType::Int32: {
      ViInt32 number = 0;
      status = HnVQR_GetAttributeViInt32(vi, channel, attribute.id, &number);
      value = number;
      break;
    }
    case ValueType::Real64: {
      ViReal64 number = 0.0;
      status = HnVQR_GetAttributeViReal64(vi, channel, attribute.id, &number);
      value = number;
      break;
    }
    case ValueType::Boolean: {
      ViBoolean flag = VI_FALSE;
      status = HnVQR_GetAttributeViBoolean(vi, channel, attribute.id, &flag);
      value = flag;
      break;
    }
    case ValueType::Session: {
      ViSession session = VI_NULL;
      status = HnVQR_GetAttributeViSession(vi, channel, attribute.id, &session);
      value = session;
      break;
    }
    case ValueType::String: {
      // A size of 0 asks for the size needed; values are always shorter than that.
      const ViStatus needed = HnVQR_GetAttributeViString(vi, channel, attribute.id, 0, nullptr);
      if (needed <= 0) return needed < 0 ? needed : VI_SUCCESS;
      std::vector<ViChar> buffer(static_cast<std::size_t>(needed) + 1, '\0');
      status =
          HnVQR_GetAttributeViString(vi, channel, attribute.id, static_cast<ViInt32>(buffer.size()), buffer.data());
      buffer.back() = '\0';
      value = std::string(buffer.data());
      break;
    }
  }
  return status;
}

ViStatus write_attribute(ViSession vi, const AttributeInfo& attribute, ViConstString channel,
                         const AttributeValue& value) {
  switch (attribute.type) {
    case ValueType::Int32:
      return HnVQR_SetAttributeViInt32(vi, channel, attribute.id, std::get<ViInt32>(value));
    case ValueType::Real64:
      return HnVQR_SetAttributeViReal64(vi, channel, attribute.id, std::get<ViReal64>(value));
    case ValueType::Boolean:
      return HnVQR_SetAttributeViBoolean(vi, channel, attribute.id, std::get<ViBoolean>(value));
    case ValueType::Session:
      return HnVQR_SetAttributeViSession(vi, channel, attribute.id, std::get<ViSession>(value));
    case ValueType::String:
      return HnVQR_SetAttributeViString(vi, channel, attribute.id, std::get<std::string>(value).c_str());
  }
  return VI_SUCCESS;
}

bool is_visa_status(ViStatus status) {
  const auto bits = static_cast<std::uint32_t>(status) & 0x3FFF0000u;
  return bits == 0x3FFF0000u;
}

std::string visa_description(ViStatus status) {
  std::array<ViChar, 256> text{};
  if (viStatusDesc(VI_NULL, status, text.data()) >= VI_SUCCESS) {
    text.back() = '\0';
    if (text.front() != '\0') return text.data();
  }
  std::array<char, 64> fallback{};
  std::snprintf(fallback.data(), fallback.size(), "VISA status 0x%08" PRIX32 ".", static_cast<std::uint32_t>(status));
  return fallback.data();
}

std::string describe_failure(ViSession vi, ViStatus status, std::string_view subject) {
  ViStatus recorded = VI_SUCCESS;
  const ViStatus needed = HnVQR_GetError(vi, &recorded, 0, nullptr);
  if (needed > 1) {
    std::vector<ViChar> description(static_cast<std::size_t>(needed), '\0');
    HnVQR_GetError(vi, &recorded, needed, description.data());
    description.back() = '\0';
    if (description.front() != '\0') return description.data();
  }
  // VISA statuses pass through the driver without a description of its own.
  if (is_visa_status(status)) return visa_description(status);
  // Some failures (unsupported trigger attributes) record nothing: the driver's message for
  // the code, with the subject in its empty quotes.
  std::array<ViChar, 256> message{};
  if (HnVQR_error_message(vi, status, message.data()) >= 0) {
    message.back() = '\0';
    std::string text = message.data();
    if (!text.empty()) {
      const std::size_t empty_quotes = text.find("''");
      if (empty_quotes != std::string::npos && !subject.empty()) text.insert(empty_quotes + 1, subject);
      return text;
    }
  }
  std::array<char, 96> fallback{};
  std::snprintf(fallback.data(), fallback.size(), "Status 0x%08" PRIX32 " (the driver has no description for it).",
                static_cast<std::uint32_t>(status));
  return fallback.data();
}

}  // namespace hnvqr::tool
