#include "vqrsim/scpi_lexer.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>

namespace vqrsim::scpi {
namespace {

bool is_alpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char to_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = to_upper(c);
  return result;
}

bool is_quote(char c) { return c == '"' || c == '\''; }

// Position past the quoted string that starts at `start`, or npos when unterminated.
// A doubled quote inside the string stands for the quote itself.
std::size_t skip_string(std::string_view text, std::size_t start) {
  const char quote = text[start];
  std::size_t i = start + 1;
  while (i < text.size()) {
    if (text[i] == quote) {
      if (i + 1 < text.size() && text[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return std::string_view::npos;
}

int parse_radix_integer(std::string_view text, NumberToken& out) {
  if (text.size() < 3) return -102;
  int base = 0;
  switch (to_upper(text[1])) {
    case 'H':
      base = 16;
      break;
    case 'Q':
      base = 8;
      break;
    case 'B':
      base = 2;
      break;
    default:
      return -102;
  }
  long long value = 0;
  const char* first = text.data() + 2;
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(first, last, value, base);
  if (ec == std::errc::result_out_of_range) return -222;
  if (ec != std::errc() || ptr != last) return -102;
  out.value = static_cast<double>(value);
  out.kind = NumberToken::Kind::Value;
  return 0;
}

}  // namespace

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (to_upper(a[i]) != to_upper(b[i])) return false;
  }
  return true;
}

std::vector<std::string_view> split_units(std::string_view message) {
  std::vector<std::string_view> units;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < message.size()) {
    if (is_quote(message[i])) {
      const std::size_t end = skip_string(message, i);
      if (end == std::string_view::npos) break;  // parse_unit reports it
      i = end;
      continue;
    }
    if (message[i] == ';') {
      units.push_back(message.substr(start, i - start));
      start = i + 1;
    }
    ++i;
  }
  units.push_back(message.substr(start));
  return units;
}

std::optional<Header> parse_header(std::string_view text) {
  Header header;
  if (text.empty()) return std::nullopt;
  if (text.back() == '?') {
    header.query = true;
    text.remove_suffix(1);
  }
  if (!text.empty() && text.front() == '*') {
    header.common = true;
    text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    for (char c : text) {
      if (!is_alpha(c)) return std::nullopt;
    }
    header.mnemonics.push_back("*" + upper(text));
    return header;
  }
  if (!text.empty() && text.front() == ':') {
    header.absolute = true;
    text.remove_prefix(1);
  }
  while (true) {
    const std::size_t colon = text.find(':');
    const std::string_view mnemonic = text.substr(0, colon);
    if (mnemonic.empty() || !is_alpha(mnemonic.front())) return std::nullopt;
    for (char c : mnemonic) {
      if (!is_alpha(c) && !is_digit(c) && c != '_') return std::nullopt;
    }
    header.mnemonics.push_back(upper(mnemonic));
    if (colon == std::string_view::npos) break;
    text.remove_prefix(colon + 1);
  }
  return header;
}

std::optional<ProgramUnit> parse_unit(std::string_view unit) {
  unit = trim(unit);
  ProgramUnit result;
  std::size_t header_end = 0;
  while (header_end < unit.size() && unit[header_end] != ' ' && unit[header_end] != '\t') {
    ++header_end;
  }
  result.header = unit.substr(0, header_end);
  const std::string_view rest = trim(unit.substr(header_end));
  if (rest.empty()) return result;

  result.has_parameter_text = true;
  std::size_t start = 0;
  std::size_t i = 0;
  while (true) {
    if (i < rest.size() && is_quote(rest[i])) {
      i = skip_string(rest, i);
      if (i == std::string_view::npos) return std::nullopt;
      continue;
    }
    if (i == rest.size() || rest[i] == ',') {
      const std::string_view param = trim(rest.substr(start, i - start));
      if (param.empty()) return std::nullopt;
      result.params.push_back(param);
      if (i == rest.size()) break;
      start = i + 1;
    }
    ++i;
  }
  return result;
}

HeaderPattern::HeaderPattern(std::string_view pattern) {
  if (!pattern.empty() && pattern.back() == '?') {
    query_ = true;
    pattern.remove_suffix(1);
  }
  if (!pattern.empty() && pattern.front() == '*') {
    common_ = true;
    nodes_.push_back({std::string(pattern), std::string(pattern), false});
    canonical_ = std::string(pattern);
    if (query_) canonical_ += '?';
    return;
  }
  // Walk the pattern: '[' opens an optional node, ':' separates, ']' closes.
  std::size_t i = 0;
  while (i < pattern.size()) {
    bool optional = false;
    if (pattern[i] == '[') {
      optional = true;
      ++i;
    }
    if (i < pattern.size() && pattern[i] == ':') ++i;
    std::string word;
    while (i < pattern.size() && pattern[i] != ':' && pattern[i] != '[' && pattern[i] != ']') {
      word += pattern[i++];
    }
    if (i < pattern.size() && pattern[i] == ']') ++i;
    // In "[SOURce:]VOLTage" the colon inside the brackets is met before ']', so the
    // closing bracket then reads as an empty word, skipped below.
    if (word.empty()) continue;
    Node node;
    for (char c : word) {
      if (!(c >= 'a' && c <= 'z')) node.short_form += c;
    }
    node.long_form = upper(word);
    node.optional = optional;
    if (!optional) {
      if (!canonical_.empty()) canonical_ += ':';
      canonical_ += node.short_form;
    }
    nodes_.push_back(std::move(node));
  }
  if (query_) canonical_ += '?';
}

bool HeaderPattern::matches(std::span<const std::string> mnemonics) const { return matches_from(mnemonics, 0); }

bool HeaderPattern::matches_from(std::span<const std::string> mnemonics, std::size_t node) const {
  if (node == nodes_.size()) return mnemonics.empty();
  const Node& n = nodes_[node];
  if (n.optional && matches_from(mnemonics, node + 1)) return true;
  if (mnemonics.empty()) return false;
  const std::string& word = mnemonics.front();
  if (word != n.short_form && word != n.long_form) return false;
  return matches_from(mnemonics.subspan(1), node + 1);
}

int parse_number(std::string_view text, std::string_view unit, NumberToken& out) {
  text = trim(text);
  if (text.empty()) return -109;
  if (is_quote(text.front())) return -104;
  if (text.front() == '#') return parse_radix_integer(text, out);
  if (is_alpha(text.front())) {
    const std::string word = upper(text);
    if (word == "MIN" || word == "MINIMUM") {
      out.kind = NumberToken::Kind::Minimum;
    } else if (word == "MAX" || word == "MAXIMUM") {
      out.kind = NumberToken::Kind::Maximum;
    } else if (word == "DEF" || word == "DEFAULT") {
      out.kind = NumberToken::Kind::Default;
    } else {
      return -224;
    }
    return 0;
  }
  // Mantissa: [sign] digits [. digits] | [sign] . digits; exponent: E [sign] digits.
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return -102;
  std::size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    std::size_t exponent_digits = 0;
    while (j < text.size() && is_digit(text[j])) ++j, ++exponent_digits;
    if (exponent_digits > 0) end = j;
  }
  const std::string_view suffix = trim(text.substr(end));
  if (!suffix.empty() && !is_alpha(suffix.front())) return -102;
  if (!suffix.empty() && (unit.empty() || !iequals(suffix, unit))) return -131;

  std::string_view number = text.substr(0, end);
  if (number.front() == '+') number.remove_prefix(1);
  double value = 0;
  const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) return -222;
  if (ec != std::errc() || ptr != number.data() + number.size()) return -102;
  if (!std::isfinite(value)) return -222;
  out.value = value;
  out.kind = NumberToken::Kind::Value;
  return 0;
}

int parse_boolean(std::string_view text, bool& out) {
  text = trim(text);
  if (text.empty()) return -109;
  if (is_quote(text.front())) return -104;
  if (iequals(text, "ON") || text == "1") {
    out = true;
    return 0;
  }
  if (iequals(text, "OFF") || text == "0") {
    out = false;
    return 0;
  }
  return -224;
}

std::string format_real(double value) {
  char buffer[64];
  const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "0";
  return std::string(buffer, ptr);
}

}  // namespace vqrsim::scpi
