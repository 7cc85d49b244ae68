// Type-safe message formatting: printf-style texts with %s and %d, filled from C++ values.
// Arguments are never interpreted as formats, whatever they contain.
#pragma once

#include <concepts>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace kel {

// One message argument, held as its text. Numbers are written in decimal.
class MessageArg {
 public:
  MessageArg(std::string_view text) : text_(text) {}
  MessageArg(const char* text) : text_(text ? text : "") {}
  MessageArg(const std::string& text) : text_(text) {}
  template <std::integral N>
  requires(!std::same_as<N, char> && !std::same_as<N, bool>) MessageArg(N number) : text_(std::to_string(number)) {}

  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// The longest description a report records (the terminating NUL makes 1024).
inline constexpr std::size_t kMaxDescriptionLength = 1023;

// Fills each %s or %d of `format` with the next argument's text; "%%" gives "%". A
// conversion without an argument left gives nothing; any other '%' sequence is copied as it
// stands. The result is cut to `maxLength` characters.
std::string FormatMessage(std::string_view format, std::span<const MessageArg> args,
                          std::size_t maxLength = kMaxDescriptionLength);

}  // namespace kel
