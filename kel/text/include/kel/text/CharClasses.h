// The character classes the option and selector grammars are written in, as an ECMAScript
// regular expression sees them in the classic "C" locale. Bytes 0x80 and above belong to
// no class, so texts in any 8-bit encoding are scanned safely.
#pragma once

#include <cstddef>
#include <string_view>

namespace kel::text {

// \s: blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// \w: letters, digits and underscore.
constexpr bool IsWordChar(char c) { return IsAsciiLetter(c) || IsDigit(c) || c == '_'; }

// A character of a repeated capability identifier: \w or '!' (as in "OutputChannel!!CH1").
constexpr bool IsIdentifierChar(char c) { return IsWordChar(c) || c == '!'; }

// A character of a range base ("CH" in "CH1-CH3"): letters, '_' and '!', no digits.
constexpr bool IsRangeBaseChar(char c) { return IsAsciiLetter(c) || c == '_' || c == '!'; }

// A character of a DriverSetup key: \w or '+'.
constexpr bool IsDriverSetupKeyChar(char c) { return IsWordChar(c) || c == '+'; }

constexpr char ToLowerAsciiChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr char ToUpperAsciiChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The position of the first character at or after pos that does not satisfy predicate.
template <typename Predicate>
constexpr std::size_t SkipWhile(std::string_view text, std::size_t pos, Predicate predicate) {
  while (pos < text.size() && predicate(text[pos])) ++pos;
  return pos;
}

constexpr std::size_t SkipSpace(std::string_view text, std::size_t pos) { return SkipWhile(text, pos, IsSpace); }

}  // namespace kel::text
