// Scanners for repeated capability selectors such as "CH1", "[CH1, CH2]", "CH1-CH3" or
// "a:b". Each gives exactly the answer of the ECMAScript regular expression named with it,
// in time linear in the text and without recursion. Results view the scanned text, which must
// outlive them.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace kel::text {

// Whether the whole selector is in the selector grammar (ignoring case):
//   ^(?:\s*\[?LIST\s*\]?)(?:\s*:\s*\[?LIST\s*\]?)*$
//   LIST  = (?:RANGE|IDENT)(?:\s*,(?:RANGE|IDENT))*
//   IDENT = \s*[\w_!]+
//   RANGE = (?:\s*[a-z_!]+[0-9]+\s*-\s*[a-z_!]+[0-9]+)
// That is: ':'-separated levels, each an optional '[', a comma list of identifiers and
// ranges, and an optional ']'; white space may stand around every token except after a ']'
// that ends the selector.
bool MatchesSelectorGrammar(std::string_view selector);

// The parts of a range item "CH1-CH3".
struct SelectorRange {
  std::string_view base;         // "CH": the first base as written
  std::string_view firstDigits;  // "1"
  std::string_view lastDigits;   // "3"
};

// Full match (ignoring case) of  ^\s*([a-z_!]+)([0-9]+)\s*-\s*\1([0-9]+)$ : the second base
// must repeat the first, ignoring case. Nothing when the item does not match.
std::optional<SelectorRange> MatchSelectorRange(std::string_view item);

// A piece of a text, as offset and length.
struct TextRun {
  std::size_t offset = 0;
  std::size_t length = 0;
};

// Every maximal run of identifier characters [\w_!] in `text`, in order. The text between
// runs is what a rewrite of the identifiers copies unchanged.
std::vector<TextRun> IdentifierRuns(std::string_view text);

}  // namespace kel::text
