// Scanners for option strings. Each one gives exactly the matches, the skipped text and the
// captured groups of the ECMAScript regular expression named with it, as std::regex_search
// and std::sregex_iterator find them, but in one forward pass: time linear in the text, no
// recursion, no allocation per character. Results view the scanned text, which must outlive
// them.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace kel::text {

// Where the DriverSetup part of an option string starts and what it holds.
struct DriverSetupLocation {
  // Offset of the match, including the white space before the keyword; the inherent options
  // are the text before it.
  std::size_t matchStart = 0;
  // Everything after the '=' up to the first line feed or carriage return (or the end).
  std::string_view value;
};

// The first match of  \s*DriverSetup\s*=(.*)  ignoring case, or nothing.
std::optional<DriverSetupLocation> FindDriverSetup(std::string_view text);

// One name=value item of an option string.
struct NameValueMatch {
  std::string_view match;  // the whole matched text
  std::string_view name;   // group 1
  std::string_view value;  // group 2
};

// All successive matches of  \s*(\w+)\s*=\s*(\w+)\s*,?  (case-sensitive; callers pass a
// lower-cased copy). Text between matches is skipped.
std::vector<NameValueMatch> InherentOptionMatches(std::string_view text);

// All successive matches of  ([\w+_]+)\s*(?:=|:)\s*([^,]+)  (case-sensitive). The value runs
// to the next comma or the end and keeps its trailing blanks; when only blanks stand between
// the '=' and the next comma, the value is the last of those blanks.
std::vector<NameValueMatch> DriverSetupItemMatches(std::string_view text);

}  // namespace kel::text
