#include "kel/text/SelectorScanners.h"

#include "kel/text/CharClasses.h"

namespace kel::text {
namespace {

// A run of identifier characters that reads as a range end: base characters, then digits,
// at least one of each, and nothing else.
bool IsRangeEnd(std::string_view run) {
  const std::size_t baseEnd = SkipWhile(run, 0, IsRangeBaseChar);
  if (baseEnd == 0 || baseEnd == run.size()) return false;
  return SkipWhile(run, baseEnd, IsDigit) == run.size();
}

}  // namespace

// Every item of the grammar begins and ends with a maximal run of identifier characters
// (what may stand next to an item, blanks and , [ ] : -, is never an identifier character),
// so the grammar reads as tokens and one forward pass decides it.
bool MatchesSelectorGrammar(std::string_view selector) {
  const std::size_t size = selector.size();
  std::size_t pos = 0;
  while (true) {  // one level per turn
    pos = SkipSpace(selector, pos);
    if (pos < size && selector[pos] == '[') ++pos;
    while (true) {  // one item per turn
      pos = SkipSpace(selector, pos);
      const std::size_t runStart = pos;
      pos = SkipWhile(selector, pos, IsIdentifierChar);
      if (pos == runStart) return false;
      const std::string_view firstRun = selector.substr(runStart, pos - runStart);
      pos = SkipSpace(selector, pos);
      if (pos < size && selector[pos] == '-') {
        if (!IsRangeEnd(firstRun)) return false;
        pos = SkipSpace(selector, pos + 1);
        const std::size_t lastStart = pos;
        pos = SkipWhile(selector, pos, IsIdentifierChar);
        if (!IsRangeEnd(selector.substr(lastStart, pos - lastStart))) return false;
        pos = SkipSpace(selector, pos);
      }
      if (pos < size && selector[pos] == ',') {
        ++pos;
        continue;
      }
      break;
    }
    if (pos < size && selector[pos] == ']') {
      ++pos;
      if (pos == size) return true;
      // After a closing bracket only another level may follow, not trailing white space.
      pos = SkipSpace(selector, pos);
      if (pos == size || selector[pos] != ':') return false;
    } else if (pos == size) {
      return true;
    } else if (selector[pos] != ':') {
      return false;
    }
    ++pos;
  }
}

std::optional<SelectorRange> MatchSelectorRange(std::string_view item) {
  // Every group is followed by a character outside its class, so the greedy groups are the
  // only way through and no backtracking is needed.
  const std::size_t baseStart = SkipSpace(item, 0);
  const std::size_t baseEnd = SkipWhile(item, baseStart, IsRangeBaseChar);
  if (baseEnd == baseStart) return std::nullopt;
  const std::size_t firstEnd = SkipWhile(item, baseEnd, IsDigit);
  if (firstEnd == baseEnd) return std::nullopt;
  std::size_t pos = SkipSpace(item, firstEnd);
  if (pos == item.size() || item[pos] != '-') return std::nullopt;
  pos = SkipSpace(item, pos + 1);
  const std::string_view base = item.substr(baseStart, baseEnd - baseStart);
  if (item.size() - pos < base.size()) return std::nullopt;
  for (std::size_t i = 0; i < base.size(); ++i) {
    if (ToLowerAsciiChar(item[pos + i]) != ToLowerAsciiChar(base[i])) return std::nullopt;
  }
  pos += base.size();
  const std::size_t lastStart = pos;
  if (lastStart == item.size() || SkipWhile(item, lastStart, IsDigit) != item.size()) {
    return std::nullopt;
  }
  return SelectorRange{base, item.substr(baseEnd, firstEnd - baseEnd), item.substr(lastStart)};
}

std::vector<TextRun> IdentifierRuns(std::string_view text) {
  std::vector<TextRun> runs;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!IsIdentifierChar(text[pos])) {
      ++pos;
      continue;
    }
    const std::size_t end = SkipWhile(text, pos, IsIdentifierChar);
    runs.push_back({pos, end - pos});
    pos = end;
  }
  return runs;
}

}  // namespace kel::text
