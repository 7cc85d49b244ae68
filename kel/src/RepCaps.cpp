#include "kel/RepCaps.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

#include "kel/Buffers.h"
#include "kel/DriverDefinition.h"
#include "kel/DriverSession.h"
#include "kel/Errors.h"
#include "kel/Status.h"
#include "kel/text/CharClasses.h"
#include "kel/text/Decimal.h"
#include "kel/text/SelectorScanners.h"
#include "kel/text/Text.h"

namespace kel {
namespace {

constexpr std::string_view kTrim = " \t\r\n";
constexpr std::string_view kBlank = " \t\f\v\r\n";

std::string_view RepCapNameText() { return ThisDriver().repCapName; }

RepCapName MakeRepCapName(std::string name) {
  RepCapName record;
  if (!name.empty()) record.qualifiedName = std::string(RepCapNameText()) + "!!" + name;
  record.name = std::move(name);
  return record;
}

ViStatus ResolveSelectorOf(DriverSession* session, ViConstString selectorText, std::vector<RepCapName>& list,
                           bool checkPhysical);

// The physical names of the repeated capability, parsed once per process.
const std::vector<RepCapName>& PhysicalNames() {
  static const std::vector<RepCapName> names = [] {
    std::vector<RepCapName> list;
    const std::string text(ThisDriver().repCapPhysicalNames);
    (void)ResolveSelectorOf(nullptr, text.c_str(), list, false);
    return list;
  }();
  return names;
}

// One item of a selector level: a plain identifier, or a range base + first..last whose
// names are formed only as far as they are needed (a range may name billions of channels).
struct SelectorItem {
  std::string_view text;
  bool isRange = false;
  std::string base;  // the identifier itself for a plain item
  std::int64_t first = 0;
  std::int64_t last = 0;

  std::size_t size() const { return isRange ? static_cast<std::size_t>(last - first + 1) : 1; }
  std::string NameAt(std::size_t i) const { return isRange ? base + std::to_string(first + i) : base; }
};

// A plain identifier that reads as a range base followed by a number written as ranges
// write numbers (decimal, no leading zeros) can be one of a range's names.
bool SplitAsRangeName(std::string_view identifier, std::string_view& base, std::int64_t& number) {
  std::size_t digits = identifier.size();
  while (digits > 0 && text::IsDigit(identifier[digits - 1])) --digits;
  if (digits == 0 || digits == identifier.size()) return false;
  for (std::size_t i = 0; i < digits; ++i) {
    if (!text::IsRangeBaseChar(identifier[i])) return false;
  }
  const std::string_view numberText = identifier.substr(digits);
  if (numberText.size() > 1 && numberText.front() == '0') return false;
  if (text::ParseDigits(numberText, number) != text::DecimalStatus::kOk) return false;
  base = identifier.substr(0, digits);
  return true;
}

// The names met so far in one level, to find an item that repeats a name.
class LevelNames {
 public:
  enum class Clash { kNone, kWithIdentifier, kWithRange };

  Clash Add(const SelectorItem& item) {
    if (!item.isRange) {
      if (identifiers_.contains(std::string(item.base))) return Clash::kWithIdentifier;
      std::string_view base;
      std::int64_t number = 0;
      if (SplitAsRangeName(item.base, base, number) && InRanges(base, number, number)) return Clash::kWithRange;
      identifiers_.emplace(item.base);
      if (SplitAsRangeName(item.base, base, number)) numberedIdentifiers_[std::string(base)].insert(number);
      return Clash::kNone;
    }
    if (InRanges(item.base, item.first, item.last)) return Clash::kWithRange;
    if (const auto it = numberedIdentifiers_.find(item.base); it != numberedIdentifiers_.end()) {
      const auto hit = it->second.lower_bound(item.first);
      if (hit != it->second.end() && *hit <= item.last) return Clash::kWithIdentifier;
    }
    ranges_[item.base].emplace(item.first, item.last);
    return Clash::kNone;
  }

 private:
  // Ranges kept in one level never overlap, so each base's ranges are disjoint intervals.
  bool InRanges(std::string_view base, std::int64_t first, std::int64_t last) const {
    const auto it = ranges_.find(std::string(base));
    if (it == ranges_.end()) return false;
    auto after = it->second.upper_bound(last);
    if (after == it->second.begin()) return false;
    --after;
    return after->second >= first;
  }

