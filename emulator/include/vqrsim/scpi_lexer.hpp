// Lexical rules of SCPI program messages: program message units, headers, header
// patterns with optional nodes, and parameter tokens (numbers, booleans, words).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vqrsim::scpi {

// Splits a program message (one line without its terminator) at the semicolons that lie
// outside quoted strings. Units are returned untrimmed; empty units are kept.
std::vector<std::string_view> split_units(std::string_view message);

// Trims blanks, tabs, carriage returns and line feeds from both ends.
std::string_view trim(std::string_view text);

// Case-insensitive ASCII equality.
bool iequals(std::string_view a, std::string_view b);

struct Header {
  bool common = false;                 // "*IDN?"
  bool absolute = false;               // leading colon: starts at the root of the command tree
  bool query = false;                  // ends in '?'
  std::vector<std::string> mnemonics;  // upper case, without colons; "*IDN" for common
};

// A header, or nothing when it breaks the header syntax.
std::optional<Header> parse_header(std::string_view text);

struct ProgramUnit {
  std::string_view header;
  std::vector<std::string_view> params;  // trimmed; quoted strings keep their quotes
  bool has_parameter_text = false;
};

// Splits a unit into its header and comma-separated parameters; nothing when the
// parameter list is malformed (an empty parameter, an unterminated string).
std::optional<ProgramUnit> parse_unit(std::string_view unit);

// A header pattern in the notation of SCPI manuals, e.g.
// "[SOURce:]VOLTage[:LEVel][:IMMediate][:AMPLitude]?" or "*ESE": upper-case letters form
// the short form, the whole word the long form, brackets mark optional nodes, a final '?'
// makes it a query.
class HeaderPattern {
 public:
  explicit HeaderPattern(std::string_view pattern);

  bool query() const { return query_; }
  bool common() const { return common_; }
  // Whether the mnemonics (upper case) spell a path of this pattern, regardless of '?'.
  bool matches(std::span<const std::string> mnemonics) const;
  // The short form of the required nodes: "VOLT?" for the pattern above.
  const std::string& canonical() const { return canonical_; }

 private:
  struct Node {
    std::string short_form;
    std::string long_form;
    bool optional = false;
  };
  bool matches_from(std::span<const std::string> mnemonics, std::size_t node) const;

  std::vector<Node> nodes_;
  bool query_ = false;
  bool common_ = false;
  std::string canonical_;
};

// Parameter tokens. Each parser returns the SCPI error code of a malformed token (0 when
// it parsed).

struct NumberToken {
  double value = 0;
  enum class Kind { Value, Minimum, Maximum, Default } kind = Kind::Value;
};

// A decimal number (optionally followed by the unit suffix, e.g. "12.5 V"), a
// non-decimal integer (#H1F, #Q17, #B101), or MIN/MINimum, MAX/MAXimum, DEF/DEFault.
// Errors: -224 for an unknown word, -131 for a wrong suffix, -102 for a malformed number,
// -222 for one beyond double range, -104 for a quoted string.
int parse_number(std::string_view text, std::string_view unit, NumberToken& out);

// ON/OFF or 1/0. Errors: -224 for anything else, -104 for a quoted string.
int parse_boolean(std::string_view text, bool& out);

// Shortest text that reads back as the same double ("12", "1.2", "1e+06").
std::string format_real(double value);

}  // namespace vqrsim::scpi
