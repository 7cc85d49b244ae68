// Why the scanners are linear: a regular expression search retries at every start position,
// but for these patterns the outcome from a start inside a run of name characters is the
// outcome from the run's first character (every name group is greedy and must be followed by
// a character outside the run). So each run is judged once; a failed run is skipped whole,
// and the look-ahead past it (blanks, one '=') is re-read at most once more.
#include "kel/text/OptionScanners.h"

#include "kel/text/CharClasses.h"

namespace kel::text {
namespace {

constexpr std::string_view kDriverSetupKeyword = "driversetup";

bool KeywordAt(std::string_view text, std::size_t pos) {
  if (text.size() - pos < kDriverSetupKeyword.size()) return false;
  for (std::size_t i = 0; i < kDriverSetupKeyword.size(); ++i) {
    if (ToLowerAsciiChar(text[pos + i]) != kDriverSetupKeyword[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<DriverSetupLocation> FindDriverSetup(std::string_view text) {
  // The leftmost match starts at the white space run before the first keyword that is
  // followed by optional white space and '='. The keyword has no white space in it, so the
  // runs after successive keywords never overlap, and the search stays linear.
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (IsSpace(text[pos])) continue;
    if (KeywordAt(text, pos)) {
      const std::size_t afterBlanks = SkipSpace(text, pos + kDriverSetupKeyword.size());
      if (afterBlanks < text.size() && text[afterBlanks] == '=') {
        const std::size_t valueStart = afterBlanks + 1;
        std::size_t valueEnd = valueStart;
        while (valueEnd < text.size() && text[valueEnd] != '\n' && text[valueEnd] != '\r') {
          ++valueEnd;
        }
        // Back up over the white space run in front of the keyword.
        std::size_t spaceRunStart = pos;
        while (spaceRunStart > 0 && IsSpace(text[spaceRunStart - 1])) --spaceRunStart;
        return DriverSetupLocation{spaceRunStart, text.substr(valueStart, valueEnd - valueStart)};
      }
    }
  }
  return std::nullopt;
}

std::vector<NameValueMatch> InherentOptionMatches(std::string_view text) {
  std::vector<NameValueMatch> matches;
  std::size_t pos = 0;  // where the next search begins
  while (pos < text.size()) {
    // Candidate: optional blanks, then a run of word characters.
    const std::size_t matchStart = pos;
    const std::size_t nameStart = SkipSpace(text, pos);
    const std::size_t nameEnd = SkipWhile(text, nameStart, IsWordChar);
    if (nameEnd == nameStart) {
      // No name here: nothing can match from any position up to and including this
      // character, so the search moves past it.
      pos = nameStart + 1;
      continue;
    }
    const std::size_t equalsPos = SkipSpace(text, nameEnd);
    if (equalsPos < text.size() && text[equalsPos] == '=') {
      const std::size_t valueStart = SkipSpace(text, equalsPos + 1);
      const std::size_t valueEnd = SkipWhile(text, valueStart, IsWordChar);
      if (valueEnd > valueStart) {
        std::size_t matchEnd = SkipSpace(text, valueEnd);
        if (matchEnd < text.size() && text[matchEnd] == ',') ++matchEnd;
        matches.push_back({text.substr(matchStart, matchEnd - matchStart), text.substr(nameStart, nameEnd - nameStart),
                           text.substr(valueStart, valueEnd - valueStart)});
        pos = matchEnd;
        continue;
      }
    }
    // This run of word characters leads to no match from any of its positions.
    pos = nameEnd;
  }
  return matches;
}

std::vector<NameValueMatch> DriverSetupItemMatches(std::string_view text) {
  std::vector<NameValueMatch> matches;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!IsDriverSetupKeyChar(text[pos])) {
      ++pos;
      continue;
    }
    const std::size_t nameStart = pos;
    const std::size_t nameEnd = SkipWhile(text, nameStart, IsDriverSetupKeyChar);
    const std::size_t separatorPos = SkipSpace(text, nameEnd);
    if (separatorPos < text.size() && (text[separatorPos] == '=' || text[separatorPos] == ':')) {
      const std::size_t afterSeparator = separatorPos + 1;
      std::size_t valueStart = SkipSpace(text, afterSeparator);
      // [^,]+ needs one character; when the blanks run up to a comma or the end, the last
      // blank is given back to the value.
      if ((valueStart == text.size() || text[valueStart] == ',') && valueStart > afterSeparator) {
        --valueStart;
      }
      if (valueStart < text.size() && text[valueStart] != ',') {
        std::size_t valueEnd = text.find(',', valueStart);
        if (valueEnd == std::string_view::npos) valueEnd = text.size();
        matches.push_back({text.substr(nameStart, valueEnd - nameStart), text.substr(nameStart, nameEnd - nameStart),
                           text.substr(valueStart, valueEnd - valueStart)});
        pos = valueEnd;
        continue;
      }
    }
    pos = nameEnd;
  }
  return matches;
}

}  // namespace kel::text