  std::set<std::string, std::less<>> identifiers_;
  std::map<std::string, std::set<std::int64_t>, std::less<>> numberedIdentifiers_;
  std::map<std::string, std::map<std::int64_t, std::int64_t>, std::less<>> ranges_;
};

ViStatus ReportRange(ViSession vi, std::string_view item, std::string_view elaboration) {
  return ReportErrorWithElaboration(vi, status::kInvalidRangeInSelector, elaboration, item, RepCapNameText());
}

ViStatus ExpandSelectorRange(ViSession vi, std::string_view item, SelectorItem& range) {
  const auto match = text::MatchSelectorRange(item);
  std::int64_t first = 0;
  std::int64_t last = 0;
  if (!match || text::ParseDigits(match->firstDigits, first) != text::DecimalStatus::kOk ||
      text::ParseDigits(match->lastDigits, last) != text::DecimalStatus::kOk || first > INT32_MAX || last > INT32_MAX) {
    return ReportRange(vi, item, "The base names do not match.");
  }
  if (!(first < last)) return ReportRange(vi, item, "The start index must be less than the end index.");
  range.isRange = true;
  range.base = match->base;
  range.first = first;
  range.last = last;
  return VI_SUCCESS;
}

std::string SubstituteVirtualNames(const DriverSession* session, std::string_view selector) {
  if (session == nullptr) return std::string(selector);
  std::string out;
  out.reserve(selector.size());
  std::size_t copied = 0;
  for (const auto& run : text::IdentifierRuns(selector)) {
    out.append(selector.substr(copied, run.offset - copied));
    std::string physical = session->GetPhysicalName(selector.substr(run.offset, run.length));
    if (physical.find(',') != std::string::npos && physical.find(':') == std::string::npos) {
      physical = "[" + physical + "]";
    }
    out.append(physical);
    copied = run.offset + run.length;
  }
  out.append(selector.substr(copied));
  return out;
}

ViStatus CheckSelectorSyntax(ViSession vi, std::string_view selector) {
  return text::MatchesSelectorGrammar(selector) ? VI_SUCCESS : ReportError(vi, status::kBadlyFormedSelector);
}

std::ptrdiff_t FindPhysicalName(DriverSession& session, const RepCapName& record) {
  RegisterRepCaps(session);
  const auto& names = session.repCapNames();
  const auto it = std::find(names.begin(), names.end(), record);
  return it == names.end() ? -1 : it - names.begin();
}

// The common selector, one physical name with no virtual name of its own, resolves to what
// the full rules give without parsing: appends its record and answers true. Anything else
// answers false and goes the full way.
bool IsPlainPhysicalName(DriverSession& session, std::string_view selector, std::vector<RepCapName>& list) {
  if (selector.find("!!") != std::string_view::npos ||
      !std::all_of(selector.begin(), selector.end(), text::IsIdentifierChar)) {
    return false;
  }
  if (session.GetVirtualNameTable().contains(selector)) return false;
  RegisterRepCaps(session);
  for (const RepCapName& record : session.repCapNames()) {
    if (record.name == selector) {
      list.push_back(record);
      return true;
    }
  }
  return false;
}

}  // namespace

void RegisterRepCaps(DriverSession& session) {
  if (session.repCapsRegistered()) return;
  session.repCapNames() = PhysicalNames();
  session.setRepCapsRegistered();
}

ViInt32 GetRepCapCount(DriverSession& session) {
  RegisterRepCaps(session);
  return static_cast<ViInt32>(session.repCapNames().size());
}

namespace {

// The selector rules, with or without a session: without one (the physical-name list itself
// being parsed) there are neither virtual names nor physical names to check against.
ViStatus ResolveSelectorOf(DriverSession* session, ViConstString selectorText, std::vector<RepCapName>& list,
                           bool checkPhysical) {
  const ViSession vi = session != nullptr ? session->GetSessionHandle() : VI_NULL;
  const std::string_view selector = selectorText ? selectorText : "";
  if (text::Trim(selector, kBlank).empty()) {
    const ViInt32 count = session != nullptr ? GetRepCapCount(*session) : 0;
    if (count == 1) {
      list.push_back(session->repCapNames().front());
      return VI_SUCCESS;
    }
    return ReportErrorWithElaboration(
        vi, status::kChannelNameRequired,
        "No selector was specified for repeated capability '%s'.  The repeated capability identifier can be null or "
        "empty only when there is exactly one physical name defined.  Repeated capability '%s' has %d physical names "
        "defined.",
        RepCapNameText(), RepCapNameText(), count);
  }
  if (checkPhysical && session != nullptr && IsPlainPhysicalName(*session, selector, list)) return VI_SUCCESS;
  if (const ViStatus syntax = CheckSelectorSyntax(vi, selector); syntax < 0) return syntax;
  const std::string substituted = SubstituteVirtualNames(session, selector);
  if (substituted != selector) {
    if (const ViStatus syntax = CheckSelectorSyntax(vi, substituted); syntax < 0) return syntax;
  }

  const auto levels = text::SplitAndTrim(substituted, ':', kTrim);
  std::vector<SelectorItem> items;  // of the last level read
  for (std::string_view level : levels) {
    if (!level.empty() && level.front() == '[') level = level.substr(1, level.size() >= 2 ? level.size() - 2 : 0);
    items.clear();
    LevelNames seen;
    for (const std::string_view itemText : text::SplitAndTrim(level, ',', kTrim)) {
      SelectorItem item;
      item.text = itemText;
      if (itemText.find('-') != std::string_view::npos) {
        if (const ViStatus expanded = ExpandSelectorRange(vi, itemText, item); expanded < 0) return expanded;
      } else {
        item.base = itemText;
      }
      switch (seen.Add(item)) {
        case LevelNames::Clash::kNone:
          break;
        case LevelNames::Clash::kWithRange:
          return ReportRange(vi, itemText, "An identifier in the range overlaps with another range.");
        case LevelNames::Clash::kWithIdentifier:
          if (item.isRange) return ReportRange(vi, itemText, "An identifier in the range overlaps with another range.");
          return ReportError(vi, status::kBadlyFormedSelector);
      }
      items.push_back(std::move(item));
    }
  }
  if (levels.size() > 1) return ReportError(vi, status::kInvalidNumberOfLevelsInSelector, RepCapNameText());
  // A level such as "[a" loses its only identifier with the brackets: a selector that names
  // nothing is refused rather than reported as done.
  if (items.empty()) return ReportError(vi, status::kBadlyFormedSelector);

  for (const SelectorItem& item : items) {
    for (std::size_t i = 0; i < item.size(); ++i) {
      RepCapName record = MakeRepCapName(item.NameAt(i));
      if (checkPhysical && (session == nullptr || FindPhysicalName(*session, record) < 0)) {
        return ReportErrorWithElaboration(vi, status::kUnknownPhysicalIdentifier,
                                          "The identifier '%s' is not defined for repeated capability '%s'.",
                                          record.name, RepCapNameText());
      }
      list.push_back(std::move(record));
    }
  }
  return VI_SUCCESS;
}

}  // namespace

ViStatus ResolveSelector(DriverSession& session, ViConstString selector, std::vector<RepCapName>& list,
                         bool checkPhysical) {
  return ResolveSelectorOf(&session, selector, list, checkPhysical);
}

ViStatus ResolveSingleSelector(DriverSession& session, ViConstString selector, RepCapName& name) {
  std::vector<RepCapName> list;
  if (const ViStatus resolved = ResolveSelector(session, selector, list, true); resolved < 0) return resolved;
  if (list.size() != 1) {
    return ReportErrorWithElaboration(session.GetSessionHandle(), status::kBadlyFormedSelector,
                                      "Only a single repeated capability identifier can be specified for the current "
                                      "operation.");
  }
  name = std::move(list.front());
  return VI_SUCCESS;
}

ViStatus GetRepCapNameByIndex(DriverSession& session, ViInt64 index, ViInt32 bufferSize, ViChar* buffer) {
  const ViSession vi = session.GetSessionHandle();
  RegisterRepCaps(session);
  const auto& names = session.repCapNames();
  if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
    return ReportError(vi, status::kInvalidValue, index, "Get" + std::string(RepCapNameText()) + "Name", "Index");
  }
  const std::string& name = names[static_cast<std::size_t>(index)].name;
  if (bufferSize == 0) return static_cast<ViStatus>(name.size() + 1);
  if (bufferSize < 0) {
    return ReportInvalidValue(vi, bufferSize, "Get" + std::string(RepCapNameText()) + "Name", "NameBufferSize");
  }
  CopyToBuffer(name, bufferSize, buffer);
  return VI_SUCCESS;
}

}  // namespace kel
